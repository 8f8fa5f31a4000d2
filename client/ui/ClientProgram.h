#pragma once
// The client programs "brannock" and "brannockpublisher": one code base, the
// publisher flag chooses. "--workdir DIR" runs in DIR (an existing folder, or made
// with "--create-workdir") instead of the current folder; "--test-hooks" reads commands on standard input (see
// ClientTestHooks).
#include <ostream>
#include <string>
#include <vector>

struct ClientOptions {
  std::string workingFolder;   // empty: the current folder
  bool createWorkingFolder = false;
  bool testHooks = false;
};

// False, with `error` set, for an unknown argument or a missing folder name.
bool ParseClientArguments(const std::vector<std::string>& arguments, ClientOptions& options, std::string& error);

// Runs the program until its main window closes: 0 after an orderly close; 1
// without a display (said on `err`), for an unusable working folder or when the
// start-up refused (its message was shown); 64 for bad arguments; 0 after "--help" printed its text.
int RunClientProgram(bool publisher, int argc, char** argv, std::ostream& err);
