#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <sstream>

#include "client/document/CBrannockDoc.h"
#include "client/document/DocumentSteps.h"
#include "client/library/ServerTreeText.h"
#include "client/library/VersionedDocumentList.h"
#include "common/FileHelpers.h"
#include "platform/fs.h"
#include "server/store/FileStatistics.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ServerProject.h"
#include "server/store/StoreFilePaths.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;

// The shared fixture with the requests of the instruction steps recorded at the
// server (body and stamp, in arrival order). Unless a test pumps, the document's
// replies are never taken, so a sent instruction stays sent and not done.
class CBrannockDocQueueTest : public ClientLibraryTest {
 protected:
  struct Seen {
    std::string body;
    std::uint32_t stamp = 0;
  };

  void RegisterCounters() override {
    for (MessageId id : {MSGID_REFRESH_PROJECTS, MSGID_ADD_PROJECT, MSGID_LIST_DOCUMENTS, MSGID_ADD_DOCUMENTS,
                         MSGID_RETRIEVE, MSGID_LIST_VERSIONS, MSGID_CREATE_EDITION, MSGID_ADD_ORIGINAL_REFERENCES,
                         MSGID_GET_ORIGINAL_DOCUMENTS, MSGID_ADD_REFERENCES, MSGID_CHECK_IN}) {
      server_.Dispatcher().Register(id, [this, id](RTE& engine, const Msg& request) {
        {
          std::lock_guard lock(seenMutex_);
          seen_[id].push_back({request.GetBody(), request.GetOriginalStamp()});
        }
        return standard_.Dispatch(engine, request);
      });
    }
  }
  std::vector<Seen> SeenOf(MessageId id) {
    std::lock_guard lock(seenMutex_);
    return seen_[id];
  }
  // Waits for the `count`th request of `id`; it, or an empty one when it never came.
  Seen Reached(MessageId id, std::size_t count) {
    EXPECT_TRUE(WaitUntil([&] { return SeenOf(id).size() >= count; })) << id;
    const std::vector<Seen> seen = SeenOf(id);
    return seen.size() >= count ? seen[count - 1] : Seen();
  }

  void Open() {
    doc_ = OpenReady("0");
    ASSERT_NE(doc_, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return doc_->IsReady(); }));
    ASSERT_EQ(Reached(MSGID_REFRESH_PROJECTS, 1).body, "");   // the open's own tree request
    doc_->GetViews().Attach(treeView_);
    doc_->GetViews().Attach(listView_);
  }
  void Passes(int count) {
    for (int i = 0; i < count; ++i) doc_->ProcessNextInstruction();
  }
  // Tells the document that the link lost the `count`th request of `id`.
  void Abandon(MessageId id, std::size_t count) {
    Msg lost;
    lost.SetOriginalStamp(Reached(id, count).stamp);
    doc_->NoteAbandonedRequests({lost});
  }
  static Instruction Make(std::int32_t kind, std::int32_t prerequisite, const std::string& indexName = "",
                          const std::string& name = "", const std::string& folder = "") {
    Instruction instruction;
    instruction.SetKind(kind);
    instruction.SetPrerequisite(prerequisite);
    instruction.SetIndexName(indexName);
    instruction.SetName(name);
    instruction.SetTargetFolder(folder);
    instruction.SetSourceFolder(folder);
    return instruction;
  }
  static InstructionBatch Batch(const std::string& placeholderIndexName, const std::vector<Instruction>& instructions) {
    InstructionBatch batch;
    batch.GetInstruction(0)->SetIndexName(placeholderIndexName);
    for (const Instruction& instruction : instructions) batch.AddInstruction(instruction);
    return batch;
  }
  const Instruction& Head(int index) { return *doc_->GetBatches().front().GetInstruction(index); }
  static bool Failed(const Instruction& i) { return i.IsSent() && i.IsDone() && !i.HasSucceeded(); }
  static bool Succeeded(const Instruction& i) { return i.IsSent() && i.IsDone() && i.HasSucceeded(); }

  // The server side.
  CWexmoorDoc& Store() { return server_.Document(); }
  std::string CreateProject(const std::string& parent, const std::string& name) {
    ServerProject created;
    EXPECT_EQ(Store().CreateProject(parent, name, "", created, false), 0) << name;
    return created.GetInternalName();
  }
  void AddStoreDocument(const std::string& project, const std::string& name, const std::string& content) {
    const std::string received = folder_.Put("received", content);
    FileStatistics added;
    ASSERT_EQ(Store().AddDocument(name, project, "ann", "", received, static_cast<int>(content.size()), added), 0);
  }
  // The internal name of the project `name` directly below `parent` ("" for the top); "" when none.
  std::string StoreChild(const std::string& parent, const std::string& name) {
    std::shared_lock latch(Store().GetProjectTreeLatch());
    const std::function<std::string(PointerArray<ServerProject>&, bool)> find =
        [&](PointerArray<ServerProject>& level, bool below) -> std::string {
      for (int i = 0; i < level.GetSize(); ++i) {
        ServerProject& project = *level.GetAt(i);
        if (below && project.GetName() == name) return project.GetInternalName();
        const std::string found = find(project.GetSubProjects(), project.GetInternalName() == parent);
        if (!found.empty()) return found;
      }
      return "";
    };
    return find(Store().GetProjects(), parent.empty());
  }
  ProjectFileList StoreList(const std::string& project) {
    return ProjectFileList(ProjectFileListPath(Store().GetProjectFolderPath(project) + "/", project));
  }
  // Hands the store's tree to the document as the tree reply would.
  void ShowStoreTree() {
    std::string text;
    {
      std::shared_lock latch(Store().GetProjectTreeLatch());
      text = ServerTreeText().Node("Root", "Root", Store().GetProjects().GetSize()).Text();
      for (int i = 0; i < Store().GetProjects().GetSize(); ++i) text += Store().GetProjects().GetAt(i)->Encode("");
    }
    ASSERT_TRUE(doc_->GetProjectTree().ApplyServerTree(text));
  }
  std::string LocalFolder(const std::string& project) {
    const ProjectNode* node = doc_->GetProjectTree().FindProjectByPath(project);
    return node != nullptr ? node->GetLocalFolder() : std::string();
  }
  static std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::mutex seenMutex_;
  std::map<MessageId, std::vector<Seen>> seen_;
  CBrannockDoc* doc_ = nullptr;
  RecordingView treeView_{UpdateHint::kTreeView};
  RecordingView listView_{UpdateHint::kDocumentListView};
  platform::ScratchFolder local_;
};

