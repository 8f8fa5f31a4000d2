#pragma once
// While one lives, the store's look-ups on the thread that made it find no project
// of its internal name: a request naming a project its account may not see is then
// answered by its own handler exactly as for a project that is not there.
#include <string>

class HiddenProject {
 public:
  explicit HiddenProject(std::string internalName);
  ~HiddenProject();
  HiddenProject(const HiddenProject&) = delete;
  HiddenProject& operator=(const HiddenProject&) = delete;

  // Whether a scope on this thread hides the project of `internalName`.
  static bool Hides(const std::string& internalName);

 private:
  std::string internalName_;
  const HiddenProject* outer_;
};
