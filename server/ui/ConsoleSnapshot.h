#pragma once
// The texts the status console draws, copied out of the running server in one
// piece: the fixed status lines, the up-time and active-user texts, and the user
// lines (logged-on users, then locked-out ones).
#include <string>
#include <vector>

struct ConsoleSnapshot {
  std::vector<std::string> statusLines;
  std::string upTimeText;
  std::string activeUserText;
  std::vector<std::string> userLines;
  // The library's name as it is now, for the window's title; "" when not known.
  std::string libraryName;
};