using Codes = std::vector<int>;

TEST_F(CBrannockDocQueueTest, BatchesRunOneAfterTheOtherAndAnEmptyQueueClosesTheProgress) {
  ASSERT_NO_FATAL_FAILURE(Open());
  treeView_.codes.clear();
  Passes(2);
  EXPECT_EQ(treeView_.codes, (Codes{-1090, -1090}));

  treeView_.codes.clear();
  ASSERT_TRUE(doc_->QueueBatch(InstructionBatch()));
  ASSERT_TRUE(doc_->QueueBatch(InstructionBatch()));
  EXPECT_EQ(treeView_.codes, (Codes{-1050, -1050}));
  // Each queued batch has its own number, so a new head can be told from the old.
  EXPECT_EQ(doc_->GetBatches().front().GetNumber(), 1u);
  EXPECT_EQ(doc_->GetBatches().back().GetNumber(), 2u);

  treeView_.codes.clear();
  Passes(1);   // the placeholder: nothing sent
  EXPECT_EQ(treeView_.codes, (Codes{-1060}));
  EXPECT_EQ(doc_->GetCurrentInstructionIndex(), 0);
  EXPECT_EQ(doc_->GetBatches().size(), 2u);

  treeView_.codes.clear();
  Passes(1);   // the first batch goes, the second starts in the same pass
  EXPECT_EQ(treeView_.codes, (Codes{5005, -1060}));
  EXPECT_EQ(listView_.codes, (Codes{5016}));
  ASSERT_EQ(doc_->GetBatches().size(), 1u);
  EXPECT_EQ(doc_->GetBatches().front().GetNumber(), 2u);

  treeView_.codes.clear();
  Passes(1);
  EXPECT_EQ(treeView_.codes, (Codes{5005, -1090}));
  EXPECT_TRUE(doc_->GetBatches().empty());
  EXPECT_EQ(SeenOf(MSGID_REFRESH_PROJECTS).size(), 1u);
}

