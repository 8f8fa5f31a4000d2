#pragma once
// Whether the connection handed back requests unanswered when it reconnected (they
// are never resent). Noted on the connection's thread, and told to the user once the
// link really is restored, on the user-interface thread, however many requests or
// reconnects came in between. A link that could not be restored tells its loss
// instead (LinkNotice).
#include <atomic>
#include <string>
#include <vector>

class AbandonedRequestNotice {
 public:
  static constexpr const char* kText =
      "The connection to the library was interrupted and restored. Requests sent before the interruption "
      "were not answered; repeat them if their results are missing.";

  // Any thread: requests were handed back.
  void Note() { abandoned_ = true; }
  // Any thread: the link logged on again; what was handed back before may be told.
  void NoteRestored() {
    if (abandoned_.exchange(false)) restored_ = true;
  }
  // Shows kText, followed by the `lost` lines, when requests were handed back before
  // a restore noted since the last call; true when shown.
  bool TellUser(const std::vector<std::string>& lost);

 private:
  std::atomic<bool> abandoned_{false};
  std::atomic<bool> restored_{false};
};
