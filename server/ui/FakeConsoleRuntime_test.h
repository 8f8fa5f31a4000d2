#pragma once
// A console runtime for window tests: hands out a snapshot the test sets and
// counts the refreshes asked for.
#include "server/ui/ConsoleRuntime.h"

class FakeConsoleRuntime : public ConsoleRuntime {
 public:
  ConsoleSnapshot Refresh() override {
    ++refreshes;
    return snapshot;
  }
  ConsoleSnapshot Current() const override { return snapshot; }

  ConsoleSnapshot snapshot;
  int refreshes = 0;
};
