#include "common/WireCapabilities.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Side = WireCapabilities::Side;

const WireCapabilities kBoth = WireCapabilities().With(WireExtension::kRights).With(WireExtension::kUndoCheckOut);

TEST(WireCapabilitiesTest, EachSideReadsBackOnlyItsOwnAnnouncement) {
  const std::string client = kBoth.Announcement(Side::kClient);
  const std::string server = kBoth.Announcement(Side::kServer);
  EXPECT_EQ(client, "WXC10000000003");
  EXPECT_EQ(server.size(), 14u);
  EXPECT_EQ(WireCapabilities::Announced(Side::kClient, client), kBoth);
  EXPECT_EQ(WireCapabilities::Announced(Side::kServer, server), kBoth);
  // A server that copies a request's header into its reply announces nothing.
  EXPECT_TRUE(WireCapabilities::Announced(Side::kServer, client).IsEmpty());
  EXPECT_TRUE(WireCapabilities::Announced(Side::kClient, server).IsEmpty());
  EXPECT_EQ(WireCapabilities::Announced(Side::kClient, WireCapabilities().Announcement(Side::kClient)),
            WireCapabilities());
}

TEST(WireCapabilitiesTest, WhatEarlierPeersOrNoisePutThereAnnouncesNothing) {
  for (const char* field : {"00000000000000", "20261210143000", "WXC1000000000G", "WXC10000000A03", "WXC1000000003",
                            "WXC100000000030", "wxc10000000003", ""}) {
    EXPECT_TRUE(WireCapabilities::Announced(Side::kClient, field).IsEmpty()) << field;
  }
}

TEST(WireCapabilitiesTest, OnlyExtensionRequestsNeedTheirExtensionAnnounced) {
  EXPECT_EQ(ExtensionOfRequest(MSGID_LIST_RIGHTS), WireExtension::kRights);
  EXPECT_EQ(ExtensionOfRequest(MSGID_UNDO_CHECK_OUT), WireExtension::kUndoCheckOut);
  for (MessageId id = kFirstMessageId; id <= kLastMessageId; ++id) EXPECT_FALSE(ExtensionOfRequest(id)) << id;
  EXPECT_FALSE(ExtensionOfRequest(MSGID_RIGHTS_LIST));  // a reply, never a request

  const WireCapabilities rightsOnly = WireCapabilities().With(WireExtension::kRights);
  EXPECT_TRUE(MayRequest(rightsOnly, MSGID_LIST_RIGHTS));
  EXPECT_FALSE(MayRequest(rightsOnly, MSGID_UNDO_CHECK_OUT));
  EXPECT_FALSE(MayRequest(kBoth, MSGID_CHECK_OUT));
}

}  // namespace
