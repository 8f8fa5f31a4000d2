// The file, deletion and renaming replies of an open library: replies injected as
// the connection hands them over, then the whole round through a running server.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "client/document/FilePlacement.h"
#include "client/document/HeldWorkingCopies.h"
#include "client/document/ReadOnlyMarking.h"
#include "client/library/ServerTreeText.h"
#include "client/link/FileReplyBody.h"
#include "common/FileHelpers.h"
#include "common/MessageIds.h"
#include "platform/fs.h"
#include "server/store/FileStatistics.h"
#include "server/store/ServerProject.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;
namespace fs = platform::fs;
using platform::ScratchFolder;

// A row of a 5022 / 5024: sent rows carry their file's content.
struct FileRow {
  std::string name;
  bool sent = true;
  std::string content;
};

class FileRepliesTest : public ClientLibraryTest {
 protected:
  void RegisterCounters() override {
    Count(MSGID_REFRESH_PROJECTS, treeRequests_);
    Count(MSGID_LIST_DOCUMENTS, listRequests_);
  }
  void SetUp() override {
    ClientLibraryTest::SetUp();
    doc_ = OpenReady("0");
    ASSERT_NE(doc_, nullptr);
    doc_->SetInformationHook([this](const std::string& text) { boxes_.push_back(text); });
    platform::CriticalSection::Lock lock(app_->GetProfileLock());
    app_->GetCurrentUser()->SetBackupRoot(backupRoot_);
  }

  // Puts project "Alpha" (PAlpha) under the root without asking the server.
  void AddLocalProject() {
    ASSERT_TRUE(doc_->GetProjectTree().ApplyServerTree(
        ServerTreeText().Node(library_, "Root", 1).Node("Alpha", "PAlpha", 0).Text()));
    alpha_ = doc_->GetProjectTree().FindProjectByPath("PAlpha")->GetLocalFolder();
    ASSERT_FALSE(alpha_.empty());
  }
  std::string RootFolder() { return doc_->GetProjectTree().GetRoot().GetLocalFolder(); }
  // Backups go under the project's path as the tree shows it, the library first.
  std::string BackupFolder(const std::string& shownName) { return backupRoot_ + "/" + library_ + "/" + shownName; }

  static Msg Reply(MessageId id, std::uint32_t stamp, const std::string& body) {
    Msg reply;
    reply.SetMessageId(id);
    reply.SetOriginalStamp(stamp);
    reply.SetBody(body);
    return reply;
  }
  // A 5022 / 5024 body as the connection rewrites it, its files received.
  std::string FilesBody(const std::string& project, const std::vector<FileRow>& rows) {
    FileReplyBody body;
    body.project = project;
    for (const FileRow& row : rows) {
      FileReplyRow line;
      line.name = row.name;
      line.version = 1;
      line.flagged = row.sent;
      if (row.sent) {
        line.temporaryPath = app_->MakeTemporaryFileName();
        std::ofstream(line.temporaryPath, std::ios::binary) << row.content;
        line.size = static_cast<std::int32_t>(row.content.size());
      }
      body.rows.push_back(line);
    }
    return body.Rewrite();
  }
  std::size_t TemporaryCount() {
    std::vector<fs::FolderEntry> entries;
    EXPECT_TRUE(fs::ListFolder(work_ + "/TemporaryFiles", entries));
    return entries.size();
  }
  std::string Local(const std::string& name) { return alpha_ + "/" + name; }
  void PutLocal(const std::string& name, const std::string& content) {
    ASSERT_TRUE(CreateFolderPath(alpha_));
    fs::SetReadOnly(Local(name), false);
    std::ofstream(Local(name), std::ios::binary | std::ios::trunc) << content;
  }

