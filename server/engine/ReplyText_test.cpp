#include "server/engine/ReplyText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

// A text of `length` bytes that differs from its neighbours in every byte.
std::string Pattern(std::size_t length, char first) {
  std::string text(length, '\0');
  for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>(first + static_cast<char>(i % 61));
  return text;
}

TEST(ReplyTextTest, TextAcrossBlocksIsCopiedWholeAndItsRoomGivenBack) {
  struct Case {
    const char* name;
    std::vector<std::size_t> pieces;
  };
  constexpr std::size_t kBlock = ReplyText::kBlockSize;
  constexpr std::size_t kFirst = ReplyText::kFirstRoom;
  for (const Case& c : {Case{"nothing", {}}, Case{"small pieces", {1, 200, 7}},
                        Case{"the first room exactly, then one byte", {kFirst, 1}},
                        Case{"across the first block's growth", {kFirst - 3, kFirst, 3 * kFirst}},
                        Case{"one piece over three blocks", {2 * kBlock + 17}},
                        Case{"a block then pieces", {kBlock, kBlock - 1, 2}}}) {
    TransferBudget budget;
    const std::atomic<bool> stop{false};
    ReplyText text(TransferBudget::Charge(budget), stop);
    ASSERT_TRUE(text.Reserve(kBlock)) << c.name;
    std::string expected;
    char first = 'A';
    for (const std::size_t piece : c.pieces) {
      const std::string added = Pattern(piece, first++);
      text.Append(added);
      expected += added;
    }
    ASSERT_EQ(text.Size(), expected.size()) << c.name;
    EXPECT_GE(budget.Used(), expected.size()) << c.name;
    std::string copied(text.Size(), '\0');
    text.CopyTo(copied.data());
    EXPECT_EQ(copied, expected) << c.name;
    ASSERT_TRUE(text.Charge(expected.size()));
    text.Free();
    // What remains counted is the message the text was copied into.
    EXPECT_EQ(budget.Used(), expected.size()) << c.name;
    EXPECT_EQ(text.TakeCharge().Bytes(), expected.size()) << c.name;
  }
}

TEST(ReplyTextTest, ASpentBudgetDelaysTheReplyButNeverStopsIt) {
  TransferBudget budget(1024);
  TransferBudget::Charge holder(budget);
  holder.Add(1024);   // all of it, held by others
  const std::atomic<bool> stop{false};
  ReplyText text(TransferBudget::Charge(budget), stop);
  ASSERT_TRUE(text.Reserve(ReplyText::kBlockSize));
  text.Append(Pattern(3000, 'a'));
  EXPECT_TRUE(text.Charge(3000));
  EXPECT_EQ(text.Size(), 3000u);
}

TEST(ReplyTextTest, AnEndedConnectionStopsTheWaitForRoom) {
  TransferBudget budget(1024);
  TransferBudget::Charge holder(budget);
  holder.Add(1024);
  const std::atomic<bool> stop{true};
  ReplyText text(TransferBudget::Charge(budget), stop);
  EXPECT_FALSE(text.Reserve(ReplyText::kBlockSize));
  EXPECT_FALSE(text.Charge(1));
  EXPECT_EQ(budget.Used(), 1024u);
}

}  // namespace
