// Publication: the edition batch a confirmation queues, the staging copies put back,
// the reference replies' one dialog, and an edition and a supplement end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <mutex>
#include <shared_mutex>
#include <sstream>
#include <string>
#include <vector>

#include "client/document/CBrannockDoc.h"
#include "client/library/ServerTreeText.h"
#include "client/library/VersionedDocumentList.h"
#include "common/MessageIds.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ServerProject.h"
#include "server/store/StoreFilePaths.h"
#include "server/store/StringList.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

Msg Reply(MessageId id, std::uint32_t stamp, const std::string& body) {
  Msg reply;
  reply.SetMessageId(id);
  reply.SetOriginalStamp(stamp);
  reply.SetBody(body);
  return reply;
}

// The three views of a document, attached for one test and detached with it; `order`
// logs every code the tree and the document list act on.
struct Views {
  explicit Views(CBrannockDoc& document) : document(document) {
    for (RecordingView* view : {&tree, &list, &local}) {
      if (view != &local) view->onUpdate = [this](int code) { order.push_back(code); };
      document.GetViews().Attach(*view);
    }
  }
  ~Views() {
    for (RecordingView* view : {&tree, &list, &local}) document.GetViews().Detach(*view);
  }
  // The tree collects the ticked projects: `mapping` becomes the publication mapping.
  void TickOnCollect(const FolderMapping& mapping) {
    tree.onUpdate = [this, mapping](int code) {
      order.push_back(code);
      if (code == -1030) document.GetPublicationMapping() = mapping;
    };
  }

  CBrannockDoc& document;
  RecordingView tree{UpdateHint::kTreeView};
  RecordingView list{UpdateHint::kDocumentListView};
  RecordingView local{UpdateHint::kLocalFileListView};
  std::vector<int> order;
};

FolderMapping Mapping(const std::string& name, const std::string& folders, const std::string& local,
                      std::initializer_list<FolderMapping> children = {}) {
  FolderMapping mapping;
  mapping.SetProjectName(name);
  mapping.SetFolderList(folders);
  mapping.SetLocalFolder(local);
  for (const FolderMapping& child : children) mapping.AddChild(child);
  return mapping;
}

class PublicationTest : public ClientLibraryTest {
 protected:
  // An open library whose tree is Main (Root) > A (PA) > B (PB), with cache names.
  CBrannockDoc* OpenWithTree() {
    CBrannockDoc* document = OpenReady("0");
    if (document == nullptr) return nullptr;
    ProjectTree& tree = document->GetProjectTree();
    EXPECT_TRUE(tree.ApplyServerTree(
        ServerTreeText().Node("Main", "Root", 1).Node("A", "PA", 1).Node("B", "PB", 0).Text()));
    for (const char* indexName : {"PA", "PB"}) tree.FindProjectByPath(indexName)->MakeCacheFileName();
    return document;
  }
  static std::string VersionsFile(CBrannockDoc& document, const std::string& indexName) {
    const ProjectNode* node = document.GetProjectTree().FindProjectByPath(indexName);
    return node == nullptr ? "" : DocumentListCache::VersionsFilePath(document.GetLibraryFolder(),
                                                                      node->GetCacheFilePath());
  }
};

TEST_F(PublicationTest, NothingTickedRestoresTheCopiesQueuesNothingAndLeavesPreparing) {
  CBrannockDoc* document = OpenWithTree();
  ASSERT_NE(document, nullptr);
  // A third project whose cache name would leave the library folder is passed over.
  ProjectNode unsafe;
  ASSERT_TRUE(unsafe.DecodeServer(ServerTreeText().Node("C", "PC", 0).Text()));
  unsafe.SetCacheFileName("../outside");
  document->GetProjectTree().GetRoot().AddChild(unsafe);
  const std::string outside = platform::fs::ParentFolder(document->GetLibraryFolder()) + "/outsideWithVersions";
  WriteFile(outside + "_BPTemp", "staged outside");
  for (const char* indexName : {"PA", "PB"}) {
    WriteFile(VersionsFile(*document, indexName), "ticked");
    WriteFile(VersionsFile(*document, indexName) + "_BPTemp", std::string("original ") + indexName);
  }
  // B's copy cannot be put back (a folder holds its place), so it is kept.
  ASSERT_TRUE(platform::fs::DeleteFile(VersionsFile(*document, "PB")));
  ASSERT_TRUE(platform::fs::CreateFolder(VersionsFile(*document, "PB")));

  Views views(*document);
  document->SetPreparingPublication(true);
  document->SetPublicationSelection(PublicationSelection::OfProject("PA", 0), "First", "notes");
  document->QueueEditionBatch();

  EXPECT_EQ(ReadFile(VersionsFile(*document, "PA")), "original PA");
  EXPECT_FALSE(platform::fs::Exists(VersionsFile(*document, "PA") + "_BPTemp"));
  EXPECT_EQ(ReadFile(VersionsFile(*document, "PB") + "_BPTemp"), "original PB");
  EXPECT_EQ(ReadFile(outside + "_BPTemp"), "staged outside");
  EXPECT_FALSE(platform::fs::Exists(outside));
  EXPECT_FALSE(document->IsPreparingPublication());
  EXPECT_FALSE(document->IsPublicationRunning());
  EXPECT_TRUE(document->GetBatches().empty());
  EXPECT_EQ(views.order, (std::vector<int>{-1020, -1040, -1030, 5005, 5016}));
}

