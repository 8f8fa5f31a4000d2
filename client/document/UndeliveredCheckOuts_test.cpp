#include "client/document/UndeliveredCheckOuts.h"

#include <gtest/gtest.h>

#include "client/library/DocumentListTestData_test.h"
#include "platform/ScratchFolder.h"

namespace {

using document_list_test::Document;
using document_list_test::List;

// The user is asked once, when the last list awaited came, refused lists included,
// and only about documents the user holds without their file.
TEST(UndeliveredCheckOuts, TheOfferWaitsForEveryAwaitedListAndNamesOnlyTheUsersMissingFiles) {
  platform::ScratchFolder folder;
  folder.Put("here", "checked out and edited");
  const VersionedDocumentList list =
      List({Document("gone", {{2, "ann"}, {1}}), Document("here", {{1, "ann"}}), Document("bobs", {{1, "bob"}})});
  UndeliveredCheckOuts scan;
  scan.Await(7, "P_1");
  scan.Await(8, "P_2");
  EXPECT_FALSE(scan.Take(99, &list, "ann", folder.Path()));   // not awaited
  EXPECT_FALSE(scan.Take(7, &list, "ann", folder.Path()));
  EXPECT_TRUE(scan.IsAwaiting());
  EXPECT_TRUE(scan.Take(8, nullptr, "ann", folder.Path()));   // refused, yet the last
  EXPECT_FALSE(scan.IsAwaiting());
  ASSERT_EQ(scan.GetFound().size(), 1u);
  ASSERT_EQ(scan.GetFound()[0].GetCount(), 1);
  EXPECT_EQ(scan.GetFound()[0].GetProjectIndexName(), "P_1");
  EXPECT_EQ(scan.GetFound()[0].GetAt(0)->GetVersion(), 2);
  EXPECT_EQ(scan.OfferText(), std::string(UndeliveredCheckOuts::kOfferHead) + "    Drawings : gone (version 2)\r\n" +
                                  UndeliveredCheckOuts::kOfferQuestion);

  scan.Clear();
  scan.Await(9, "P_1");
  EXPECT_FALSE(scan.Take(9, &list, "carol", folder.Path()));   // holds nothing: no offer
  EXPECT_TRUE(scan.GetFound().empty());
}

}  // namespace
