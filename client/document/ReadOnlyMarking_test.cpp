#include "client/document/ReadOnlyMarking.h"

#include <gtest/gtest.h>

#include "platform/ScratchFolder.h"
#include "platform/fs.h"

namespace {

namespace fs = platform::fs;
using platform::ScratchFolder;

TEST(ReadOnlyMarkingTest, OnlyAcceptedRowsBecomeReadOnly) {
  ScratchFolder scratch;
  ASSERT_TRUE(fs::CreateFolder(scratch / "proj"));
  const std::string accepted = scratch.Put("proj/accepted.txt", "a");
  const std::string refused = scratch.Put("proj/refused.txt", "r");
  const std::string outside = scratch.Put("outside.txt", "o");
  ReplyMessages messages("Main");
  ReadOnlyMarking marking(scratch / "proj/", ReadOnlyMarking::kCheckInNotMarked, true, messages);
  marking.Row("accepted.txt", true, "");
  marking.Row("refused.txt", false, "Document is not checked out");
  marking.Row("../outside.txt", true, "");
  marking.Row("missing.txt", true, "");

  EXPECT_TRUE(fs::IsReadOnly(accepted));
  EXPECT_FALSE(fs::IsReadOnly(refused));
  EXPECT_FALSE(fs::IsReadOnly(outside));
  const std::string notMarked =
      "File successfully checked in to Wexmoor but local file attributes could not be chanced to read-only : Main"
      "\r\n    ";
  EXPECT_EQ(messages.GetText(), "Document is not checked out : Main\r\n    refused.txt\r\n\r\n" + notMarked +
                                    "../outside.txt\r\n\r\n" +
                                    notMarked + "missing.txt\r\n\r\n");
}

TEST(ReadOnlyMarkingTest, WithoutMarkingAcceptedCopiesStayAsTheyAre) {
  ScratchFolder scratch;
  const std::string accepted = scratch.Put("accepted.txt", "a");
  ReplyMessages messages("Main");
  ReadOnlyMarking marking(scratch.Path(), ReadOnlyMarking::kAddNotMarked, false, messages);
  marking.Row("accepted.txt", true, "");
  marking.Row("missing.txt", true, "");
  EXPECT_FALSE(fs::IsReadOnly(accepted));
  EXPECT_TRUE(messages.IsEmpty());

  ReadOnlyMarking noFolder("", ReadOnlyMarking::kAddNotMarked, true, messages);
  noFolder.Row("accepted.txt", true, "");
  EXPECT_EQ(messages.GetText(), std::string(ReadOnlyMarking::kAddNotMarked) + " : Main\r\n    accepted.txt\r\n\r\n");
}

}  // namespace
