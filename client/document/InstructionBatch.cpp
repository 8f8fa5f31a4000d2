#include "client/document/InstructionBatch.h"

void InstructionBatch::Clear() {
  instructions_.clear();
  stamps_.clear();
  nextIndex_ = -1;
  rules_.RemoveAll();
  comments_.clear();
  number_ = 0;
  Instruction placeholder;
  placeholder.SetSent(true);
  placeholder.SetDone(true);
  placeholder.SetSucceeded(true);
  instructions_.push_back(placeholder);
}

int InstructionBatch::AddInstruction(const Instruction& instruction) {
  instructions_.push_back(instruction);
  return GetCount() - 1;
}

Instruction* InstructionBatch::GetInstruction(int index) {
  return index >= 0 && index < GetCount() ? &instructions_[static_cast<std::size_t>(index)] : nullptr;
}

const Instruction* InstructionBatch::GetInstruction(int index) const {
  return index >= 0 && index < GetCount() ? &instructions_[static_cast<std::size_t>(index)] : nullptr;
}

void InstructionBatch::Start() {
  if (GetCount() > 0 && nextIndex_ == -1) nextIndex_ = 0;
}

int InstructionBatch::CancelUnsent() {
  int cancelled = 0;
  for (int i = 1; i < GetCount(); ++i) {
    Instruction& instruction = instructions_[static_cast<std::size_t>(i)];
    if (instruction.IsSent() || instruction.IsDone()) continue;
    instruction.SetDone(true);
    instruction.SetSucceeded(false);
    ++cancelled;
  }
  nextIndex_ = GetCount();
  return cancelled;
}

const Instruction* InstructionBatch::EarlierPrerequisite(int index) const {
  const Instruction* instruction = GetInstruction(index);
  if (instruction == nullptr) return nullptr;
  const std::int32_t prerequisite = instruction->GetPrerequisite();
  return prerequisite >= 0 && prerequisite < index ? GetInstruction(prerequisite) : nullptr;
}

bool InstructionBatch::IsNextReady() const {
  if (nextIndex_ < 0 || nextIndex_ >= GetCount()) return false;
  if (nextIndex_ == 0) return true;
  const Instruction* prerequisite = EarlierPrerequisite(nextIndex_);
  return prerequisite == nullptr || prerequisite->IsDone();
}

std::int32_t InstructionBatch::TakeNextIndex() {
  if (nextIndex_ < 0 || nextIndex_ >= GetCount()) return -1;
  return nextIndex_++;
}

bool InstructionBatch::HasPrerequisiteSucceeded(int index) const {
  const Instruction* prerequisite = EarlierPrerequisite(index);
  return prerequisite != nullptr && prerequisite->HasSucceeded();
}

void InstructionBatch::MapMessage(int index, std::uint32_t stamp) { stamps_[stamp] = index; }

int InstructionBatch::FindInstructionByMessage(std::uint32_t stamp) const {
  const auto found = stamps_.find(stamp);
  return found == stamps_.end() ? -1 : found->second;
}