TEST_F(CBrannockDocQueueTest, RetrievalsSkipTheRootAndKeepTheModesOfTheirBatch) {
  ASSERT_NO_FATAL_FAILURE(Open());
  doc_->SetReplaceMode(3);
  doc_->SetWritableOnRetrieval(true);
  ASSERT_TRUE(doc_->QueueBatch(Batch("", {Make(1, 0, "Root"), Make(1, 0, ""), Make(1, 0, "root"),
                                          Make(16, 0, "Root"), Make(16, 0, "root")})));
  // Later choices belong to later requests.
  doc_->SetReplaceMode(0);
  doc_->SetWritableOnRetrieval(false);
  Passes(6);
  for (int i : {1, 2, 4}) EXPECT_TRUE(Succeeded(Head(i))) << i;
  for (int i : {3, 5}) EXPECT_TRUE(Head(i).IsSent() && !Head(i).IsDone()) << i;

  const Seen get = Reached(MSGID_RETRIEVE, 1);
  EXPECT_EQ(get.body, "\"root\",0\n");
  EXPECT_EQ(Reached(MSGID_GET_ORIGINAL_DOCUMENTS, 1).body, "\"root\"\n");
  EXPECT_EQ(SeenOf(MSGID_RETRIEVE).size() + SeenOf(MSGID_GET_ORIGINAL_DOCUMENTS).size(), 2u);
  const CBrannockDoc::RequestMemory* memory = doc_->FindRequestMemory(get.stamp);
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(memory->replaceMode, 3);
  EXPECT_TRUE(memory->writable);
  EXPECT_EQ(doc_->GetBatches().front().FindInstructionByMessage(get.stamp), 3);
}

TEST_F(CBrannockDocQueueTest, PrerequisitesGateTheStepsAndLostRequestsFailAtTheNextPass) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_TRUE(doc_->QueueBatch(Batch("", {Make(17, 0), Make(17, 0),
                                          Make(11, -1, "P"),   // no earlier instruction
                                          Make(11, 5, "P"),    // a later one
                                          Make(11, 4, "P"),    // waits on a failed one
                                          Make(11, 1, "P")})));
  ASSERT_TRUE(doc_->QueueBatch(Batch("", {Make(17, 0)})));
  Passes(3);   // both first-level requests go without waiting for a reply
  EXPECT_TRUE(Head(1).IsSent() && Head(2).IsSent());
  Passes(3);
  for (int i : {3, 4, 5}) EXPECT_TRUE(Failed(Head(i))) << i;
  EXPECT_FALSE(doc_->GetLastOutcome());
  Passes(2);   // instruction 6 waits for instruction 1's reply
  EXPECT_EQ(doc_->GetBatches().front().GetNextIndex(), 6);
  EXPECT_FALSE(Head(6).IsSent());

  treeView_.codes.clear();
  Abandon(MSGID_REFRESH_PROJECTS, 2);
  Passes(1);   // 1 fails, and with it 6 in the same pass
  EXPECT_TRUE(Failed(Head(1)));
  EXPECT_TRUE(Failed(Head(6)));
  EXPECT_EQ(treeView_.codes, (Codes{-1060, -1070, -1060, -1070, -1060}));
  Passes(2);
  EXPECT_EQ(doc_->GetBatches().size(), 2u);   // 2 is still out

  Abandon(MSGID_REFRESH_PROJECTS, 3);
  Passes(2);   // the batch ends; the next one sends its request
  EXPECT_EQ(doc_->GetBatches().size(), 1u);
  Reached(MSGID_REFRESH_PROJECTS, 4);
  EXPECT_TRUE(SeenOf(MSGID_LIST_DOCUMENTS).empty());
}

TEST_F(CBrannockDocQueueTest, InstructionsThatCannotSendFailAndTheQueueMovesOn) {
  const std::string project = CreateProject("", "P");
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(ShowStoreTree());
  const std::string source = local_.Path();
  local_.Put("a.txt", "a");
  {
    std::ofstream big(local_ / "big.bin", std::ios::binary);
  }
  std::filesystem::resize_file(local_ / "big.bin", std::uintmax_t{1} << 31);   // sparse

  // An unknown project, and kinds that send nothing.
  ASSERT_TRUE(doc_->QueueBatch(Batch("nope", {Make(3, 0, "", "", source), Make(3, 1, "", "", source), Make(4, 0),
                                              Make(5, 0), Make(6, 0), Make(7, 0), Make(9, 0), Make(14, 0),
                                              Make(99, 0)})));
  // A file too large for the request.
  InstructionBatch tooLarge = Batch(project, {Make(3, 0, "", "", source)});
  tooLarge.GetRuleSet().AddInclusion(FolderRule::kAllDocuments, "");
  ASSERT_TRUE(doc_->QueueBatch(tooLarge));
  ASSERT_TRUE(doc_->QueueBatch(Batch("", {Make(17, 0)})));

  Passes(10);
  for (int i = 1; i <= 9; ++i) EXPECT_TRUE(Failed(Head(i))) << i;
  Passes(2);
  EXPECT_EQ(doc_->GetBatches().size(), 2u);
  EXPECT_TRUE(Failed(Head(1)));
  Passes(2);
  ASSERT_EQ(doc_->GetBatches().size(), 1u);
  EXPECT_TRUE(Head(1).IsSent());
  Reached(MSGID_REFRESH_PROJECTS, 2);
  EXPECT_TRUE(SeenOf(MSGID_ADD_DOCUMENTS).empty());
}

