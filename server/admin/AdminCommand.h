#pragma once
// "wexmoor admin [--workdir DIR] [--root DIR] COMMAND ...": administration of a
// library without a window. When a server runs in the working folder the command
// goes to it over its administration socket and runs on its live library;
// otherwise the library is opened the way the server starts on it (same folders,
// same instance guards). Its working folder must exist, and nothing is sent to a
// socket or written into a folder that AdminTrust does not trust. Every change is
// saved before success is reported, and a refused change says why and changes nothing.
#include <ostream>
#include <string>
#include <vector>

#include "server/admin/LibraryAdministrator.h"

struct AdminOptions {
  std::string workingFolder;   // holds "WexmoorRootPath.wxf"; empty: the current folder
  std::string rootPath;        // used only when no root is recorded yet
  std::string lockFolder;      // the instance guards' lock files; empty: the platform's default
  std::vector<std::string> command;   // the command's name and its arguments
  bool help = false;                  // "--help": the usage is asked for, nothing runs
};

// The administration's usage text (every command, one a line).
extern const char* const kAdminUsage;

// Reads the arguments after "admin"; false with `error` set for an unknown option,
// a missing folder name, or no command. "--help" where an option or the command
// may stand sets `help` and ends the reading.
bool ParseAdminArguments(const std::vector<std::string>& arguments, AdminOptions& options, std::string& error);

// Runs the command: 0 when done, 1 when refused or failed (the reason on `err`), 64
// for an unknown command or wrong arguments. The password is asked for once, before
// the command goes anywhere, by the commands that need one.
int RunAdminCommand(const AdminOptions& options, const PasswordSource& password, std::ostream& out,
                    std::ostream& err);
