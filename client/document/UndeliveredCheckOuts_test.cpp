#include "client/document/UndeliveredCheckOuts.h"

#include <gtest/gtest.h>

#include "client/library/DocumentListTestData_test.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"

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

// The references an edition and a supplement hold carry the original's check-out:
// one held document is told once, and not at all where any project has its copy.
TEST(UndeliveredCheckOuts, AHeldDocumentIsToldOnceWhateverReferencesListIt) {
  platform::ScratchFolder folder;
  ASSERT_TRUE(platform::fs::CreateFolder(folder.Path() + "/edition"));
  folder.Put("edition/copied", "checked out through the edition");
  const auto listOf = [](const std::string& index, bool reference, std::initializer_list<VersionedDocument> documents) {
    VersionedDocumentList list = List(documents);
    list.SetProjectIndexName(index);
    list.SetProjectName(index);
    for (int d = 0; d < list.GetCount(); ++d) list.GetAt(d)->GetVersion(0)->SetHasInternalProjectName(reference);
    return list;
  };
  const VersionedDocument gone = Document("gone", {{1, "ann"}});
  const VersionedDocument copied = Document("copied", {{1, "ann"}});
  const VersionedDocument orphan = Document("orphan", {{1, "ann"}});
  struct Project {
    VersionedDocumentList list;
    std::string folder;
  };
  const std::vector<Project> projects = {
      {listOf("edition", true, {gone, copied, orphan}), folder.Path() + "/edition"},
      {listOf("original", false, {gone, copied}), folder.Path() + "/original"},
      {listOf("supplement", true, {gone, copied, orphan}), folder.Path() + "/supplement"},
  };
  UndeliveredCheckOuts scan;
  for (std::uint32_t i = 0; i < projects.size(); ++i) scan.Await(i, projects[i].list.GetProjectIndexName());
  bool offered = false;
  for (std::uint32_t i = 0; i < projects.size(); ++i) {
    offered = scan.Take(i, &projects[i].list, "ann", projects[i].folder);
  }
  EXPECT_TRUE(offered);
  EXPECT_EQ(scan.OfferText(), std::string(UndeliveredCheckOuts::kOfferHead) + "    original : gone (version 1)\r\n" +
                                  "    edition : orphan (version 1)\r\n" + UndeliveredCheckOuts::kOfferQuestion);
}

}  // namespace