TEST_F(CBrannockDocQueueTest, StepsBuildTheirRequestsFromTheirInstructions) {
  const std::string project = CreateProject("", "P");
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(ShowStoreTree());
  ProjectNode* node = doc_->GetProjectTree().FindProjectByPath(project);
  ASSERT_NE(node, nullptr);
  node->MakeCacheFileName();
  ProjectDocumentList known;
  known.SetProjectIndexName(project);
  for (const char* name : {"A.TXT", "b.txt"}) {
    DocumentVersionEntry entry;
    entry.SetName(name);
    entry.SetVersion(3);
    known.Add(entry);
  }
  ASSERT_TRUE(known.WriteFile(DocumentListCache::ListFilePath(doc_->GetLibraryFolder(), node->GetCacheFilePath())));
  local_.Put("a.txt", "a");
  local_.Put("B.txt", "b");
  InstructionBatch documents = Batch(project, {Make(3, 0, "", "", local_.Path())});
  documents.GetRuleSet().AddInclusion(FolderRule::kAllDocuments, "");

  // The reference sources: a version list with version 1 of 2 selected, and a document list.
  VersionedDocumentList versions;
  versions.SetProjectIndexName("P1");
  VersionedDocument document;
  for (int version : {2, 1}) {
    DocumentVersionEntry entry;
    entry.SetName("d.txt");
    entry.SetVersion(version);
    document.AddVersion(entry);
  }
  document.SetSelectedIndex(1);
  versions.Add(document);
  ASSERT_TRUE(versions.WriteFile(folder_ / "versions"));
  known.SetProjectIndexName("P2");
  ASSERT_TRUE(known.WriteFile(folder_ / "list"));

  const std::string versionFiles = folder_ / "versions;" + folder_ / "missing";
  InstructionBatch publication = Batch("Root", {Make(8, 0, "", "Ed \"1\""), Make(12, 0, "", "", versionFiles),
                                                Make(13, 0, "", "", folder_ / "list"), Make(12, 0), Make(13, 0)});
  publication.SetComments("c, m");
  ASSERT_TRUE(doc_->QueueBatch(documents));
  ASSERT_TRUE(doc_->QueueBatch(publication));

  Passes(2);   // every local file is in the project already (ignoring case)
  EXPECT_TRUE(Succeeded(Head(1)));
  Passes(1 + 6);
  EXPECT_EQ(Head(0).GetIndexName(), "");   // the root is sent as an empty name
  EXPECT_EQ(Reached(MSGID_CREATE_EDITION, 1).body, "\"\",\"Ed \"\"1\"\"\",\"c, m\"\n");
  EXPECT_EQ(Reached(MSGID_ADD_ORIGINAL_REFERENCES, 1).body, "\"\",1\n\"d.txt\",1,\"P1\",\"c, m\"\n");
  EXPECT_EQ(Reached(MSGID_ADD_REFERENCES, 1).body,
            "\"\",2\n\"A.TXT\",3,\"P2\",\"c, m\",1\n\"b.txt\",3,\"P2\",\"c, m\",1\n");
  for (int i : {4, 5}) EXPECT_TRUE(Succeeded(Head(i))) << i;   // no source: nothing to send
  EXPECT_EQ(SeenOf(MSGID_ADD_ORIGINAL_REFERENCES).size() + SeenOf(MSGID_ADD_REFERENCES).size(), 2u);
  EXPECT_TRUE(SeenOf(MSGID_ADD_DOCUMENTS).empty());
}