  // Queues one batch of `count` retrievals of PAlpha and sends them all; the
  // stamps their requests went out with, in instruction order.
  std::vector<std::uint32_t> SendRetrievals(int count) {
    InstructionBatch batch;
    Instruction get;
    get.SetKind(1);
    get.SetPrerequisite(0);
    get.SetIndexName("PAlpha");
    for (int i = 0; i < count; ++i) batch.AddInstruction(get);
    doc_->QueueBatch(batch);
    for (int pass = 0; pass <= count; ++pass) doc_->ProcessNextInstruction();
    std::vector<std::uint32_t> stamps(static_cast<std::size_t>(count), 0);
    if (doc_->GetBatches().empty()) return stamps;
    for (std::uint32_t stamp = 1; stamp < 10000; ++stamp) {
      const int index = doc_->GetBatches().front().FindInstructionByMessage(stamp);
      if (index >= 1 && index <= count) stamps[static_cast<std::size_t>(index - 1)] = stamp;
    }
    return stamps;
  }
  // Done, and how it ended, for instruction `index` of the head batch.
  testing::AssertionResult Finished(int index, bool succeeded) {
    if (doc_->GetBatches().empty()) return testing::AssertionFailure() << "no batch";
    const Instruction* instruction = doc_->GetBatches().front().GetInstruction(index);
    if (instruction == nullptr || !instruction->IsDone() || instruction->HasSucceeded() != succeeded) {
      return testing::AssertionFailure() << "instruction " << index << " not done with " << succeeded;
    }
    return testing::AssertionSuccess();
  }

  const std::string backupRoot_ = work_ + "/Backups";
  CBrannockDoc* doc_ = nullptr;
  std::vector<std::string> boxes_;
  std::string alpha_;
  std::atomic<int> treeRequests_{0};
  std::atomic<int> listRequests_{0};
};

std::string Entry(const std::string& text, const std::string& name, const std::string& project = "Alpha") {
  return text + " : " + project + "\r\n    " + name + "\r\n\r\n";
}

// ---- 5022 / 5024 ------------------------------------------------------------------

TEST_F(FileRepliesTest, UnknownProjectOrUnmakeableFolderFailsTheInstructionAndDeletesEveryFile) {
  AddLocalProject();
  const std::vector<std::uint32_t> stamps = SendRetrievals(2);
  ASSERT_NE(stamps[1], 0u);
  doc_->OnDocumentFilesReply(Reply(MSGID_RETRIEVED_DOCUMENTS, stamps[0], FilesBody("PNone", {{"a.txt", true, "a"}, {"b.txt", true, "b"}})),
                             true, false);
  EXPECT_EQ(TemporaryCount(), 0u);
  EXPECT_TRUE(Finished(1, false));
  EXPECT_TRUE(boxes_.empty());

  // A file where the project's folder belongs.
  ASSERT_TRUE(CreateFolderPath(RootFolder()));
  std::ofstream(alpha_) << "in the way";
  doc_->OnDocumentFilesReply(Reply(MSGID_RETRIEVED_DOCUMENTS, stamps[1], FilesBody("PAlpha", {{"a.txt", true, "a"}, {"b.txt", true, "b"}})),
                             true, false);
  EXPECT_EQ(TemporaryCount(), 0u);
  EXPECT_TRUE(Finished(2, false));
  EXPECT_FALSE(doc_->GetLastOutcome());
  EXPECT_EQ(boxes_, std::vector<std::string>{Entry(FilePlacement::kFolderNotMade, alpha_)});
  EXPECT_EQ(ScratchFolder::Read(alpha_), "in the way");
}

TEST_F(FileRepliesTest, CheckOutReportsRowsHeldElsewhereAndKeepsSuccessRetrieveSkipsThemSilently) {
  AddLocalProject();
  const std::vector<std::uint32_t> stamps = SendRetrievals(1);
  const std::vector<FileRow> rows = {{"a.txt", true, "A"}, {"b.txt", false, ""}};
  doc_->OnDocumentFilesReply(Reply(MSGID_CHECKED_OUT_DOCUMENTS, stamps[0], FilesBody("PAlpha", rows)), false, true);
  EXPECT_EQ(boxes_, std::vector<std::string>{Entry(FilePlacement::kCheckedOutElsewhere, "b.txt") +
                                             Entry(FilePlacement::kPlacedInOwnFolder, alpha_)});
  EXPECT_TRUE(Finished(1, true));
  EXPECT_EQ(ScratchFolder::Read(Local("a.txt")), "A");
  EXPECT_FALSE(fs::IsReadOnly(Local("a.txt")));

  doc_->OnDocumentFilesReply(Reply(MSGID_RETRIEVED_DOCUMENTS, 90001, FilesBody("PAlpha", rows)), true, false);
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(fs::IsReadOnly(Local("a.txt")));
  EXPECT_FALSE(fs::Exists(Local("b.txt")));
  EXPECT_EQ(TemporaryCount(), 0u);
}

