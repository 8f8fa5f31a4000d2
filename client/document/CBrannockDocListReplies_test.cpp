#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>

#include "client/document/CBrannockDoc.h"
#include "client/library/ServerTreeText.h"
#include "client/library/VersionedDocumentList.h"
#include "client/link/ServerErrorTexts.h"
#include "client/records/TextFileLines.h"
#include "common/MessageIds.h"
#include "common/RecordFields.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;

Msg Reply(MessageId id, const std::string& body) {
  Msg reply;
  reply.SetMessageId(id);
  reply.SetBody(body);
  return reply;
}

// A 5014 body: the parent's index name, then the new node in the server layout.
Msg Added(const std::string& parent, const std::string& name, const std::string& indexName) {
  return Reply(MSGID_PROJECT_ADDED,
               EndRecord(AppendStringField(parent, "")) + ServerTreeText().Node(name, indexName, 0).Text());
}

class CBrannockDocListRepliesTest : public ClientLibraryTest {
 protected:
  void RegisterCounters() override {
    Count(MSGID_REFRESH_PROJECTS, treeRequests_);
    Count(MSGID_LIST_DOCUMENTS, listRequests_);
  }
  // Opens ann's library and waits for its first tree.
  CBrannockDoc* OpenWithTree() {
    CBrannockDoc* document = OpenReady("0");
    if (document == nullptr) return nullptr;
    document->GetViews().Attach(treeView_);
    document->GetViews().Attach(localView_);
    EXPECT_TRUE(PassUntil([&] { return !document->GetProjectTree().GetRoot().GetName().empty(); }));
    return document;
  }
  bool PassUntilShown(std::size_t count) { return PassUntil([&] { return Shown().size() >= count; }); }

  std::atomic<int> treeRequests_{0};
  std::atomic<int> listRequests_{0};
  RecordingView treeView_{UpdateHint::kTreeView};   // outlive the document (closed in TearDown)
  RecordingView localView_{UpdateHint::kLocalFileListView};
};

TEST_F(CBrannockDocListRepliesTest, FirstTreeFillsTheRootAndAReopenAsksForTheTreeAgain) {
  CBrannockDoc* document = OpenWithTree();
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(document->GetProjectTree().GetRoot().GetIndexName(), "Root");
  EXPECT_FALSE(document->GetProjectTree().GetRoot().IsRefreshNeeded());
  EXPECT_EQ(std::count(treeView_.codes.begin(), treeView_.codes.end(), 5005), 1);
  EXPECT_EQ(std::count(localView_.codes.begin(), localView_.codes.end(), 5005), 1);
  app_->GetOpenLibraries().RequestClose(*document);

  document = OpenReady("0");
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(document->GetProjectTree().GetRoot().GetName(), "Root");
  // A refused list request answers after any tree request sent before it (a stored
  // tree may be out of date); the unknown project asks for the tree once more, and
  // the refusal drops the pending entry, so the same list can be asked for again.
  ASSERT_TRUE(document->SendListDocuments("WXNoSuchProject"));
  ASSERT_TRUE(PassUntil([&] { return treeRequests_ == 3; }));
  EXPECT_TRUE(Shown().empty());
  EXPECT_TRUE(document->SendListDocuments("WXNoSuchProject"));
  EXPECT_TRUE(PassUntil([&] { return listRequests_ == 2; }));
}

TEST_F(CBrannockDocListRepliesTest, ProjectAddedUnderTheRootShowsOnBothSidesAndADuplicateShowsItsText) {
  // No lookup file lies beside this client: the texts built into it answer.
  ASSERT_FALSE(platform::fs::Exists(ServerErrorTexts::FilePath(work_)));
  CBrannockDoc* document = OpenWithTree();
  ASSERT_NE(document, nullptr);
  ProjectNode& root = document->GetProjectTree().GetRoot();
  ASSERT_TRUE(document->SendAddProject("Root", "Alpha"));
  ASSERT_TRUE(PassUntil([&] { return root.GetChildCount() == 1; }));
  const ProjectNode& alpha = *root.GetChild(0);
  EXPECT_EQ(alpha.GetName(), "Alpha");
  EXPECT_EQ(alpha.GetLocalFolder(), root.GetLocalFolder() + "/Alpha");
  EXPECT_TRUE(platform::fs::IsFolder(alpha.GetLocalFolder()));
  EXPECT_EQ(document->GetProjectTree().FindProjectByPath(alpha.GetIndexName()), &alpha);
  const ServerProject* stored = server_.Document().FindProjectByInternalName(alpha.GetIndexName());
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->GetName(), "Alpha");
  EXPECT_EQ(std::count(treeView_.codes.begin(), treeView_.codes.end(), 5014), 1);

  // Its document list lands in its cache file and may be asked for again.
  const std::string cache = DocumentListCache::ListFilePath(document->GetLibraryFolder(), alpha.GetCacheFilePath());
  ASSERT_TRUE(document->SendListDocuments(alpha.GetIndexName()));
  ASSERT_TRUE(PassUntil([&] { return platform::fs::IsFile(cache); }));
  ProjectDocumentList list;
  ASSERT_TRUE(list.ReadFile(cache));
  EXPECT_EQ(list.GetProjectIndexName(), alpha.GetIndexName());
  EXPECT_TRUE(document->SendListDocuments(alpha.GetIndexName()));
  EXPECT_TRUE(PassUntil([&] { return listRequests_ == 2; }));

  ASSERT_TRUE(document->SendAddProject("Root", "Alpha"));
  ASSERT_TRUE(PassUntilShown(1));
  EXPECT_EQ(Shown()[0], "The project could not be added: its parent already holds a project of that name.");
  EXPECT_EQ(root.GetChildCount(), 1);
}