TEST_F(PublicationTest, AbandoningRestoresTheCopiesLeavesPreparingAndKeepsTheSelectionReadable) {
  CBrannockDoc* document = OpenWithTree();
  ASSERT_NE(document, nullptr);
  WriteFile(VersionsFile(*document, "PA"), "ticked");
  WriteFile(VersionsFile(*document, "PA") + "_BPTemp", "original");
  PublicationSelection selection = PublicationSelection::OfProject("PA", 2);
  selection.baseIndexName = "PB";
  document->SetPreparingPublication(true);
  document->SetPublicationSelection(selection, "First", "notes");
  EXPECT_EQ(document->GetPublicationSelection().projectIndexName, "PA");
  EXPECT_EQ(document->GetPublicationSelection().baseIndexName, "PB");
  EXPECT_EQ(document->GetPublicationSelection().versionChoice, 2);
  EXPECT_EQ(document->GetPublicationName(), "First");
  EXPECT_EQ(document->GetPublicationComments(), "notes");

  document->AbandonPublication();
  EXPECT_EQ(ReadFile(VersionsFile(*document, "PA")), "original");
  EXPECT_FALSE(platform::fs::Exists(VersionsFile(*document, "PA") + "_BPTemp"));
  EXPECT_FALSE(document->IsPreparingPublication());
  EXPECT_FALSE(document->IsPublicationRunning());
}

TEST_F(PublicationTest, TickedProjectsBecomePairsEachWaitingForItsParentsReferences) {
  CBrannockDoc* document = OpenWithTree();
  ASSERT_NE(document, nullptr);
  const std::string folderA = document->GetProjectTree().FindProjectByPath("PA")->GetLocalFolder();
  Views views(*document);
  // A ticked with two levels below it: B (D, E) and F.
  views.TickOnCollect(Mapping("A", "/c/a1;/c/a2", "/l/A",
                              {Mapping("B", "/c/b", "/l/A/B", {Mapping("D", "/c/d", "/l/A/B/D"),
                                                               Mapping("E", "/c/e", "/l/A/B/E")}),
                               Mapping("F", "/c/f", "/l/A/F")}));
  document->SetPreparingPublication(true);
  document->SetPublicationSelection(PublicationSelection::OfProject("PA", 0), "First", "notes");
  document->QueueEditionBatch();

  ASSERT_EQ(document->GetBatches().size(), 1u);
  const InstructionBatch& batch = document->GetBatches().front();
  struct Row {
    int kind, prerequisite;
    std::string name, indexName, target, source;
  };
  const std::vector<Row> expected = {
      {-1, -1, "", "PA", "", ""},
      {8, 0, "First", "", folderA, folderA},
      {12, 1, "First", "", folderA, "/c/a1;/c/a2"},
      {15, 2, "B", "", "/l/A/B", "/l/A/B"},
      {12, 3, "B", "", "/l/A/B", "/c/b"},
      {15, 4, "D", "", "/l/A/B/D", "/l/A/B/D"},
      {12, 5, "D", "", "/l/A/B/D", "/c/d"},
      {15, 4, "E", "", "/l/A/B/E", "/l/A/B/E"},
      {12, 7, "E", "", "/l/A/B/E", "/c/e"},
      {15, 2, "F", "", "/l/A/F", "/l/A/F"},
      {12, 9, "F", "", "/l/A/F", "/c/f"},
  };
  ASSERT_EQ(batch.GetCount(), static_cast<int>(expected.size()));
  for (int i = 0; i < batch.GetCount(); ++i) {
    const Instruction& got = *batch.GetInstruction(i);
    const Row& want = expected[static_cast<std::size_t>(i)];
    EXPECT_EQ(got.GetKind(), want.kind) << i;
    EXPECT_EQ(got.GetPrerequisite(), want.prerequisite) << i;
    EXPECT_EQ(got.GetName(), want.name) << i;
    EXPECT_EQ(got.GetIndexName(), want.indexName) << i;
    EXPECT_EQ(got.GetTargetFolder(), want.target) << i;
    EXPECT_EQ(got.GetSourceFolder(), want.source) << i;
    if (i > 0) {
      EXPECT_FALSE(got.IsSent() || got.IsDone() || got.HasSucceeded()) << i;
    }
  }
  EXPECT_EQ(batch.GetComments(), "notes");
  EXPECT_TRUE(document->IsPublicationRunning());
  EXPECT_TRUE(document->IsPreparingPublication());
  const std::vector<int> confirm = {-1020, -1040, -1030, -1110};
  ASSERT_GE(views.order.size(), confirm.size());
  EXPECT_EQ(std::vector<int>(views.order.begin(), views.order.begin() + 4), confirm);
}

