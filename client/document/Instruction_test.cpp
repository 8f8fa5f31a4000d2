#include "client/document/Instruction.h"

#include <gtest/gtest.h>

namespace {

TEST(InstructionTest, KindCaptions) {
  EXPECT_EQ(Instruction::KindCaption(1), "Get Project: ");
  EXPECT_EQ(Instruction::KindCaption(3), "Add Documents to Project: ");
  EXPECT_EQ(Instruction::KindCaption(9), "Create Edition / Supplement: ");
  EXPECT_EQ(Instruction::KindCaption(10), "Get List of Project Document Versions: ");
  EXPECT_EQ(Instruction::KindCaption(11), "Get List of Project Documents: ");
  EXPECT_EQ(Instruction::KindCaption(16), "Get Original Edition / Supplement Documents: ");
  EXPECT_EQ(Instruction::KindCaption(17), "Refresh List of Projects");
  EXPECT_EQ(Instruction::KindCaption(0), "");
  EXPECT_EQ(Instruction::KindCaption(18), "Get Documents: ");
  EXPECT_EQ(Instruction::KindCaption(19), "Add Documents: ");
  EXPECT_EQ(Instruction::KindCaption(20), "");
  EXPECT_EQ(Instruction::KindCaption(-1), "");
  EXPECT_EQ(Instruction().GetKind(), -1);
  EXPECT_EQ(Instruction().GetPrerequisite(), -1);
}

}  // namespace
