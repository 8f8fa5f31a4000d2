#include "common/MessageIds.h"

#include <gtest/gtest.h>

namespace {

TEST(MessageIdsTest, EveryIdOfTheTableIsARequestAReplyOrOneOfTheFourSpecialIds) {
  int requests = 0;
  int replies = 0;
  for (MessageId id = kFirstMessageId; id <= kLastMessageId; ++id) {
    EXPECT_FALSE(IsRequestId(id) && IsReplyId(id)) << id;
    requests += IsRequestId(id) ? 1 : 0;
    replies += IsReplyId(id) ? 1 : 0;
  }
  EXPECT_EQ(requests, 19);
  EXPECT_EQ(replies, 29);  // 52 ids less 19 requests and 5002, 5006, 5007, 5011
  for (MessageId id : {MSGID_BYE, MSGID_RESEND_AGAIN, MSGID_RESEND, MSGID_UNUSED, 5001u, 5054u, 0u}) {
    EXPECT_FALSE(IsRequestId(id)) << id;
    EXPECT_FALSE(IsReplyId(id)) << id;
  }
}

TEST(MessageIdsTest, RequestsAndTheirRepliesSitWhereTheProtocolPutsThem) {
  for (MessageId id : {5003u, 5004u, 5008u, 5012u, 5015u, 5018u, 5020u, 5023u, 5026u, 5028u, 5031u, 5034u, 5037u, 5039u,
                       5041u, 5043u, 5046u, 5048u, 5051u}) {
    EXPECT_TRUE(IsRequestId(id)) << id;
  }
  for (MessageId id : {5005u, 5009u, 5010u, 5022u, 5024u, 5053u}) EXPECT_TRUE(IsReplyId(id)) << id;
  EXPECT_TRUE(IsRequestWithFiles(5018) && IsRequestWithFiles(5026) && !IsRequestWithFiles(5022));
  EXPECT_TRUE(IsReplyWithFiles(5022) && IsReplyWithFiles(5024) && !IsReplyWithFiles(5026));
}

}  // namespace
