#pragma once
// What cancelling a library's queued work does, counted over its batches: the steps
// not yet sent are given up, the steps sent finish as the library answers them (a
// file arriving is placed whole or not at all), and the steps done stay done. The
// steps of an operation on chosen documents also count their documents.
#include <deque>
#include <string>

#include "client/document/InstructionBatch.h"

struct QueueCancel {
  static constexpr const char* kQuestion =
      "Cancel the steps of this operation that have not been sent yet?\r\n\r\nWhat is done stays done; the "
      "steps already sent finish as the library answers them.";

  int done = 0;        // finished before the cancel, with either outcome
  int awaited = 0;     // sent, their replies still to come
  int cancelled = 0;   // not sent, given up
  // The documents the steps of each sort carry.
  int doneDocuments = 0;
  int awaitedDocuments = 0;
  int cancelledDocuments = 0;

  // What a cancel would do now; nothing changes.
  static QueueCancel Count(const std::deque<InstructionBatch>& batches);
  // Gives up every step not yet sent (InstructionBatch::CancelUnsent); what it did.
  static QueueCancel Apply(std::deque<InstructionBatch>& batches);

  // The notice of a cancel: how many steps were given up, done and still awaited.
  std::string Text() const;
};
