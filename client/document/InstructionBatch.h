#pragma once
// A queued multi-step operation: its instructions in order, headed at index 0 by a
// placeholder that is always complete (first-level instructions wait on it and take the
// project they address from its index name), the index of the next instruction to run
// (-1 before the batch starts), which instruction sent which request (by the request's
// stamp), and the folder rules and comments the whole operation shares.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "client/document/Instruction.h"
#include "client/records/FolderRuleSet.h"

class InstructionBatch {
 public:
  InstructionBatch() { Clear(); }

  // Only the placeholder, not started, no stamps, no rules, no comments, number 0.
  void Clear();

  // The queue's number for this batch (0 until queued): the progress dialog tells a
  // new head batch from the one it lists by it.
  std::uint64_t GetNumber() const { return number_; }
  void SetNumber(std::uint64_t number) { number_ = number; }

  // Appends a copy; returns its index.
  int AddInstruction(const Instruction& instruction);
  // Null when `index` is out of range.
  Instruction* GetInstruction(int index);
  const Instruction* GetInstruction(int index) const;
  // The number of instructions, placeholder included.
  int GetCount() const { return static_cast<int>(instructions_.size()); }
  // True when only the placeholder is there.
  bool IsEmpty() const { return GetCount() < 2; }

  std::int32_t GetNextIndex() const { return nextIndex_; }
  // Sets the next index to 0 when the batch has not started.
  void Start();
  // Whether the next instruction may run: false when there is none; true for the
  // placeholder; else whether its prerequisite is done (failed or not). A prerequisite
  // that is not an earlier instruction never gets done, so it counts as ready: its
  // step then finds HasPrerequisiteSucceeded false and fails the instruction.
  bool IsNextReady() const;
  // Returns the next index and advances it; -1, nothing changed, when the batch has
  // not started or none is left.
  std::int32_t TakeNextIndex();
  // Gives up every instruction not yet sent (the placeholder aside): each is done and
  // failed, and nothing is left to run. Instructions sent still await their replies.
  // Returns how many were given up.
  int CancelUnsent();
  // Whether instruction `index` waits on an earlier instruction that succeeded. False
  // when its prerequisite is not an earlier instruction of this batch.
  bool HasPrerequisiteSucceeded(int index) const;

  // Records that instruction `index` sent the request of `stamp`; a stamp mapped
  // again is replaced.
  void MapMessage(int index, std::uint32_t stamp);
  // The instruction that sent the request of `stamp`, or -1.
  int FindInstructionByMessage(std::uint32_t stamp) const;

  FolderRuleSet& GetRuleSet() { return rules_; }
  const FolderRuleSet& GetRuleSet() const { return rules_; }
  void SetRuleSet(const FolderRuleSet& rules) { rules_ = rules; }
  void SetComments(const std::string& comments) { comments_ = comments; }
  std::string GetComments() const { return comments_; }
  // Files that live as long as the batch (a copy its steps read when they run): the
  // document deletes them when it removes the batch or goes. Clear keeps them.
  void AddOwnedFile(const std::string& path) { ownedFiles_.push_back(path); }
  const std::vector<std::string>& GetOwnedFiles() const { return ownedFiles_; }

 private:
  // The earlier instruction `index` waits on, or null.
  const Instruction* EarlierPrerequisite(int index) const;

  std::vector<Instruction> instructions_;
  std::int32_t nextIndex_ = -1;
  std::unordered_map<std::uint32_t, int> stamps_;
  FolderRuleSet rules_;
  std::string comments_;
  std::vector<std::string> ownedFiles_;
  std::uint64_t number_ = 0;
};