TEST_F(CBrannockDocQueueTest, ListRequestsCoverEveryProjectBelowDepthFirst) {
  const std::string top = CreateProject("", "Top");
  const std::string child = CreateProject(top, "Child");
  const std::string other = CreateProject("", "Other");
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(ShowStoreTree());
  InstructionBatch batch;
  doc_->QueueProjectListRequests(doc_->GetProjectTree().GetRoot(), batch);
  ASSERT_EQ(batch.GetCount(), 7);
  std::vector<std::string> order;
  for (int i = 1; i < 7; ++i) {
    const Instruction& list = *batch.GetInstruction(i);
    EXPECT_EQ(list.GetKind(), i % 2 == 1 ? 11 : 10) << i;
    EXPECT_EQ(list.GetIndexName(), batch.GetInstruction(i % 2 == 1 ? i : i - 1)->GetIndexName()) << i;
    EXPECT_EQ(list.GetPrerequisite(), 0);
    EXPECT_EQ(list.GetSourceFolder(), LocalFolder(list.GetIndexName()));
    EXPECT_FALSE(list.IsSent() || list.IsDone());
    if (i % 2 == 1) order.push_back(list.GetIndexName());
  }
  const auto at = std::find(order.begin(), order.end(), top);
  ASSERT_NE(at, order.end());
  ASSERT_NE(at + 1, order.end());
  EXPECT_EQ(*(at + 1), child);   // a project's children follow it
  EXPECT_NE(std::find(order.begin(), order.end(), other), order.end());
}

TEST_F(CBrannockDocQueueTest, ARootMappedFolderHasNoMemberDocumentsWhateverListIsCurrent) {
  const std::string project = CreateProject("", "P");
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(ShowStoreTree());
  // P's list, holding "x.txt", is the current one.
  ProjectNode* node = doc_->GetProjectTree().FindProjectByPath(project);
  ASSERT_NE(node, nullptr);
  node->MakeCacheFileName();
  ProjectDocumentList list;
  list.SetProjectIndexName(project);
  DocumentVersionEntry entry;
  entry.SetName("x.txt");
  list.Add(entry);
  ASSERT_TRUE(list.WriteFile(DocumentListCache::ListFilePath(doc_->GetLibraryFolder(), node->GetCacheFilePath())));
  ASSERT_TRUE(doc_->GetListCache().LoadProjectDocuments(*node, doc_->GetLibraryFolder()));

  const std::string root = doc_->GetProjectTree().GetRoot().GetLocalFolder();
  ASSERT_TRUE(CreateFolderPath(node->GetLocalFolder()));
  std::ofstream(root + "/x.txt", std::ios::binary) << "x";
  FolderRuleSet rules;
  rules.AddInclusion(FolderRule::kAllDocuments, "");
  rules.AddInclusion(FolderRule::kAllFolders, "");
  std::vector<LocalFileEntry> entries;
  doc_->ScanLocalFolder(entries, root, rules);
  std::map<std::string, bool> members;
  for (const LocalFileEntry& scanned : entries) members[scanned.GetFileName()] = scanned.IsProjectMember();
  EXPECT_EQ(members.count("x.txt"), 1u);
  EXPECT_FALSE(members["x.txt"]);
  const std::string folderName = std::filesystem::path(node->GetLocalFolder()).filename().string();
  EXPECT_TRUE(members[folderName]) << folderName;   // the folder P is mapped to
}

// End to end: the replies are pumped and marked by the document's handlers.

TEST_F(CBrannockDocQueueTest, GettingAProjectWithItsSubProjectsFillsTheirFolders) {
  const std::string top = CreateProject("", "Top");
  const std::map<std::string, std::string> projects = {{top, "top text"},
                                                       {CreateProject(top, "One"), "one text"},
                                                       {CreateProject(top, "Two"), "two text"}};
  for (const auto& [project, text] : projects) ASSERT_NO_FATAL_FAILURE(AddStoreDocument(project, "doc.txt", text));
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(ShowStoreTree());
  std::vector<Instruction> gets;
  for (const auto& [project, text] : projects) gets.push_back(Make(1, 0, project, "", LocalFolder(project)));
  ASSERT_TRUE(doc_->QueueBatch(Batch("", gets), {0, false}));

  EXPECT_TRUE(PassUntil([&] { return doc_->GetBatches().empty(); }, seconds(20)));
  for (const auto& [project, text] : projects) {
    const std::string path = LocalFolder(project) + "/doc.txt";
    EXPECT_EQ(Content(path), text) << path;
    EXPECT_TRUE(platform::fs::IsReadOnly(path)) << path;
  }
  EXPECT_TRUE(doc_->GetLastOutcome());
}