TEST_F(FileRepliesTest, SeveralFailuresShowOneBoxInLineOrder) {
  AddLocalProject();
  ASSERT_TRUE(CreateFolderPath(Local("dir")));
  const std::string body = FilesBody("PAlpha", {{"..", true, "x"}, {"good.txt", true, "g"}, {"a/b", true, "x"},
                                                {"dir", true, "x"}});
  doc_->OnDocumentFilesReply(Reply(MSGID_RETRIEVED_DOCUMENTS, 90002, body), true, false);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], Entry(FilePlacement::kNotPlaced, "..") + Entry(FilePlacement::kNotPlaced, "a/b") +
                           Entry(FilePlacement::kNotPlaced, Local("dir")));
  EXPECT_EQ(ScratchFolder::Read(Local("good.txt")), "g");
  EXPECT_FALSE(fs::Exists(RootFolder() + "/a"));
  EXPECT_EQ(TemporaryCount(), 0u);
}

TEST_F(FileRepliesTest, EachReplyUsesTheModeItsOwnRequestWasSentWith) {
  AddLocalProject();
  ASSERT_TRUE(doc_->SendGetDocuments(OneDocument("PAlpha", "a.txt", "", 1), 3));
  std::uint32_t compared = 0;
  for (std::uint32_t stamp = 1; stamp < 10000 && compared == 0; ++stamp) {
    const CBrannockDoc::RequestMemory* memory = doc_->FindRequestMemory(stamp);
    if (memory != nullptr && memory->replaceMode == 3) compared = stamp;
  }
  ASSERT_NE(compared, 0u);
  // A mode-0 batch goes out while the mode-3 retrieve is still unanswered; the
  // document's mode then changes once more.
  doc_->SetReplaceMode(0);
  const std::uint32_t replaced = SendRetrievals(1)[0];
  ASSERT_NE(replaced, 0u);
  doc_->SetReplaceMode(1);

  PutLocal("a.txt", "edited");
  doc_->OnDocumentFilesReply(Reply(MSGID_RETRIEVED_DOCUMENTS, compared, FilesBody("PAlpha", {{"a.txt", true, "S"}})),
                             true, false);
  const std::string backups = BackupFolder("Alpha");
  EXPECT_EQ(ScratchFolder::Read(backups + "/a.txt"), "edited");
  EXPECT_EQ(ScratchFolder::Read(Local("a.txt")), "S");

  PutLocal("a.txt", "edited again");
  doc_->OnDocumentFilesReply(Reply(MSGID_RETRIEVED_DOCUMENTS, replaced, FilesBody("PAlpha", {{"a.txt", true, "S"}})),
                             true, false);
  EXPECT_EQ(ScratchFolder::Read(Local("a.txt")), "S");
  std::vector<fs::FolderEntry> kept;
  ASSERT_TRUE(fs::ListFolder(backups, kept));
  EXPECT_EQ(kept.size(), 1u);
  // Only the batch's own step names the client's folder it filled.
  EXPECT_EQ(boxes_, (std::vector<std::string>{Entry(FilePlacement::kBackedUpIn, backups),
                                              Entry(FilePlacement::kPlacedInOwnFolder, alpha_)}));
}

