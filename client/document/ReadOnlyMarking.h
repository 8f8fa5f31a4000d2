#pragma once
// Marks the local copies of the documents a check-in or add reply accepted as
// read-only, in the folder the files were sent from, and collects a message for
// every row the library refused and every copy that could not be marked.
#include <string>

#include "client/link/ReplyMessages.h"

class ReadOnlyMarking {
 public:
  static constexpr const char* kCheckInNotMarked =
      "File successfully checked in to Wexmoor but local file attributes could not be chanced to read-only";
  static constexpr const char* kAddNotMarked =
      "File added to Library successfully but local file attributes could not be changed to read-only";

  // `notMarkedText` is the message of a copy that cannot be marked; with `mark`
  // false accepted copies are left as they are. `messages` must outlive this.
  ReadOnlyMarking(std::string folder, std::string notMarkedText, bool mark, ReplyMessages& messages);

  // One reply row. An accepted row's copy is made read-only; a name that is not
  // one safe folder level, or an empty folder, touches nothing and counts as not
  // marked. A refused row adds `refusalText` (the library's error text).
  void Row(const std::string& name, bool accepted, const std::string& refusalText);

 private:
  std::string folder_;
  std::string notMarkedText_;
  bool mark_;
  ReplyMessages& messages_;
};