// Cancel between files: the retrieval sent finishes whole, the steps not sent (and
// the batches behind) are given up and never reach the server; no file is left over.
TEST_F(CBrannockDocQueueTest, CancelKeepsWhatIsDoneSendsNothingMoreAndLeavesNoPartialFile) {
  std::vector<std::string> projects;
  for (const char* name : {"First", "Second", "Third"}) {
    projects.push_back(CreateProject("", name));
    ASSERT_NO_FATAL_FAILURE(AddStoreDocument(projects.back(), "doc.txt", std::string(100000, name[0])));
  }
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(ShowStoreTree());
  std::vector<Instruction> gets;
  for (const std::string& project : projects) gets.push_back(Make(1, 0, project, "", LocalFolder(project)));
  ASSERT_TRUE(doc_->QueueBatch(Batch("", gets), {0, false}));
  ASSERT_TRUE(doc_->QueueBatch(Batch("", {gets.back()}), {0, false}));
  Passes(2);   // the placeholder, then the first retrieval goes out
  ASSERT_TRUE(Head(1).IsSent());
  EXPECT_EQ(QueueCancel::Count(doc_->GetBatches()).cancelled, 3);

  const QueueCancel cancel = doc_->CancelQueuedWork();
  EXPECT_EQ(cancel.done, 0);
  EXPECT_EQ(cancel.awaited, 1);
  EXPECT_EQ(cancel.cancelled, 3);
  EXPECT_TRUE(PassUntil([&] { return doc_->GetBatches().empty(); }, seconds(20)));
  EXPECT_EQ(Content(LocalFolder(projects[0]) + "/doc.txt"), std::string(100000, 'F'));
  for (std::size_t i = 1; i < projects.size(); ++i) {
    EXPECT_FALSE(platform::fs::Exists(LocalFolder(projects[i]) + "/doc.txt")) << i;
  }
  EXPECT_EQ(SeenOf(MSGID_RETRIEVE).size(), 1u);
  std::vector<platform::fs::FolderEntry> left;
  ASSERT_TRUE(platform::fs::ListFolder(work_ + "/TemporaryFiles", left));
  EXPECT_TRUE(left.empty());
}

// An operation on chosen documents of project P with one step more than two full ones:
// its documents d0, d1, ... stored with their names as contents, the local folder made.
class CBrannockDocStepsTest : public CBrannockDocQueueTest {
 protected:
  static constexpr int kDocuments = 2 * DocumentSteps::kFilesPerStep + 1;
  static constexpr int kStep = DocumentSteps::kFilesPerStep;

  void SetUp() override {
    CBrannockDocQueueTest::SetUp();
    project_ = CreateProject("", "P");
    for (int i = 0; i < kDocuments; ++i) ASSERT_NO_FATAL_FAILURE(AddStoreDocument(project_, Name(i), Name(i)));
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_NO_FATAL_FAILURE(ShowStoreTree());
    documents_ = LocalFolder(project_);
    ASSERT_TRUE(CreateFolderPath(documents_));
    app_->SetStatusNoticeHook([this](const std::string& text) { notices_.push_back(text); });
  }
  static std::string Name(int i) { return "d" + std::to_string(i); }
  ProjectDocumentList All(const std::string& comment) const {
    ProjectDocumentList list;
    list.SetProjectIndexName(project_);
    for (int i = 0; i < kDocuments; ++i) {
      DocumentVersionEntry entry = *OneDocument(project_, Name(i), "", 1).GetAt(0);
      entry.SetComment(comment);
      list.Add(entry);
    }
    return list;
  }
  std::string Local(int i) const { return documents_ + "/" + Name(i); }
  // Passes until the queued operation's first step is out, checks that the next one
  // waits for it, cancels and runs the queue empty; what the cancel did.
  QueueCancel CancelAfterFirstStep() {
    EXPECT_TRUE(PassUntil([&] { return Head(1).IsSent(); }));
    Passes(3);   // no reply taken: the next step waits for the one out
    EXPECT_FALSE(Head(2).IsSent());
    const QueueCancel cancel = doc_->CancelQueuedWork();
    EXPECT_TRUE(PassUntil([&] { return doc_->GetBatches().empty(); }, seconds(20)));
    return cancel;
  }

  std::string project_;
  std::string documents_;
  std::vector<std::string> notices_;
};

// Cancelled while its first step is out, a retrieval places exactly that step's
// files, whole; the other steps never reach the server and leave nothing behind.
TEST_F(CBrannockDocStepsTest, ARetrievalCancelledAfterItsFirstStepKeepsExactlyThatStepsFiles) {
  ASSERT_TRUE(doc_->SendGetDocuments(All(""), 0));
  ASSERT_EQ(doc_->GetBatches().front().GetCount(), 4);   // the placeholder and three steps
  const QueueCancel cancel = CancelAfterFirstStep();
  EXPECT_EQ((std::vector<int>{cancel.awaitedDocuments, cancel.cancelled}), (std::vector<int>{kStep, 2}));
  for (int i = 0; i < kDocuments; ++i) {
    EXPECT_EQ(platform::fs::Exists(Local(i)) ? Content(Local(i)) : "-", i < kStep ? Name(i) : "-") << i;
  }
  EXPECT_EQ(SeenOf(MSGID_RETRIEVE).size(), 1u);
  std::vector<platform::fs::FolderEntry> left;
  ASSERT_TRUE(platform::fs::ListFolder(work_ + "/TemporaryFiles", left));
  EXPECT_TRUE(left.empty());
  EXPECT_EQ(notices_, std::vector<std::string>{"Retrieved 100 files into " + documents_ + ", 101 cancelled"});
  EXPECT_EQ(Shown(), std::vector<std::string>{});   // told as the retrieval sent whole is
}