TEST_F(FileRepliesTest, RetrievalAsksBeforeReplacingAWorkingCopyTheUserHoldsAndNoKeepsIt) {
  AddLocalProject();
  // ann holds a.txt and b.txt; b.txt has no local file, c.txt is free.
  ProjectDocumentList list;
  list.SetProjectIndexName("PAlpha");
  for (const auto& [name, holder] : {std::pair{"a.txt", "ann"}, {"b.txt", "ann"}, {"c.txt", ""}}) {
    DocumentVersionEntry entry;
    entry.SetName(name);
    entry.SetCheckedOutTo(holder);
    list.Add(entry);
  }
  ProjectNode& node = *doc_->GetProjectTree().FindProjectByPath("PAlpha");
  node.MakeCacheFileName();
  ASSERT_TRUE(list.WriteFile(DocumentListCache::ListFilePath(doc_->GetLibraryFolder(), node.GetCacheFilePath())));
  struct Case {
    platform::NotifyAnswer answer;
    std::string left;
  };
  for (const Case& c : {Case{platform::NotifyAnswer::No, "edited"}, Case{platform::NotifyAnswer::Yes, "A"}}) {
    questionAnswer_ = c.answer;
    shown_.clear();
    PutLocal("a.txt", "edited");
    PutLocal("c.txt", "old");
    fs::SetReadOnly(Local("b.txt"), false);
    fs::DeleteFile(Local("b.txt"));
    doc_->OnDocumentFilesReply(Reply(MSGID_RETRIEVED_DOCUMENTS, 90004,
                                     FilesBody("PAlpha", {{"a.txt", true, "A"}, {"b.txt", true, "B"}, {"c.txt", true, "C"}})),
                               true, false);
    EXPECT_EQ(Shown(), std::vector<std::string>{HeldWorkingCopies::QuestionText("Alpha", {"a.txt"})});
    EXPECT_EQ(ScratchFolder::Read(Local("a.txt")), c.left);
    EXPECT_EQ(fs::IsReadOnly(Local("a.txt")), c.answer == platform::NotifyAnswer::Yes);
    EXPECT_EQ(ScratchFolder::Read(Local("b.txt")), "B");
    EXPECT_EQ(ScratchFolder::Read(Local("c.txt")), "C");
    EXPECT_EQ(TemporaryCount(), 0u);
  }
}

// ---- 5027 / 5019 ------------------------------------------------------------------

TEST_F(FileRepliesTest, CheckInAndAddMarkOnlyAcceptedCopiesReadOnly) {
  AddLocalProject();
  struct Case {
    MessageId id;
    std::int32_t checkInMode;
    bool marked;
  };
  for (const Case& c : {Case{MSGID_CHECK_IN_RESULT, 1, true}, Case{MSGID_CHECK_IN_RESULT, 0, false},
                        Case{MSGID_ADD_DOCUMENTS_RESULT, 0, true}}) {
    SCOPED_TRACE(c.id);
    boxes_.clear();
    PutLocal("x.txt", "x");
    PutLocal("y.txt", "y");
    doc_->SetCheckInMode(c.checkInMode);
    const Msg reply = Reply(c.id, 90003, "\"PAlpha\",2\n\"x.txt\",\"WX1\",2,1,1,0\n\"y.txt\",\"WX2\",1,1,0,7\n");
    if (c.id == MSGID_CHECK_IN_RESULT) {
      doc_->OnCheckInReply(reply);
    } else {
      doc_->OnAddDocumentsReply(reply);
    }
    EXPECT_EQ(fs::IsReadOnly(Local("x.txt")), c.marked);
    EXPECT_FALSE(fs::IsReadOnly(Local("y.txt")));
    EXPECT_EQ(boxes_, std::vector<std::string>{Entry(doc_->GetServerErrorText(7), "y.txt")});
  }
}

// ---- deletion and renaming --------------------------------------------------------

