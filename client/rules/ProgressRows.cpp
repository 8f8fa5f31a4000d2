#include "client/rules/ProgressRows.h"

#include <algorithm>

#include "client/library/ProjectNode.h"

namespace {

// The kinds whose step sends nothing for the root or for no project.
bool SkipsRoot(std::int32_t kind) { return kind == 1 || kind == 10 || kind == 11 || kind == 16; }

}  // namespace

ProgressRows::Icon ProgressRows::IconFor(const Instruction& instruction) {
  const std::string name = instruction.GetName();
  if (SkipsRoot(instruction.GetKind()) && ProjectNode::IsRootIndexName(name)) return kSucceeded;
  if (!instruction.IsSent()) return kNotSent;
  if (!instruction.IsDone()) return kSent;
  return instruction.HasSucceeded() ? kSucceeded : kFailed;
}

void ProgressRows::Fill(const std::deque<InstructionBatch>& batches) {
  rows_.clear();
  range_ = 1;
  listed_ = !batches.empty();
  listedNumber_ = 0;
  if (!listed_) return;
  const InstructionBatch& head = batches.front();
  listedNumber_ = head.GetNumber();
  range_ = std::max(1, head.GetCount());
  for (int i = 1; i < head.GetCount(); ++i) {
    const Instruction& instruction = *head.GetInstruction(i);
    rows_.push_back({Instruction::KindCaption(instruction.GetKind()) + instruction.GetName(), IconFor(instruction)});
  }
}

bool ProgressRows::IsStale(const std::deque<InstructionBatch>& batches) const {
  if (batches.empty()) return listed_;
  return !listed_ || batches.front().GetNumber() != listedNumber_;
}

bool ProgressRows::MarkSent(int row) {
  if (!IsRow(row)) return false;
  Row& shown = rows_[static_cast<std::size_t>(row)];
  if (shown.icon != kNotSent) return false;
  shown.icon = kSent;
  return true;
}

bool ProgressRows::MarkDone(int row, bool succeeded) {
  if (!IsRow(row)) return false;
  rows_[static_cast<std::size_t>(row)].icon = succeeded ? kSucceeded : kFailed;
  return true;
}

int ProgressRows::GetDoneCount() const {
  return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const Row& row) {
    return row.icon == kSucceeded || row.icon == kFailed;
  }));
}