// Cancelled the same way, an add of chosen files, or of a folder through the Add
// dialog's batch, stores exactly its first step's.
TEST_F(CBrannockDocStepsTest, AnAddCancelledAfterItsFirstStepStoresExactlyThatStepsDocuments) {
  for (const bool wholeFolder : {false, true}) {
    SCOPED_TRACE(wholeFolder ? "a folder" : "chosen files");
    const std::string prefix = wholeFolder ? "folder" : "chosen";
    platform::ScratchFolder source;
    std::vector<std::string> names;
    for (int i = 0; i < kDocuments; ++i) {
      names.push_back(prefix + std::to_string(1000 + i));   // listed in the order written
      std::ofstream(source.Path() + "/" + names.back(), std::ios::binary) << "x";
    }
    if (wholeFolder) {
      InstructionBatch batch = Batch(project_, {Make(3, 0, "", "", source.Path())});
      batch.GetRuleSet().AddInclusion(FolderRule::kAllDocuments, "");
      ASSERT_TRUE(doc_->QueueBatch(std::move(batch)));
    } else {
      ASSERT_TRUE(doc_->SendAddDocuments(project_, source.Path(), names, "added"));
    }
    CancelAfterFirstStep();
    const ProjectFileList stored = StoreList(project_);
    for (int i = 0; i < kDocuments; ++i) EXPECT_EQ(stored.Contains(names[i]), i < kStep) << i;
    EXPECT_EQ(notices_.back(), "Add to Library: 100 documents added, 0 refused, 0 folders failed, 101 cancelled");
  }
}

// The steps of one retrieval share the user's one answer on the working copies the
// user holds: asked at the first such copy, kept for the later steps' copies too.
TEST_F(CBrannockDocStepsTest, ARetrievalInStepsAsksOnceAboutTheWorkingCopiesTheUserHolds) {
  const std::vector<int> held = {0, kStep + 50};   // in the first and the second step
  ProjectDocumentList list = All("");
  for (int i : held) list.GetAt(i)->SetCheckedOutTo(doc_->GetUserText());
  ProjectNode& node = *doc_->GetProjectTree().FindProjectByPath(project_);
  node.MakeCacheFileName();
  ASSERT_TRUE(list.WriteFile(DocumentListCache::ListFilePath(doc_->GetLibraryFolder(), node.GetCacheFilePath())));
  for (int i : held) std::ofstream(Local(i), std::ios::binary) << "edited";
  questionAnswer_ = platform::NotifyAnswer::No;

  ASSERT_TRUE(doc_->SendGetDocuments(All(""), 0));
  EXPECT_TRUE(PassUntil([&] { return doc_->GetBatches().empty(); }, seconds(20)));
  EXPECT_EQ(Shown().size(), 1u);
  for (int i = 0; i < kDocuments; ++i) {
    EXPECT_EQ(Content(Local(i)), std::count(held.begin(), held.end(), i) ? "edited" : Name(i)) << i;
  }
}

// A step whose file went missing fails alone and is named in the one notice of the
// check-in; the step after it still goes.
TEST_F(CBrannockDocStepsTest, ACheckInStepThatCannotGoFailsAloneAndIsNamedInTheOneNotice) {
  for (int i = 0; i < kDocuments; ++i) {
    ASSERT_EQ(Store().CheckOutDocuments(project_, Name(i), -1, "ann", false, false).code, 0) << i;
    std::ofstream(Local(i), std::ios::binary) << "changed " << i;
  }
  ASSERT_TRUE(doc_->SendCheckInDocuments(All("edited"), 1));
  ASSERT_TRUE(platform::fs::DeleteFile(Local(kStep + 5)));   // in the second step

  EXPECT_TRUE(PassUntil([&] { return doc_->GetBatches().empty(); }, seconds(20)));
  EXPECT_EQ(SeenOf(MSGID_CHECK_IN).size(), 2u);
  for (int i : {0, kStep - 1, kStep, 2 * kStep - 1, 2 * kStep}) {
    EXPECT_EQ(platform::fs::IsReadOnly(Local(i)), i < kStep || i == 2 * kStep) << i;
  }
  EXPECT_EQ(notices_, std::vector<std::string>{"Checked in 101 documents, 100 not done (d100, d101, d102 and 97 more)"});
}

