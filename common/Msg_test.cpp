#include "common/Msg.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <utility>

#include "platform/Clock.h"

namespace {

using Header = std::array<unsigned char, Msg::kHeaderSize>;

Header HeaderOf(const Msg& msg) {
  Header header{};
  msg.WriteHeader(header.data());
  return header;
}

std::uint32_t WordAt(const Header& header, std::size_t offset) {
  return header[offset] | (header[offset + 1] << 8) | (header[offset + 2] << 16) |
         (static_cast<std::uint32_t>(header[offset + 3]) << 24);
}

Msg SampleMessage() {
  Msg msg;
  UserIdentity identity;
  identity.SetUserId(0x01020304);
  msg.SetUserIdentity(identity);
  msg.SetMessageId(5023);
  msg.SetOriginalStamp(17);
  msg.SetReplyStamp(2);
  msg.SetBody(std::string("\"abc\",12\n"));
  return msg;
}

TEST(MsgTest, NewMessageHasZeroFieldsAndNoBody) {
  Msg msg;
  EXPECT_EQ(msg.GetUserIdentity(), UserIdentity());
  EXPECT_EQ(msg.GetMessageId(), 0u);
  EXPECT_EQ(msg.GetOriginalStamp(), 0u);
  EXPECT_EQ(msg.GetReplyStamp(), 0u);
  EXPECT_EQ(msg.GetBodyLength(), 0u);
  EXPECT_EQ(msg.GetBody(), nullptr);
  EXPECT_EQ(msg.GetSendTime(), "00000000000000");
  EXPECT_EQ(msg.GetSecondTime(), "00000000000000");
}

TEST(MsgTest, HeaderIsLittleEndianWithLengthWithoutTerminator) {
  Header header = HeaderOf(SampleMessage());
  EXPECT_EQ(header[0], 0x04);
  EXPECT_EQ(header[1], 0x03);
  EXPECT_EQ(header[2], 0x02);
  EXPECT_EQ(header[3], 0x01);
  EXPECT_EQ(WordAt(header, 4), 0u);
  EXPECT_EQ(header[8], 5023 & 0xFF);
  EXPECT_EQ(header[9], 5023 >> 8);
  EXPECT_EQ(WordAt(header, 8), 5023u);
  EXPECT_EQ(WordAt(header, 12), 17u);
  EXPECT_EQ(WordAt(header, 16), 2u);
  EXPECT_EQ(std::string(header.begin() + 20, header.begin() + 48), std::string(28, '0'));
  EXPECT_EQ(WordAt(header, 48), 9u);
}

TEST(MsgTest, StampSendTimeWritesFourteenDigitsBeforeSecondTime) {
  platform::SetClockForTesting([] { return platform::LocalTime{2026, 3, 5, 14, 7, 9}; });
  Msg msg = SampleMessage();
  msg.StampSendTime();
  platform::SetClockForTesting(nullptr);

  EXPECT_EQ(msg.GetSendTime(), "20260305140709");
  Header header = HeaderOf(msg);
  EXPECT_EQ(std::string(header.begin() + 20, header.begin() + 34), "20260305140709");
  EXPECT_EQ(header[34], msg.GetSecondTime()[0]);
}

TEST(MsgTest, ReadHeaderRestoresFieldsAndReturnsAnnouncedLength) {
  platform::SetClockForTesting([] { return platform::LocalTime{2026, 3, 5, 14, 7, 9}; });
  Msg sent = SampleMessage();
  sent.StampSendTime();
  platform::SetClockForTesting(nullptr);
  Header header = HeaderOf(sent);

  Msg received;
  ASSERT_EQ(received.ReadHeader(header.data()), 9u);
  EXPECT_EQ(received.GetBody(), nullptr);
  EXPECT_EQ(received.GetUserIdentity(), sent.GetUserIdentity());
  EXPECT_EQ(received.GetMessageId(), 5023u);
  EXPECT_EQ(received.GetOriginalStamp(), 17u);
  EXPECT_EQ(received.GetReplyStamp(), 2u);
  EXPECT_EQ(received.GetSendTime(), "20260305140709");
  ASSERT_TRUE(received.SetBody(sent.GetBody(), 9));
  EXPECT_EQ(HeaderOf(received), header);

  header[4] = 0x7F;  // the second identity word is carried as received
  received.ReadHeader(header.data());
  EXPECT_EQ(received.GetUserIdentity().GetSecondWord(), 0x7Fu);
}

TEST(MsgTest, BodySettersTerminateAndCount) {
  Msg msg;
  ASSERT_TRUE(msg.SetBody(std::string()));
  ASSERT_NE(msg.GetBody(), nullptr);
  EXPECT_EQ(msg.GetBodyLength(), 0u);
  EXPECT_EQ(msg.GetBody()[0], '\0');
  EXPECT_EQ(WordAt(HeaderOf(msg), 48), 0u);

  const char bytes[] = "abcdef";
  ASSERT_TRUE(msg.SetBody(bytes, 3));
  EXPECT_EQ(msg.GetBodyLength(), 3u);
  EXPECT_STREQ(msg.GetBody(), "abc");
  EXPECT_EQ(msg.GetBodyText(), "abc");
  EXPECT_EQ(Msg().GetBodyText(), "");
  ASSERT_TRUE(msg.SetBody(std::string("a\0b", 3)));
  EXPECT_EQ(msg.GetBodyText(), std::string("a\0b", 3));  // every byte, zeros too

  ASSERT_TRUE(msg.SetBody(nullptr, 0));
  EXPECT_EQ(msg.GetBodyLength(), 0u);
  EXPECT_STREQ(msg.GetBody(), "");

  ASSERT_TRUE(msg.SetBodyLength(5));
  EXPECT_EQ(msg.GetBodyLength(), 5u);
  EXPECT_EQ(std::memcmp(msg.GetBody(), "\0\0\0\0\0\0", 6), 0);
}

TEST(MsgTest, OversizedBodyLengthIsRefusedAndLeavesEmptyBody) {
  Msg msg = SampleMessage();
  EXPECT_FALSE(msg.SetBodyLength(0xFFFFFFFFu));  // length + 1 would wrap to 0
  EXPECT_EQ(msg.GetBodyLength(), 0u);
  ASSERT_NE(msg.GetBody(), nullptr);
  EXPECT_STREQ(msg.GetBody(), "");

  msg = SampleMessage();
  EXPECT_FALSE(msg.SetBodyLength(Msg::kMaxBodyLength + 1));
  EXPECT_EQ(msg.GetBodyLength(), 0u);
  EXPECT_STREQ(msg.GetBody(), "");

  EXPECT_TRUE(msg.SetBodyLength(Msg::kMaxBodyLength));
  EXPECT_EQ(msg.GetBodyLength(), Msg::kMaxBodyLength);
  EXPECT_EQ(msg.GetBody()[Msg::kMaxBodyLength], '\0');
}

TEST(MsgTest, CopiesOwnTheirBodyAndHeaderAndMovesTakeThem) {
  Msg source = SampleMessage();
  Msg copy(source);
  Msg assigned;
  assigned = source;
  Msg movedFrom = SampleMessage();
  Msg moved(std::move(movedFrom));
  Msg moveAssignedFrom = SampleMessage();
  Msg moveAssigned;
  moveAssigned = std::move(moveAssignedFrom);
  source.SetBody(std::string("changed"));
  source.SetMessageId(1);

  // A moved-from message holds no body and says so.
  for (const Msg* msg : {&movedFrom, &moveAssignedFrom}) {
    EXPECT_EQ(msg->GetBodyLength(), 0u);
    EXPECT_EQ(msg->GetBody(), nullptr);
  }
  for (const Msg* msg : {&copy, &assigned, &moved, &moveAssigned}) {
    EXPECT_STREQ(msg->GetBody(), "\"abc\",12\n");
    EXPECT_EQ(msg->GetBodyLength(), 9u);
    EXPECT_EQ(msg->GetMessageId(), 5023u);
    EXPECT_EQ(msg->GetOriginalStamp(), 17u);
    EXPECT_EQ(msg->GetReplyStamp(), 2u);
    EXPECT_EQ(msg->GetUserIdentity().GetUserId(), 0x01020304u);
  }
}

TEST(MsgTest, CopyOfMessageWithoutBodyHasOneZeroByte) {
  Msg empty;
  Msg copy(empty);
  Msg again(copy);
  Msg assigned = SampleMessage();
  assigned = empty;
  for (const Msg* msg : {&copy, &again, &assigned}) {
    EXPECT_EQ(msg->GetBodyLength(), 0u);
    ASSERT_NE(msg->GetBody(), nullptr);
    EXPECT_EQ(msg->GetBody()[0], '\0');
  }
}

TEST(MsgTest, SelfAssignmentKeepsBody) {
  Msg msg = SampleMessage();
  Msg& same = msg;
  msg = same;
  EXPECT_EQ(msg.GetBodyLength(), 9u);
  EXPECT_STREQ(msg.GetBody(), "\"abc\",12\n");
  EXPECT_EQ(msg.GetMessageId(), 5023u);
}

}  // namespace
