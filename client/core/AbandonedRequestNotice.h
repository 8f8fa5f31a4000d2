#pragma once
// Whether the connection handed back requests unanswered when it reconnected (they
// are never resent). Noted on the connection's thread; told to the user once, on the
// user-interface thread, however many requests or reconnects came in between.
#include <atomic>

class AbandonedRequestNotice {
 public:
  static constexpr const char* kText =
      "The connection to the library was interrupted and restored. Requests sent before the interruption "
      "were not answered; repeat them if their results are missing.";

  // Any thread.
  void Note() { noted_ = true; }
  // Shows kText when anything was noted since the last call; true when shown.
  bool TellUser();

 private:
  std::atomic<bool> noted_{false};
};
