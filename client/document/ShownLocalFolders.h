#pragma once
// The folder each library's local file list showed last in this run, by the
// library's own folder, so that a library opened again (a lost link closes it)
// shows the folder the user was working in, not the folder its root starts at.
#include <map>
#include <string>

class ShownLocalFolders {
 public:
  // `folder` empty forgets the library's.
  void Remember(const std::string& libraryFolder, const std::string& folder);
  // The folder remembered for the library while it is still a folder; "" otherwise.
  std::string Find(const std::string& libraryFolder) const;

 private:
  std::map<std::string, std::string> folders_;
};
