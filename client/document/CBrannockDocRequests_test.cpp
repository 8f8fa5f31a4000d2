#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <sstream>

#include "client/document/CBrannockDoc.h"
#include "client/document/ClientHints.h"
#include "client/library/ServerTreeText.h"
#include "common/FileHelpers.h"
#include "platform/fs.h"
#include "server/store/FileStatistics.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ServerProject.h"
#include "server/store/StoreFilePaths.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;
using RequestMemory = CBrannockDoc::RequestMemory;

const std::string kProject = "Pro \"one\", two";
const std::string kFirst = "a \"1\", b.txt";
const std::string kSecond = "c.txt";
const std::string kComment = "line one\nline \"two\", end";

// The shared fixture, with every request of the senders counted at the server and the
// stamp of its last one kept. Tests pump the document's replies only where they say so,
// so what the senders keep is seen before any reply handler uses or drops it.
class CBrannockDocRequestsTest : public ClientLibraryTest {
 protected:
  struct Seen {
    int count = 0;
    std::uint32_t stamp = 0;
  };

  void RegisterCounters() override {
    for (MessageId id : {MSGID_ADD_PROJECT, MSGID_LIST_DOCUMENTS, MSGID_ADD_DOCUMENTS, MSGID_RETRIEVE, MSGID_CHECK_OUT,
                         MSGID_CHECK_IN, MSGID_LIST_VERSIONS, MSGID_DELETE_PROJECT, MSGID_DELETE_DOCUMENTS,
                         MSGID_RENAME_PROJECT, MSGID_RENAME_DOCUMENT}) {
      server_.Dispatcher().Register(id, [this, id](RTE& engine, const Msg& request) {
        {
          std::lock_guard lock(seenMutex_);
          ++seen_[id].count;
          seen_[id].stamp = request.GetOriginalStamp();
        }
        // A file of negative size cannot be framed: the client cuts the link and logs on again.
        if (id == MSGID_LIST_DOCUMENTS && breakNextList_.exchange(false)) {
          const std::string unframable = "\"p\",1\n\"a\",1,1,\"\",-1\n";
          return RequestDispatcher::SendReply(engine, request, MSGID_RETRIEVED_DOCUMENTS, unframable);
        }
        return standard_.Dispatch(engine, request);
      });
    }
  }
  Seen SeenOf(MessageId id) {
    std::lock_guard lock(seenMutex_);
    return seen_[id];
  }
  // Waits until `count` requests of `id` reached the server; their stamp.
  std::uint32_t Reached(MessageId id, int count) {
    EXPECT_TRUE(WaitUntil([&] { return SeenOf(id).count >= count; })) << id;
    EXPECT_EQ(SeenOf(id).count, count) << id;
    return SeenOf(id).stamp;
  }

