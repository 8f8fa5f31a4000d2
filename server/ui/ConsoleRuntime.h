#pragma once
// What the status console reads from the running server: a copy of its texts,
// taken in one piece. The console never touches engines or the user table itself.
#include "server/ui/ConsoleSnapshot.h"

class ConsoleRuntime {
 public:
  virtual ~ConsoleRuntime() = default;
  // Runs the periodic refresh (up time, user lines, counts) and returns the texts.
  virtual ConsoleSnapshot Refresh() = 0;
  // The texts as they stand, without refreshing.
  virtual ConsoleSnapshot Current() const = 0;
};
