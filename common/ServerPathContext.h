#pragma once
// What the server lends to the shared path functions: its library root and its
// temporary-file counter. The server installs them at start-up (tests install their
// own). While they are installed, PathParser, CreateFolderPath and MakeTempFileName
// take their server form (deep folders under <root>/MAX_PATH/, temporary names under
// <root>/TemporaryFiles/); otherwise their client form.
#include <cstdint>
#include <functional>
#include <string>

struct ServerPathHooks {
  std::function<std::string()> libraryRoot;      // the library root path; "" when none is set
  std::function<std::int32_t()> nextTempNumber;  // the server's counter after adding 1 (positive)
};

class ServerPathContext {
 public:
  // Installs the hooks for the whole process; hooks with either function empty
  // uninstall.
  static void Install(ServerPathHooks hooks);
  static void Uninstall();
  static bool IsInstalled();

  // The library root; "" when not installed.
  static std::string LibraryRoot();
  // The next number of the server's counter; 0 when not installed.
  static std::int32_t NextTempNumber();
};