  CWexmoorDoc& Store() { return server_.Document(); }
  // The internal name of the top-level project `name`; "" when there is none.
  std::string TopProject(const std::string& name) {
    std::shared_lock latch(Store().GetProjectTreeLatch());
    for (int i = 0; i < Store().GetProjects().GetSize(); ++i) {
      if (Store().GetProjects().GetAt(i)->GetName() == name) return Store().GetProjects().GetAt(i)->GetInternalName();
    }
    return "";
  }
  // Hands the store's tree to the document as the tree reply would.
  void ShowStoreTree(CBrannockDoc& document) {
    std::string text;
    {
      std::shared_lock latch(Store().GetProjectTreeLatch());
      text = ServerTreeText().Node("Root", "Root", Store().GetProjects().GetSize()).Text();
      for (int i = 0; i < Store().GetProjects().GetSize(); ++i) text += Store().GetProjects().GetAt(i)->Encode("");
    }
    ASSERT_TRUE(document.GetProjectTree().ApplyServerTree(text));
  }
  std::string StoreFolder(const std::string& project) { return Store().GetProjectFolderPath(project) + "/"; }
  ProjectFileList StoreList(const std::string& project) {
    return ProjectFileList(ProjectFileListPath(StoreFolder(project), project));
  }
  FileStatistics StoreDocument(const std::string& project, const std::string& name) {
    FileStatistics statistics;
    int lines = 0;
    statistics.Load(StatisticsPath(StoreFolder(project), StoreList(project).Lookup(name)), lines);
    return statistics;
  }
  static std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // A list of the project's documents, each with its stored internal name and latest version.
  ProjectDocumentList ListOf(const std::string& project, const std::vector<std::string>& names,
                             const std::string& comment = "") {
    ProjectDocumentList list;
    list.SetProjectIndexName(project);
    for (const std::string& name : names) {
      DocumentVersionEntry entry;
      entry.SetName(name);
      entry.SetIndexName(StoreList(project).Lookup(name));
      entry.SetVersion(StoreDocument(project, name).GetVersionCount());
      entry.SetComment(comment);
      list.Add(entry);
    }
    return list;
  }
  // Opens the library and gives it a project that exists on both sides, with two local files.
  void OpenWithProject() {
    document_ = OpenReady("0");
    ASSERT_NE(document_, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return document_->IsReady(); }));
    ServerProject created;
    ASSERT_EQ(Store().CreateProject("", kProject, "", created, false), 0);
    project_ = created.GetInternalName();
    ShowStoreTree(*document_);
    const ProjectNode* node = document_->GetProjectTree().FindProjectByPath(project_);
    ASSERT_NE(node, nullptr);
    folder_ = node->GetLocalFolder();
    ASSERT_FALSE(folder_.empty());
    ASSERT_TRUE(CreateFolderPath(folder_));
    std::ofstream(folder_ + "/" + kFirst, std::ios::binary) << "alpha";
    std::ofstream(folder_ + "/" + kSecond, std::ios::binary) << "gamma\n";
  }

  std::mutex seenMutex_;
  std::map<MessageId, Seen> seen_;
  std::atomic<bool> breakNextList_{false};
  CBrannockDoc* document_ = nullptr;
  std::string project_;
  std::string folder_;
};

