#pragma once
// "wexmoor admin [--workdir DIR] [--root DIR] COMMAND ...": administration of a
// library without a window. It opens the library the way the server starts on it
// (same folders, same instance guards), so it is refused while a server holds the
// library; every change is saved before success is reported, and a refused change
// says why and changes nothing.
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

struct AdminOptions {
  std::string workingFolder;   // holds "WexmoorRootPath.wxf"; empty: the current folder
  std::string rootPath;        // used only when no root is recorded yet
  std::string lockFolder;      // the instance guards' lock files; empty: the platform's default
  std::vector<std::string> command;   // the command's name and its arguments
};

// The administration's usage text (every command, one a line).
extern const char* const kAdminUsage;

// Reads the arguments after "admin"; false with `error` set for an unknown option,
// a missing folder name, or no command.
bool ParseAdminArguments(const std::vector<std::string>& arguments, AdminOptions& options, std::string& error);

// Asks for a password; none when there is no answer.
using PasswordSource = std::function<std::optional<std::string>()>;

// Runs the command: 0 when done, 1 when refused or failed (the reason on `err`), 64
// for an unknown command or wrong arguments.
int RunAdminCommand(const AdminOptions& options, const PasswordSource& password, std::ostream& out,
                    std::ostream& err);
