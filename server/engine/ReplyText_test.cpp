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

TEST(ReplyTextTest, HeadAndTextBecomeTheBodyAndOnlyTheBodyStaysCounted) {
  struct Case {
    const char* name;
    std::size_t headRoom;
    std::string head;
    std::vector<std::size_t> pieces;
  };
  constexpr std::size_t kStep = ReplyText::kStep;
  constexpr std::size_t kFirst = ReplyText::kFirstRoom;
  for (const Case& c : {Case{"nothing", 0, "", {}}, Case{"a head alone", 4, "head", {}},
                        Case{"a head shorter than its room", 12, "\"A\",3\n", {1, 200, 7}},
                        Case{"a head longer than its room", 2, "longer head\n", {kFirst - 3, 5}},
                        Case{"across the first room's growth", 8, "12345678", {kFirst - 3, kFirst, 3 * kFirst}},
                        Case{"one piece over three steps", 3, "ab\n", {2 * kStep + 17}},
                        Case{"a step then pieces", 0, "", {kStep, kStep - 1, 2}}}) {
    TransferBudget budget;
    const std::atomic<bool> stop{false};
    ReplyText text(TransferBudget::Charge(budget), stop, c.headRoom);
    ASSERT_TRUE(text.Reserve(kStep)) << c.name;
    std::string expected = c.head;
    char first = 'A';
    for (const std::size_t piece : c.pieces) {
      const std::string added = Pattern(piece, first++);
      text.Append(added);
      expected += added;
    }
    EXPECT_EQ(text.Size() + c.head.size(), expected.size()) << c.name;
    EXPECT_GE(budget.Used(), text.Size()) << c.name;
    Msg message;
    ASSERT_TRUE(text.MoveInto(message, c.head)) << c.name;
    ASSERT_EQ(message.GetBodyLength(), expected.size()) << c.name;
    EXPECT_EQ(message.GetBodyText(), expected) << c.name;
    EXPECT_EQ(message.GetBody()[expected.size()], '\0') << c.name;
    EXPECT_EQ(budget.Used(), expected.size() + 1) << c.name;
    EXPECT_EQ(text.TakeCharge().Bytes(), expected.size() + 1) << c.name;
  }
}

TEST(ReplyTextTest, ASpentBudgetDelaysTheReplyButNeverStopsIt) {
  TransferBudget budget(1024);
  TransferBudget::Charge holder(budget);
  holder.Add(1024);   // all of it, held by others
  const std::atomic<bool> stop{false};
  ReplyText text(TransferBudget::Charge(budget), stop, 0);
  ASSERT_TRUE(text.Reserve(ReplyText::kStep));
  const std::string rows = Pattern(3000, 'a');
  text.Append(rows);
  Msg message;
  ASSERT_TRUE(text.MoveInto(message, ""));
  EXPECT_EQ(message.GetBodyText(), rows);
}

TEST(ReplyTextTest, AnEndedConnectionStopsTheWaitForRoom) {
  TransferBudget budget(1024);
  TransferBudget::Charge holder(budget);
  holder.Add(1024);
  const std::atomic<bool> stop{true};
  ReplyText text(TransferBudget::Charge(budget), stop, 0);
  EXPECT_FALSE(text.Reserve(ReplyText::kStep));
  EXPECT_EQ(budget.Used(), 1024u);
}

}  // namespace
