#pragma once
// The "--workdir DIR" of every program: a mistyped folder must not start a new,
// empty library or profile store, so a folder that does not exist is refused unless
// "--create-workdir" asks for it to be made.
#include <optional>
#include <string>

class WorkingFolderOption {
 public:
  static constexpr const char* kCreateFlag = "--create-workdir";

  // The full path of `given` (empty: the current folder, given as ""); nullopt with
  // `error` set when it is no folder and `create` is not set or making it failed.
  static std::optional<std::string> Resolve(const std::string& given, bool create, std::string& error);
};