TEST_F(PublicationTest, ReferenceRepliesShowEveryRefusalOnceAndNothingWhenAllWent) {
  CBrannockDoc* document = OpenWithTree();
  ASSERT_NE(document, nullptr);
  std::vector<std::string> information;
  document->SetInformationHook([&](const std::string& text) { information.push_back(text); });
  const auto entry = [&](int error, const std::string& name) {
    return document->GetServerErrorText(error) + " : A\r\n    " + name + "\r\n\r\n";
  };
  struct Case {
    std::string body;
    std::vector<std::string> shown;
  };
  const std::vector<Case> cases = {
      {"\"PA\",0\n", {}},
      {"\"PA\",2\n\"a\",\"F1\",1,5,1,0\n\"b\",\"F2\",1,5,1,0\n", {}},
      {"\"PA\",3\n\"a.txt\",\"\",-1,0,0,39\n\"ok\",\"F3\",1,1,1,0\n\"b, \"\"c\"\"\",\"\",-1,0,0,37\n",
       {entry(39, "a.txt") + entry(37, "b, \"c\"")}},
      {"\"PA\",1000000\n\"a\",\"\",-1,0,0,39\n", {entry(39, "a")}},   // a count past the rows
      {"\"PA\",1\n\"a\",\"\",-1,0,0,39\n\"b\",\"\",-1,0,0,38\n", {entry(39, "a")}},
      {"\"PX\",1\n\"a\",\"\",-1,0,0,39\n", {}},   // unknown project
      {"", {}},
  };
  for (const Case& c : cases) {
    for (const MessageId id : {MSGID_ADD_ORIGINAL_REFERENCES_RESULT, MSGID_ADD_REFERENCES_RESULT}) {
      information.clear();
      const Msg reply = Reply(id, 7, c.body);
      if (id == MSGID_ADD_ORIGINAL_REFERENCES_RESULT) {
        document->OnOriginalReferencesAdded(reply);
      } else {
        document->OnDocumentReferencesAdded(reply);
      }
      EXPECT_EQ(information, c.shown) << id << " " << c.body;
    }
  }
  EXPECT_TRUE(Shown().empty());

  // A created edition or original project without its names: their own texts.
  document->OnEditionCreated(Reply(MSGID_EDITION_CREATED, 8, "\"PA\"\n" + ServerTreeText().Node("", "PE", 0).Text()));
  document->OnOriginalProjectAdded(
      Reply(MSGID_ORIGINAL_PROJECT_ADDED, 9, "\"PE\"\n" + ServerTreeText().Node("Q", "", 0).Text()));
  EXPECT_EQ(Shown(), (std::vector<std::string>{CBrannockDoc::kEditionNoNameText,
                                               CBrannockDoc::kAddedProjectWithoutIndexName}));
  EXPECT_EQ(document->GetProjectTree().FindProjectByPath("PE"), nullptr);
}

// Builds the library in the store and reads back what it holds.
class PublicationEndToEndTest : public PublicationTest {
 protected:

  // What the new-edition dialog leaves behind: fresh lists of the project and its
  // sub-projects, staged copies, every document's latest version ticked.
  void Prepare(CBrannockDoc& document, const std::string& project, const std::vector<std::string>& ticked) {
    InstructionBatch lists;
    document.QueueProjectListRequests(*document.GetProjectTree().FindProjectByPath(project), lists);
    document.QueueBatch(lists);
    ASSERT_TRUE(PassUntil([&] { return document.GetBatches().empty(); }));
    document.SetPreparingPublication(true);
    for (const std::string& indexName : ticked) {
      const std::string versions = VersionsFile(document, indexName);
      ASSERT_TRUE(platform::fs::CopyFile(versions, versions + "_BPTemp", platform::fs::CopyMode::Overwrite));
      VersionedDocumentList list;
      ASSERT_TRUE(list.ReadFile(versions)) << indexName;
      ASSERT_GT(list.GetCount(), 0) << indexName;
      for (int i = 0; i < list.GetCount(); ++i) list.GetAt(i)->SelectLatestVersion();
      ASSERT_TRUE(list.WriteFile(versions));
    }
  }
  FolderMapping Ticked(CBrannockDoc& document, const std::string& indexName,
                       std::initializer_list<FolderMapping> children = {}) {
    const ProjectNode* node = document.GetProjectTree().FindProjectByPath(indexName);
    return Mapping(node->GetName(), VersionsFile(document, indexName), node->GetLocalFolder(), children);
  }
  // Confirms and passes until the publication has ended and its tree refresh, with
  // the list batch that follows it, has run.
  void Publish(CBrannockDoc& document, Views& views) {
    const auto refreshes = [&] { return std::count(views.local.codes.begin(), views.local.codes.end(), 5005); };
    const auto before = refreshes();
    document.QueueEditionBatch();
    ASSERT_TRUE(PassUntil(
        [&] {
          return !document.IsPublicationRunning() && refreshes() > before &&
                 document.GetBatches().empty();
        },
        seconds(30)));
  }
};

TEST_F(PublicationEndToEndTest, AnEditionAndASupplementHoldTheTickedVersions) {
  const std::string alpha = NewProject("", "Alpha");
  const std::string beta = NewProject(alpha, "Beta");
  AddDocument(alpha, "a.txt", "alpha");
  AddDocument(beta, "b.txt", "beta");

  CBrannockDoc* document = OpenReady("0");
  ASSERT_NE(document, nullptr);
  Views views(*document);
  ASSERT_TRUE(PassUntil([&] { return document->GetProjectTree().FindProjectByPath(beta) != nullptr; }));

  // An edition of Alpha holding Alpha's document and an original copy of Beta with its own.
  Prepare(*document, alpha, {alpha, beta});
  document->SetPublicationSelection(PublicationSelection::OfProject(alpha, 0), "First", "first edition");
  views.TickOnCollect(Ticked(*document, alpha, {Ticked(*document, beta)}));
  Publish(*document, views);

  const std::string edition = StoredChild(alpha, "<E> First");
  ASSERT_FALSE(edition.empty());
  EXPECT_EQ(StoredDocuments(edition), std::vector<std::string>{"a.txt"});
  const std::string copy = StoredChild(edition, "Beta");
  ASSERT_FALSE(copy.empty());
  EXPECT_EQ(StoredDocuments(copy), std::vector<std::string>{"b.txt"});
  for (const std::string& indexName : {alpha, beta}) {
    EXPECT_FALSE(platform::fs::Exists(VersionsFile(*document, indexName) + "_BPTemp")) << indexName;
  }
  EXPECT_FALSE(document->IsPreparingPublication());

  // A supplement of that edition holding Alpha's document alone.
  ASSERT_NE(document->GetProjectTree().FindProjectByPath(edition), nullptr);
  Prepare(*document, alpha, {alpha});
  document->SetPublicationSelection(PublicationSelection::OfProject(edition, 0), "May", "supplement");
  views.TickOnCollect(Ticked(*document, alpha));
  Publish(*document, views);

  const std::string supplement = StoredChild(edition, "<S> May");
  ASSERT_FALSE(supplement.empty());
  EXPECT_EQ(StoredDocuments(supplement), std::vector<std::string>{"a.txt"});
  EXPECT_TRUE(Shown().empty());
}

}  // namespace