TEST_F(FileRepliesTest, ProjectRepliesRefreshTheTreeOrShowTheirTextRefusalsFail) {
  AddLocalProject();
  const std::string report = "Plan.doc is referenced by Other\r\n";
  struct Case {
    MessageId id;
    std::string body;
    std::string shown;   // empty: the tree is asked for again
    bool succeeded;
  };
  const std::vector<Case> cases = {
      {MSGID_PROJECT_RENAMED, "", "", true},
      {MSGID_PROJECT_DELETED, "", "", true},
      {MSGID_RENAME_PROJECT_FAILED, "", CBrannockDoc::kProjectRenameRefused, false},
      {MSGID_DELETE_PROJECT_FAILED, "56\n", doc_->GetServerErrorText(56), false},
      {MSGID_DELETE_PROJECT_FAILED, report, report, false},
  };
  const std::vector<std::uint32_t> stamps = SendRetrievals(static_cast<int>(cases.size()));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    boxes_.clear();
    const int treesBefore = treeRequests_;
    const Msg reply = Reply(cases[i].id, stamps[i], cases[i].body);
    if (cases[i].id == MSGID_PROJECT_RENAMED || cases[i].id == MSGID_RENAME_PROJECT_FAILED) {
      doc_->OnRenameProjectReply(reply);
    } else {
      doc_->OnDeleteProjectReply(reply);
    }
    EXPECT_TRUE(Finished(static_cast<int>(i) + 1, cases[i].succeeded));
    if (cases[i].shown.empty()) {
      EXPECT_TRUE(boxes_.empty());
      EXPECT_TRUE(WaitUntil([&] { return treeRequests_ > treesBefore; }));
    } else {
      EXPECT_EQ(boxes_, std::vector<std::string>{cases[i].shown});
    }
  }
}

TEST_F(FileRepliesTest, DocumentRepliesShowTheServersTextAndRefreshKnownProjects) {
  AddLocalProject();
  const std::string report = std::string(57, '-') + "\r\nPlan.doc is referenced by Other\r\n";
  struct Case {
    MessageId id;
    std::string body;
    std::string shown;
    bool known;
    bool succeeded;
  };
  const std::vector<Case> cases = {
      {MSGID_RENAME_DOCUMENT_FAILED, "\"PAlpha\"\n\"Name \"\"a\"\" taken.\r\nPick another.\"", "Name \"a\" taken.\r\nPick another.",
       true, false},
      {MSGID_DOCUMENT_RENAMED, "\"PAlpha\"\n", "", true, true},
      {MSGID_DELETE_DOCUMENTS_RESULT, "\"PAlpha\"\n" + report, report, true, true},
      {MSGID_DELETE_DOCUMENTS_RESULT, "\"PNone\"\n" + report, "", false, false},
      {MSGID_RENAME_DOCUMENT_FAILED, "", "", false, false},
  };
  const std::vector<std::uint32_t> stamps = SendRetrievals(static_cast<int>(cases.size()));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    boxes_.clear();
    doc_->ForgetListRequest("PAlpha");   // as if the last list had come
    const int listsBefore = listRequests_;
    const Msg reply = Reply(cases[i].id, stamps[i], cases[i].body);
    if (cases[i].id == MSGID_DELETE_DOCUMENTS_RESULT) {
      doc_->OnDeleteDocumentsReply(reply);
    } else {
      doc_->OnRenameDocumentReply(reply);
    }
    EXPECT_TRUE(Finished(static_cast<int>(i) + 1, cases[i].succeeded));
    EXPECT_EQ(boxes_, cases[i].shown.empty() ? std::vector<std::string>{} : std::vector<std::string>{cases[i].shown});
    if (cases[i].known) {
      EXPECT_TRUE(WaitUntil([&] { return listRequests_ > listsBefore; }));
    }
  }
}

// ---- through the server -----------------------------------------------------------

class FileRepliesEndToEndTest : public FileRepliesTest {
 protected:
  // Version 1 of a document in the server's store; its internal file name.
  std::string AddDocument(const std::string& project, const std::string& name, const std::string& content) {
    const std::string received = server_.RootPath() + "/TemporaryFiles/Fixture_" + name;
    std::ofstream(received, std::ios::binary) << content;
    FileStatistics result;
    EXPECT_EQ(server_.Document().AddDocument(name, project, "ann", "", received, static_cast<int>(content.size()),
                                             result),
              0);
    return result.GetInternalFileName();
  }
};