TEST_F(CBrannockDocListRepliesTest, AddedProjectsJoinTheParentFolderOnlyUnderOneSafeName) {
  CBrannockDoc* document = OpenWithTree();
  ASSERT_NE(document, nullptr);
  ProjectTree& tree = document->GetProjectTree();
  const std::string library = tree.GetRoot().GetLocalFolder();
  document->SetShownLocalFolder(library + "/");

  document->OnProjectAdded(Added("Root", "Good", "WXGood"));
  document->OnProjectAdded(Added("WXUnknownParent", "../escape", "WXBad"));
  document->OnProjectAdded(Added("WXBad", "child", "WXChild"));
  ASSERT_EQ(tree.GetRoot().GetChildCount(), 2);
  EXPECT_EQ(tree.FindProjectByPath("WXGood")->GetLocalFolder(), library + "/Good");
  EXPECT_TRUE(tree.FindProjectByPath("WXGood")->IsNewNode());
  EXPECT_EQ(tree.FindProjectByPath("WXBad"), tree.GetRoot().GetChild(1));   // unknown parent: the root
  EXPECT_EQ(tree.FindProjectByPath("WXBad")->GetLocalFolder(), "");
  ASSERT_NE(tree.FindProjectByPath("WXChild"), nullptr);
  EXPECT_EQ(tree.FindProjectByPath("WXChild")->GetLocalFolder(), "");
  EXPECT_FALSE(platform::fs::Exists(std::filesystem::path(library).parent_path().string() + "/escape"));
  // The local file list shows the root's folder: it hears of the two added under the root.
  EXPECT_EQ(std::count(localView_.codes.begin(), localView_.codes.end(), 5014), 2);

  document->OnProjectAdded(Added("Root", "", "WXNoName"));
  document->OnProjectAdded(Added("Root", "NoIndex", ""));
  EXPECT_EQ(Shown(), (std::vector<std::string>{CBrannockDoc::kAddedProjectWithoutName,
                                               CBrannockDoc::kAddedProjectWithoutIndexName}));
  EXPECT_EQ(tree.GetRoot().GetChildCount(), 2);
}

TEST_F(CBrannockDocListRepliesTest, VersionListStoresTheRowOfTheOriginalEditionVersion) {
  CBrannockDoc* document = OpenWithTree();
  ASSERT_NE(document, nullptr);
  document->OnProjectAdded(Added("Root", "Edition", "WXEdition"));
  const ProjectNode* node = document->GetProjectTree().FindProjectByPath("WXEdition");
  ASSERT_NE(node, nullptr);

  // Rows newest first; the server counts the selected version oldest first.
  VersionedDocumentList sent;
  sent.SetProjectName("Edition");
  sent.SetProjectIndexName("WXEdition");
  for (std::int32_t selected : {0, 2, 3}) {
    VersionedDocument document;
    for (std::int32_t version = 3; version >= 1; --version) {
      DocumentVersionEntry entry;
      entry.SetName("a.txt");
      entry.SetVersion(version);
      entry.SetComment("line one\nsays \"hi\", ends in \\");
      document.AddVersion(entry);
    }
    document.SetSelectedIndex(selected);
    sent.Add(document);
  }
  std::string body;
  sent.Write(body);
  document->OnVersionListReply(Reply(MSGID_VERSION_LIST, body));

  VersionedDocumentList cached;
  ASSERT_TRUE(cached.ReadFile(DocumentListCache::VersionsFilePath(document->GetLibraryFolder(), node->GetCacheFilePath())));
  ASSERT_EQ(cached.GetCount(), 3);
  const VersionedDocument& original = *cached.GetAt(0);
  ASSERT_EQ(original.GetSelectedIndex(), 2);
  EXPECT_EQ(original.GetVersion(2)->GetVersion(), 1);
  EXPECT_EQ(original.GetVersion(2)->GetComment(), "line one\nsays \"hi\", ends in \\");
  EXPECT_EQ(cached.GetAt(1)->GetSelectedIndex(), 0);
  EXPECT_EQ(cached.GetAt(2)->GetSelectedIndex(), -1);   // outside the rows
}

}  // namespace