TEST_F(CBrannockDocQueueTest, AddingAFolderTreeWithRulesReachesTheStore) {
  const std::string project = CreateProject("", "P");
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(ShowStoreTree());
  const std::string source = local_ / "Src";
  ASSERT_TRUE(CreateFolderPath(source + "/sub"));
  std::ofstream(source + "/a.txt", std::ios::binary) << "alpha";
  std::ofstream(source + "/skip.log", std::ios::binary) << "log";
  std::ofstream(source + "/sub/c.txt", std::ios::binary) << "gamma";

  // As the local file list lays it out: each folder's project, its documents, then its sub-folders.
  const std::string target = LocalFolder(project) + "/Src";
  InstructionBatch batch = Batch(project, {Make(2, 0, "", "Src", source), Make(3, 1, "", "Src", source),
                                           Make(2, 1, "", "sub", source + "/sub"),
                                           Make(3, 3, "", "sub", source + "/sub")});
  batch.GetInstruction(1)->SetTargetFolder(target);
  batch.GetInstruction(3)->SetTargetFolder(target + "/sub");
  batch.GetRuleSet().AddInclusion(FolderRule::kAllDocuments, "");
  batch.GetRuleSet().AddExclusion(FolderRule::kNoDocumentsNamed, "*.log");
  batch.SetComments("first");
  std::vector<std::string> notices;
  app_->SetStatusNoticeHook([&notices](const std::string& text) { notices.push_back(text); });
  ASSERT_TRUE(doc_->QueueBatch(batch));

  EXPECT_TRUE(PassUntil([&] { return doc_->GetBatches().empty(); }, seconds(20)));
  // The add ends with one summary, the excluded file counted nowhere.
  EXPECT_EQ(notices, std::vector<std::string>{"Add to Library: 2 documents added, 0 refused, 0 folders failed"});
  app_->SetStatusNoticeHook(nullptr);
  const std::string added = StoreChild(project, "Src");
  ASSERT_FALSE(added.empty());
  const std::string sub = StoreChild(added, "sub");
  ASSERT_FALSE(sub.empty());
  EXPECT_EQ(StoreList(added).GetCount(), 1);
  EXPECT_TRUE(StoreList(added).Contains("a.txt"));
  EXPECT_EQ(StoreList(sub).GetCount(), 1);
  EXPECT_TRUE(StoreList(sub).Contains("c.txt"));
  // The server's view of the first request: the folder taken off, each row naming where its file landed.
  const std::string expected = "\"" + added + "\",1\n\"a.txt\",5,\"first\",";
  EXPECT_EQ(Reached(MSGID_ADD_DOCUMENTS, 1).body.substr(0, expected.size()), expected);
}

TEST_F(CBrannockDocQueueTest, ABatchOwnsItsFilesUntilItLeavesTheQueueOrTheDocumentGoes) {
  ASSERT_NO_FATAL_FAILURE(Open());
  const std::string done = local_.Put("done", "x");
  const std::string waiting = local_.Put("waiting", "y");
  InstructionBatch first;
  first.AddOwnedFile(done);
  InstructionBatch second = Batch("", {Make(17, 0)});
  second.AddOwnedFile(waiting);
  ASSERT_TRUE(doc_->QueueBatch(first));
  ASSERT_TRUE(doc_->QueueBatch(second));
  Passes(2);
  EXPECT_FALSE(platform::fs::Exists(done));
  EXPECT_TRUE(platform::fs::Exists(waiting));   // its request is still out
  app_->GetOpenLibraries().RequestClose(*doc_);
  EXPECT_FALSE(platform::fs::Exists(waiting));
}

TEST_F(CBrannockDocQueueTest, AReferenceStepWhoseListCannotBeReadFailsAndSendsNothing) {
  const std::string project = CreateProject("", "P");
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_TRUE(doc_->QueueBatch(Batch(project, {Make(13, 0, "", "", local_.Path() + "/missing")})));
  Passes(2);
  EXPECT_TRUE(Failed(Head(1)));
  EXPECT_FALSE(doc_->GetLastOutcome());
  EXPECT_TRUE(SeenOf(MSGID_ADD_REFERENCES).empty());
}

}  // namespace
