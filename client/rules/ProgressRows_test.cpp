#include "client/rules/ProgressRows.h"

#include <gtest/gtest.h>

namespace {

Instruction Make(std::int32_t kind, const std::string& name, bool sent = false, bool done = false,
                 bool succeeded = false) {
  Instruction instruction;
  instruction.SetKind(kind);
  instruction.SetName(name);
  instruction.SetSent(sent);
  instruction.SetDone(done);
  instruction.SetSucceeded(succeeded);
  return instruction;
}

InstructionBatch Batch(const std::vector<Instruction>& instructions) {
  InstructionBatch batch;
  for (const Instruction& instruction : instructions) batch.AddInstruction(instruction);
  return batch;
}

TEST(ProgressRowsTest, RowsShowCaptionAndNameWithIconsFromFlagsAndRootSkipsDone) {
  struct Case {
    Instruction instruction;
    std::string text;
    ProgressRows::Icon icon;
  };
  const std::vector<Case> cases = {
      {Make(2, "Plans"), "Add Project: Plans", ProgressRows::kNotSent},
      {Make(5, "a.txt", true), "Check-in Documents: a.txt", ProgressRows::kSent},
      {Make(7, "b", true, true, true), "Check-out Documents: b", ProgressRows::kSucceeded},
      {Make(7, "c", true, true, false), "Check-out Documents: c", ProgressRows::kFailed},
      {Make(1, "Root"), "Get Project: Root", ProgressRows::kSucceeded},
      {Make(11, ""), "Get List of Project Documents: ", ProgressRows::kSucceeded},
      {Make(1, "root"), "Get Project: root", ProgressRows::kNotSent},     // exact match only
      {Make(2, "Root"), "Add Project: Root", ProgressRows::kNotSent},     // other kinds send
      {Make(1, "Dé€𝄞"), "Get Project: Dé€𝄞", ProgressRows::kNotSent},
  };
  for (const Case& c : cases) {
    ProgressRows rows;
    rows.Fill({Batch({c.instruction})});
    ASSERT_EQ(rows.GetRows().size(), 1u);
    EXPECT_EQ(rows.GetRows()[0].text, c.text);
    EXPECT_EQ(rows.GetRows()[0].icon, c.icon) << c.text;
    EXPECT_EQ(rows.GetRange(), 2);
  }
}

}  // namespace