TEST_F(CBrannockDocRequestsTest, EachRequestReachesTheStoreAsSent) {
  ASSERT_NO_FATAL_FAILURE(OpenWithProject());
  CBrannockDoc& doc = *document_;

  ASSERT_TRUE(doc.SendAddProject("", "Second, \"2\""));
  Reached(MSGID_ADD_PROJECT, 1);
  ASSERT_TRUE(WaitUntil([&] { return !TopProject("Second, \"2\"").empty(); }));

  ASSERT_TRUE(doc.SendAddDocuments(project_, folder_, {kFirst, kSecond}, kComment));
  const RequestMemory* added = doc.FindRequestMemory(Reached(MSGID_ADD_DOCUMENTS, 1));
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->folder, folder_);
  ASSERT_TRUE(WaitUntil([&] { return StoreList(project_).GetCount() == 2; }));
  for (const auto& [name, content] : {std::pair{kFirst, "alpha"}, std::pair{kSecond, "gamma\n"}}) {
    const FileStatistics stored = StoreDocument(project_, name);
    ASSERT_EQ(stored.GetVersionCount(), 1) << name;
    EXPECT_EQ(stored.GetVersion(0).GetComments(), kComment);
    EXPECT_EQ(stored.GetVersion(0).GetAuthor(), "ann");
    EXPECT_EQ(Content(Store().GetVersionFilePath(stored)), content);
  }

  doc.SetWritableOnRetrieval(true);
  ASSERT_TRUE(doc.SendGetDocuments(ListOf(project_, {kFirst, kSecond}), 1));
  const RequestMemory* retrieved = doc.FindRequestMemory(Reached(MSGID_RETRIEVE, 1));
  ASSERT_NE(retrieved, nullptr);
  EXPECT_EQ(retrieved->replaceMode, 1);
  EXPECT_TRUE(retrieved->writable);

  // A reference to the first document: the check-out's flags take it along.
  const std::string second = TopProject("Second, \"2\"");
  FileStatistics reference;
  ASSERT_EQ(Store().AddReference(kFirst, second, "", project_, 1, reference, false, false), 0);

  doc.SetWritableOnRetrieval(false);
  ASSERT_TRUE(doc.SendCheckOutDocuments(ListOf(project_, {kFirst}), true, true, 2));
  const RequestMemory* checkedOut = doc.FindRequestMemory(Reached(MSGID_CHECK_OUT, 1));
  ASSERT_NE(checkedOut, nullptr);
  EXPECT_EQ(checkedOut->replaceMode, 2);
  EXPECT_EQ(retrieved->replaceMode, 1) << "a later request leaves an earlier one's memory alone";
  ASSERT_TRUE(WaitUntil([&] { return StoreDocument(project_, kFirst).GetCheckedOutTo() == "ann"; }));
  EXPECT_EQ(StoreDocument(second, kFirst).GetCheckedOutTo(), "ann");

  ASSERT_TRUE(doc.SendCheckInDocuments(ListOf(project_, {kFirst}, "second, \"v\""), 1));
  const RequestMemory* checkedIn = doc.FindRequestMemory(Reached(MSGID_CHECK_IN, 1));
  ASSERT_NE(checkedIn, nullptr);
  EXPECT_EQ(checkedIn->checkInMode, 1);
  EXPECT_EQ(checkedIn->replaceMode, 2);
  EXPECT_EQ(checkedIn->folder, folder_);
  ASSERT_TRUE(WaitUntil([&] { return StoreDocument(project_, kFirst).GetVersionCount() == 2; }));
  EXPECT_EQ(StoreDocument(project_, kFirst).GetVersion(1).GetComments(), "second, \"v\"");
  EXPECT_EQ(StoreDocument(project_, kFirst).GetCheckedOutTo(), "");

  ASSERT_TRUE(doc.SendListVersions(project_));
  Reached(MSGID_LIST_VERSIONS, 1);

  const std::string secondIndex = StoreList(project_).Lookup(kSecond);
  ASSERT_TRUE(doc.SendRenameDocument(project_, secondIndex, "d \"2\", e.txt"));
  Reached(MSGID_RENAME_DOCUMENT, 1);
  ASSERT_TRUE(WaitUntil([&] { return StoreList(project_).Lookup("d \"2\", e.txt") == secondIndex; }));

  ASSERT_TRUE(doc.SendRenameProject(project_, "Renamed, \"r\""));
  Reached(MSGID_RENAME_PROJECT, 1);
  ASSERT_TRUE(WaitUntil([&] { return TopProject("Renamed, \"r\"") == project_; }));

  // The project holding the reference goes first: a referenced document is not deleted.
  ShowStoreTree(doc);
  ASSERT_TRUE(doc.SendDeleteProject("", second));
  Reached(MSGID_DELETE_PROJECT, 1);
  ASSERT_TRUE(WaitUntil([&] { return TopProject("Second, \"2\"").empty(); }));

  ASSERT_TRUE(doc.SendDeleteDocuments(ListOf(project_, {kFirst, "d \"2\", e.txt"})));
  Reached(MSGID_DELETE_DOCUMENTS, 1);
  ASSERT_TRUE(WaitUntil([&] { return StoreList(project_).GetCount() == 0; }));
}

