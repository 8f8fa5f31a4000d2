#pragma once
// Hands files to programs outside the client: a file to the desktop's application
// for its type, two files to the user's compare program. Tests install a handler
// that records what would have been started instead.
#include <functional>
#include <string>
#include <vector>

class ExternalLaunch {
 public:
  // The program and its arguments as they would be started; for the desktop's
  // application the program is "" and the one argument the file.
  using Handler = std::function<bool(const std::string& program, const std::vector<std::string>& arguments)>;

  static constexpr const char* kNotOpened = "The desktop has no application that opens this file: ";
  static constexpr const char* kNotStarted = "The compare program could not be started: ";

  // Opens `path` with the desktop's application; false when none took it.
  static bool OpenWithDesktop(const std::string& path);
  // Starts `command` (a program with any arguments of its own, split as a shell
  // would) with the two files behind its arguments, not waiting for it; false when
  // the command is blank or the program cannot be started.
  static bool StartCompare(const std::string& command, const std::string& left, const std::string& right);

  // Null restores the real launches.
  static void SetHandlerForTesting(Handler handler);
};