TEST_F(FileRepliesEndToEndTest, RetrieveCheckOutCheckInBackUpAndDeleteAReferencedDocument) {
  ServerProject reports;
  ServerProject others;
  ASSERT_EQ(server_.Document().CreateProject("", "Reports", "", reports, false), 0);
  ASSERT_EQ(server_.Document().CreateProject("", "Others", "", others, false), 0);
  const std::string project = reports.GetInternalName();
  const std::string plan = AddDocument(project, "plan.txt", "v1");
  AddDocument(project, "notes.txt", "n1");
  FileStatistics reference;
  ASSERT_EQ(server_.Document().AddReference("plan.txt", others.GetInternalName(), "", project, 1, reference, false, false), 0);

  doc_->RequestProjectTree(true);
  ASSERT_TRUE(PassUntil([&] { return doc_->GetProjectTree().FindProjectByPath(project) != nullptr; }));
  alpha_ = doc_->GetProjectTree().FindProjectByPath(project)->GetLocalFolder();
  ASSERT_FALSE(alpha_.empty());

  // The whole project, as read-only copies.
  InstructionBatch batch;
  Instruction get;
  get.SetKind(1);
  get.SetPrerequisite(0);
  get.SetIndexName(project);
  batch.AddInstruction(get);
  doc_->QueueBatch(batch);
  ASSERT_TRUE(PassUntil([&] { return doc_->GetBatches().empty() && fs::IsFile(Local("notes.txt")); }));
  EXPECT_EQ(ScratchFolder::Read(Local("plan.txt")), "v1");
  EXPECT_TRUE(fs::IsReadOnly(Local("plan.txt")));
  // The project is mapped to no folder of the user's: the user is told where its files went.
  EXPECT_EQ(boxes_, std::vector<std::string>{Entry(FilePlacement::kPlacedInOwnFolder, alpha_, "Reports")});
  boxes_.clear();

  // Check out (writable), edit, check in (read-only again).
  ASSERT_TRUE(doc_->SendCheckOutDocuments(OneDocument(project, "plan.txt", plan, 1), false, false, 0));
  ASSERT_TRUE(PassUntil([&] { return !fs::IsReadOnly(Local("plan.txt")); }));
  PutLocal("plan.txt", "v2");
  ASSERT_TRUE(doc_->SendCheckInDocuments(OneDocument(project, "plan.txt", plan, 1), 1));
  ASSERT_TRUE(PassUntil([&] { return fs::IsReadOnly(Local("plan.txt")); }));

  // A retrieve in mode 3 over an edited copy keeps the copy in the backup folder.
  PutLocal("plan.txt", "mine");
  ASSERT_TRUE(doc_->SendGetDocuments(OneDocument(project, "plan.txt", plan, 2), 3));
  ASSERT_TRUE(PassUntil([&] { return ScratchFolder::Read(Local("plan.txt")) == "v2"; }));
  EXPECT_EQ(ScratchFolder::Read(BackupFolder("Reports") + "/plan.txt"), "mine");
  EXPECT_EQ(boxes_, std::vector<std::string>{Entry(FilePlacement::kBackedUpIn, BackupFolder("Reports"), "Reports")});
  boxes_.clear();

  // A referenced document stays, and the server's report is shown as a warning in
  // the user's terms: no internal name, no separator line.
  const std::size_t shownBefore = Shown().size();
  ASSERT_TRUE(doc_->SendDeleteDocuments(OneDocument(project, "plan.txt", plan, 2)));
  ASSERT_TRUE(PassUntil([&] { return Shown().size() > shownBefore; }));
  const std::string report = Shown().back();
  EXPECT_EQ(report.rfind("[Reports]:[plan.txt;1] has dependent in project [", 0), 0u) << report;
  EXPECT_NE(report.find("->Others]\n"), std::string::npos) << report;
  EXPECT_EQ(report.find(std::string(57, '-')), std::string::npos) << report;
  EXPECT_EQ(report.find("WXFiName"), std::string::npos) << report;
  EXPECT_TRUE(boxes_.empty());
  EXPECT_TRUE(fs::IsFile(server_.Document().GetProjectFolderPath(project) + "/" + plan + "Ver2.wxf"));
  EXPECT_EQ(TemporaryCount(), 0u);
}

}  // namespace