TEST_F(CBrannockDocRequestsTest, AListRequestIsSentOnceUntilItIsForgotten) {
  ASSERT_NO_FATAL_FAILURE(OpenWithProject());
  CBrannockDoc& doc = *document_;
  ASSERT_TRUE(doc.SendListDocuments(project_));
  EXPECT_TRUE(doc.IsListRequestPending(project_));
  EXPECT_TRUE(doc.SendListDocuments(project_));
  // Requests reach the server in order: once the version list came, a second list would have.
  ASSERT_TRUE(doc.SendListVersions(project_));
  Reached(MSGID_LIST_VERSIONS, 1);
  const std::uint32_t stamp = Reached(MSGID_LIST_DOCUMENTS, 1);

  doc.ForgetListRequestByStamp(stamp + 1000);
  EXPECT_TRUE(doc.IsListRequestPending(project_)) << "another stamp forgets nothing";
  doc.ForgetListRequestByStamp(stamp);
  EXPECT_FALSE(doc.IsListRequestPending(project_));
  ASSERT_TRUE(doc.SendListDocuments(project_));
  Reached(MSGID_LIST_DOCUMENTS, 2);
  doc.ForgetListRequest(project_);
  ASSERT_TRUE(doc.SendListDocuments(project_));
  Reached(MSGID_LIST_DOCUMENTS, 3);
  doc.ForgetAllListRequests();
  EXPECT_FALSE(doc.IsListRequestPending(project_));
}

TEST_F(CBrannockDocRequestsTest, AListRequestLostWithTheLinkIsSentAgainAfterTheNewLogon) {
  ASSERT_NO_FATAL_FAILURE(OpenWithProject());
  CBrannockDoc& doc = *document_;
  // The open's own replies are taken first: only the lost request may stay unanswered.
  ASSERT_TRUE(PassUntil([&] { return doc.GetUnansweredRequestCount() == 0; }));
  breakNextList_ = true;
  ASSERT_TRUE(doc.SendListDocuments(project_));
  Reached(MSGID_LIST_DOCUMENTS, 1);
  // The abandoned request is told to the user once the link is back; a request the
  // link handed back counts as answered, so only the new logon's own refresh is waited for.
  ASSERT_TRUE(
      PassUntil([&] { return AbandonedRequestsTold() && doc.IsReady() && doc.GetUnansweredRequestCount() == 0; }));
  EXPECT_FALSE(doc.IsListRequestPending(project_));
  ASSERT_TRUE(doc.SendListDocuments(project_));
  EXPECT_EQ(doc.GetUnansweredRequestCount(), 1u);
  Reached(MSGID_LIST_DOCUMENTS, 2);
  EXPECT_TRUE(PassUntil([&] { return doc.GetUnansweredRequestCount() == 0; })) << "the reply answers it";
}

TEST_F(CBrannockDocRequestsTest, AddedFilesAreReadAndMarkedInTheGivenFolder) {
  ASSERT_NO_FATAL_FAILURE(OpenWithProject());
  CBrannockDoc& doc = *document_;
  // The first tree reply may predate the project: take it in, then show the store's tree again.
  RecordingView tree(UpdateHint::kTreeView);
  doc.GetViews().Attach(tree);
  ASSERT_TRUE(PassUntil([&] { return std::ranges::count(tree.codes, ClientHints::kProjectTree) > 0; }));
  doc.GetViews().Detach(tree);
  ShowStoreTree(doc);
  // A file of the same name lies in the project's own folder; the listed one must go.
  const std::string listed = folder_ + "/listed";
  ASSERT_TRUE(CreateFolderPath(listed));
  std::ofstream(listed + "/" + kSecond, std::ios::binary) << "from the listed folder";

  ASSERT_TRUE(doc.SendAddDocuments(project_, listed, {kSecond}, kComment));
  EXPECT_EQ(doc.FindRequestMemory(Reached(MSGID_ADD_DOCUMENTS, 1))->folder, listed);
  ASSERT_TRUE(PassUntil([&] { return platform::fs::IsReadOnly(listed + "/" + kSecond); }));
  EXPECT_EQ(Content(Store().GetVersionFilePath(StoreDocument(project_, kSecond))), "from the listed folder");
  EXPECT_FALSE(platform::fs::IsReadOnly(folder_ + "/" + kSecond));
}

