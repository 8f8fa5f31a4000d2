#pragma once
// The rows the progress dialog lists for the batch at the head of a document's
// queue: one per instruction after the placeholder, a caption by kind followed by
// the instruction's name, and an icon from how far the instruction got. The rows
// remember which batch they show, so a new head batch is noticed and listed anew
// rather than marked through rows of the old one.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "client/document/InstructionBatch.h"

class ProgressRows {
 public:
  enum Icon { kNotSent = 0, kSent = 1, kSucceeded = 2, kFailed = 3 };
  struct Row {
    std::string text;
    Icon icon = kNotSent;
  };

  // The icon of one instruction: from its flags; retrievals, list requests and
  // original-document requests (kinds 1, 10, 11, 16) of the root ("Root") or of no
  // project send nothing and show done from the start.
  static Icon IconFor(const Instruction& instruction);

  // Lists the head batch of `batches`; none when the queue is empty.
  void Fill(const std::deque<InstructionBatch>& batches);
  // True when the head batch of `batches` is not the one listed (or the queue
  // emptied, or filled, since).
  bool IsStale(const std::deque<InstructionBatch>& batches) const;

  // Row `row` was sent: a row not yet past "not sent" shows "sent". False (nothing
  // changed) for a row outside the list or one already further.
  bool MarkSent(int row);
  // Row `row` is done. False for a row outside the list.
  bool MarkDone(int row, bool succeeded);

  const std::vector<Row>& GetRows() const { return rows_; }
  // The progress bar's maximum: the listed batch's instruction count with the
  // placeholder, at least 1.
  int GetRange() const { return range_; }
  // Rows showing done (succeeded or failed): the progress bar's position.
  int GetDoneCount() const;

 private:
  bool IsRow(int row) const { return row >= 0 && static_cast<std::size_t>(row) < rows_.size(); }

  std::vector<Row> rows_;
  int range_ = 1;
  bool listed_ = false;
  std::uint64_t listedNumber_ = 0;
};