TEST_F(CBrannockDocRequestsTest, RefusedRequestsSendNothing) {
  ASSERT_NO_FATAL_FAILURE(OpenWithProject());
  CBrannockDoc& doc = *document_;
  const std::string huge = "huge.bin";
  std::ofstream(folder_ + "/" + huge, std::ios::binary);
  std::filesystem::resize_file(folder_ + "/" + huge, 0x80000000ull);
  std::ofstream(folder_ + "/../outside.txt", std::ios::binary) << "x";

  EXPECT_FALSE(doc.SendAddDocuments("WXNoSuch", folder_, {kFirst}, ""));
  EXPECT_FALSE(doc.SendAddDocuments(project_, folder_, {kFirst, "missing.txt"}, ""));
  EXPECT_FALSE(doc.SendAddDocuments(project_, folder_, {"../outside.txt"}, ""));
  EXPECT_FALSE(doc.SendAddDocuments(project_, folder_, {"."}, ""));
  EXPECT_FALSE(doc.SendAddDocuments(project_, folder_, {kFirst, huge}, ""));
  ProjectDocumentList unknown;
  unknown.SetProjectIndexName("WXNoSuch");
  EXPECT_FALSE(doc.SendCheckInDocuments(unknown, 1));
  EXPECT_FALSE(doc.SendDeleteDocuments(unknown));
  EXPECT_FALSE(doc.SendDeleteProject("", "WXNoSuch"));
  EXPECT_FALSE(doc.SendRenameProject("WXNoSuch", "x"));
  EXPECT_FALSE(doc.SendRenameDocument("WXNoSuch", "WXF1", "x"));
  // Three documents, the second without a local file: nothing at all is sent.
  ProjectDocumentList three;
  three.SetProjectIndexName(project_);
  for (const std::string& name : {kFirst, std::string("missing.txt"), kSecond}) {
    DocumentVersionEntry entry;
    entry.SetName(name);
    three.Add(entry);
  }
  EXPECT_FALSE(doc.SendCheckInDocuments(three, 1));

  doc.SetPublisher(false);
  EXPECT_FALSE(doc.SendRenameProject(project_, "x"));
  doc.SetPublisher(true);

  // The version list goes out after every refused request; none of them reached the server.
  ASSERT_TRUE(doc.SendListVersions(project_));
  Reached(MSGID_LIST_VERSIONS, 1);
  for (MessageId id : {MSGID_ADD_DOCUMENTS, MSGID_CHECK_IN, MSGID_DELETE_DOCUMENTS, MSGID_DELETE_PROJECT,
                       MSGID_RENAME_PROJECT, MSGID_RENAME_DOCUMENT}) {
    EXPECT_EQ(SeenOf(id).count, 0) << id;
  }
}

TEST_F(CBrannockDocRequestsTest, ALostLinkRefusesEverySenderWithoutClosingUnderTheCaller) {
  ASSERT_NO_FATAL_FAILURE(OpenWithProject());
  CBrannockDoc& doc = *document_;
  server_.Stop();
  ASSERT_TRUE(WaitUntil([&] { return doc.IsLinkEnded(); }, seconds(30)));
  const ProjectDocumentList documents;
  EXPECT_FALSE(doc.SendAddProject("", "x"));
  EXPECT_FALSE(doc.SendListDocuments(project_));
  EXPECT_FALSE(doc.IsListRequestPending(project_));
  EXPECT_FALSE(doc.SendAddDocuments(project_, folder_, {kFirst}, ""));
  EXPECT_FALSE(doc.SendGetDocuments(documents, 3));
  EXPECT_FALSE(doc.SendCheckOutDocuments(documents, false, false, 3));
  EXPECT_FALSE(doc.SendCheckInDocuments(documents, 1));
  EXPECT_FALSE(doc.SendListVersions(project_));
  EXPECT_FALSE(doc.SendRenameProject(project_, "x"));
  EXPECT_EQ(app_->GetOpenLibraries().GetCount(), 1) << "the next pass closes it";
  EXPECT_TRUE(PassUntil([&] { return app_->GetOpenLibraries().GetCount() == 0; }));
}

}  // namespace
