#include "client/document/CBrannockDoc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "client/document/CBrannockApp.h"
#include "client/library/ServerTreeText.h"
#include "client/records/ClientAppState.h"
#include "platform/fs.h"
#include "platform/Notifier.h"
#include "platform/ScratchFolder.h"
#include "server/store/CWexmoorDoc.h"
#include "testsupport/ClientLibraryTest.h"
#include "testsupport/TestServer.h"

namespace {

using namespace client_test;

// The shared fixture with an e-mail connection at index 0, so ann's is index 1.
class CBrannockDocTest : public ClientLibraryTest {
 protected:
  void RegisterCounters() override {
    Count(MSGID_REFRESH_PROJECTS, treeRequests_);
    Count(MSGID_LOGOFF, logoffs_);
  }
  void AddConnectionsBeforeImport() override {
    LibraryConnection mail;
    mail.SetName("Mail");
    mail.SetEmailAddress("ann@example.invalid");
    AddConnection(mail);
  }
  Clock::duration TimedClose(CBrannockDoc& document) {
    const Clock::time_point start = Clock::now();
    app_->GetOpenLibraries().RequestClose(document);
    return Clock::now() - start;
  }
  std::string InventoryPath() { return Connection(1).GetLocalFolder() + "/" + ProjectInventory::kFileName; }

  std::atomic<int> treeRequests_{0};
  std::atomic<int> logoffs_{0};
};

TEST(CBrannockDocPath, TheLastComponentIsTheDecimalIndex) {
  EXPECT_EQ(CBrannockDoc::ConnectionIndexFromPath("1"), 1);
  EXPECT_EQ(CBrannockDoc::ConnectionIndexFromPath("/work/folder/12"), 12);
  EXPECT_EQ(CBrannockDoc::ConnectionIndexFromPath("+3"), 3);
  EXPECT_EQ(CBrannockDoc::ConnectionIndexFromPath("-1"), -1);
  for (const char* path : {"", "/work/", "x", "1x", "1 ", "/1/x", "99999999999"}) {
    EXPECT_EQ(CBrannockDoc::ConnectionIndexFromPath(path), std::nullopt) << path;
  }
}

TEST(CBrannockDocFiles, CompareFilesComparesEveryByte) {
  platform::ScratchFolder folder;
  const auto pattern = [](std::size_t size, char last) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
    if (size > 0) bytes.back() = last;
    return bytes;
  };
  struct Case {
    std::size_t size;
    bool lastChanged;
  };
  for (const Case& c : {Case{0, false}, Case{65536, false}, Case{65536, true}, Case{65537, false}, Case{65537, true}}) {
    const std::string a = folder.Put("a", pattern(c.size, 'a'));
    const std::string b = folder.Put("b", pattern(c.size, c.lastChanged ? 'b' : 'a'));
    EXPECT_EQ(CBrannockDoc::CompareFiles(a, b), !c.lastChanged) << c.size;
  }
  EXPECT_FALSE(CBrannockDoc::CompareFiles(folder.Put("a", "abc"), folder.Put("b", "abcd")));
  EXPECT_FALSE(CBrannockDoc::CompareFiles(folder / "a", folder / "missing"));
  EXPECT_FALSE(CBrannockDoc::CompareFiles(folder / "missing", folder / "a"));
}

TEST_F(CBrannockDocTest, OpensByIndexMapsTheRootLogsOnAndAsksForTheTreeOnce) {
  CBrannockDoc* document = OpenReady("1");
  ASSERT_NE(document, nullptr);
  const std::string root = work_ + "/Libraries/" + library_;
  EXPECT_EQ(document->GetLibraryFolder(), Connection(1).GetLocalFolder());
  EXPECT_TRUE(platform::fs::IsFolder(document->GetLibraryFolder()));
  EXPECT_EQ(document->GetProjectTree().GetRoot().GetLocalFolder(), root);
  EXPECT_TRUE(platform::fs::IsFolder(root));
  EXPECT_EQ(document->GetDisplayName(), library_ + " : (TCP/IP)");
  EXPECT_EQ(document->GetUserText(), "ann");
  EXPECT_TRUE(document->IsReady());
  EXPECT_TRUE(PassUntil([&] { return treeRequests_ == 1; }));

  // The same index, with a folder in front, is the same library: one document, one link.
  EXPECT_EQ(CBrannockDoc::VisitLibrary(*app_, work_ + "/1"), document);
  EXPECT_EQ(app_->GetOpenLibraries().GetCount(), 1);
  EXPECT_TRUE(shown_.empty());
}

TEST_F(CBrannockDocTest, CloseLogsOffEndsOnTheGoodbyeAndWritesTheInventory) {
  const int threadsAtStart = ThreadCount();
  CBrannockDoc* document = OpenReady(work_ + "/1");
  ASSERT_NE(document, nullptr);
  // The server's own first tree comes first, so it cannot replace the one applied here.
  ASSERT_TRUE(PassUntil([&] { return !document->GetProjectTree().GetRoot().GetName().empty(); }));
  // The tree applied here keeps the root's folder and derives its projects' folders.
  ASSERT_TRUE(document->GetProjectTree().ApplyServerTree(
      ServerTreeText().Node("Main", "Root", 1).Node("A", "PA", 0).Text()));

  EXPECT_LT(TimedClose(*document), seconds(3));
  EXPECT_EQ(logoffs_, 1);
  EXPECT_EQ(app_->GetOpenLibraries().GetCount(), 0);
  EXPECT_TRUE(platform::fs::IsFile(InventoryPath()));
  EXPECT_TRUE(PassUntil([&] { return ThreadCount() == threadsAtStart; }, seconds(5)))
      << ThreadCount() << " threads, " << threadsAtStart << " at the start";

  // A reopened library asks for the server's tree however fresh its stored one; a
  // later request that is not forced is answered from the tree held.
  const int treeRequests = treeRequests_;
  document = OpenReady("1");
  ASSERT_NE(document, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return treeRequests_ == treeRequests + 1; }));
  RecordingView tree(UpdateHint::kTreeView);
  RecordingView list(UpdateHint::kDocumentListView);
  RecordingView local(UpdateHint::kLocalFileListView);
  for (DocumentView* view : std::initializer_list<DocumentView*>{&tree, &list, &local}) {
    document->GetViews().Attach(*view);
  }
  document->RequestProjectTree(false);
  EXPECT_EQ(treeRequests_, treeRequests + 1);
  for (const RecordingView* view : {&tree, &list, &local}) EXPECT_EQ(view->codes, std::vector<int>{5005});
  const ProjectNode* project = document->GetProjectTree().FindProjectByPath("PA");
  ASSERT_NE(project, nullptr);
  EXPECT_EQ(project->GetLocalFolder(), work_ + "/Libraries/" + library_ + "/A");
  document->RequestProjectTree(true);
  EXPECT_TRUE(PassUntil([&] { return treeRequests_ == treeRequests + 2; }));
  for (DocumentView* view : std::initializer_list<DocumentView*>{&tree, &list, &local}) {
    document->GetViews().Detach(*view);
  }
}

TEST_F(CBrannockDocTest, StoppedServerClosesTheDocumentAtTheNextPassOrPromptly) {
  // Left alone, the document closes itself at the pass after its link ended, and
  // saves; a request asked for meanwhile sends nothing and closes nothing.
  CBrannockDoc* document = OpenReady("1");
  ASSERT_NE(document, nullptr);
  server_.Stop();
  ASSERT_TRUE(WaitUntil([&] { return document->IsLinkEnded(); }));
  document->RequestProjectTree(true);
  EXPECT_EQ(app_->GetOpenLibraries().GetCount(), 1);
  EXPECT_TRUE(PassUntil([&] { return app_->GetOpenLibraries().GetCount() == 0; }));
  EXPECT_TRUE(platform::fs::IsFile(InventoryPath()));

  // Closed by the user right after the server went: no 50 s logoff wait.
  ASSERT_TRUE(server_.Start());
  ASSERT_TRUE(platform::fs::DeleteFile(InventoryPath()));
  document = OpenReady("1");
  ASSERT_NE(document, nullptr);
  server_.Stop();
  EXPECT_LT(TimedClose(*document), seconds(3));
  EXPECT_EQ(app_->GetOpenLibraries().GetCount(), 0);
  EXPECT_TRUE(platform::fs::IsFile(InventoryPath()));
}

TEST_F(CBrannockDocTest, RefusedLogonClosesTheDocumentAtTheNextPassWithoutARequest) {
  {
    platform::CriticalSection::Lock lock(app_->GetProfileLock());
    app_->GetCurrentUser()->GetConnection(1)->SetSecondLogonText("wrong");
  }
  ASSERT_NE(CBrannockDoc::VisitLibrary(*app_, "1"), nullptr);
  EXPECT_TRUE(PassUntil([&] { return app_->GetOpenLibraries().GetCount() == 0; }));
  EXPECT_EQ(treeRequests_, 0);
  EXPECT_EQ(logoffs_, 0);
}

TEST_F(CBrannockDocTest, ViewClosingTheDocumentFromItsUpdateClosesItAfterThePass) {
  CBrannockDoc* document = OpenReady("1");
  ASSERT_NE(document, nullptr);
  RecordingView tree(UpdateHint::kTreeView);
  tree.onUpdate = [&](int code) {
    if (code == -1080) document->OnCloseDocument();
  };
  document->GetViews().Attach(tree);
  EXPECT_TRUE(PassUntil([&] { return app_->GetOpenLibraries().GetCount() == 0; }));
  EXPECT_EQ(logoffs_, 1);
  EXPECT_EQ(tree.codes.back(), -1090);
}

TEST_F(CBrannockDocTest, AHeldDocumentTellsItsTreeAndTakesTheProgramOfItsApplication) {
  app_->SetPublisher(false);
  CBrannockDoc* document = OpenReady("1");
  ASSERT_NE(document, nullptr);
  EXPECT_FALSE(document->IsPublisher());
  EXPECT_EQ(&document->GetApp(), app_.get());
  RecordingView tree(UpdateHint::kTreeView);
  document->GetViews().Attach(tree);
  {
    OpenLibraries::Hold hold(app_->GetOpenLibraries(), *document);
    document->OnCloseDocument();
    EXPECT_TRUE(document->IsClosePending());
    EXPECT_EQ(tree.codes, std::vector<int>{-1090});
    EXPECT_EQ(logoffs_, 0);
  }
  EXPECT_TRUE(PassUntil([&] { return app_->GetOpenLibraries().GetCount() == 0; }));
  EXPECT_EQ(logoffs_, 1);
}

TEST_F(CBrannockDocTest, RefusedOpensStartNoThreadAndMakeNothing) {
  LibraryConnection unsafe = Connection(1);
  unsafe.SetName("../x");
  unsafe.SetLocalFolder(work_ + "/login/ann/../x");
  LibraryConnection unknown = Connection(1);
  unknown.SetName("Elsewhere");
  unknown.SetLocalFolder(work_ + "/login/ann/Elsewhere");
  struct Case {
    std::string path;
    std::string shown;
  };
  std::vector<Case> cases = {{"2", ""}, {"0", ""}, {"-1", ""}, {"one", ""}};
  const int threads = ThreadCount();
  const auto refuse = [&](const Case& c) {
    shown_.clear();
    EXPECT_EQ(CBrannockDoc::VisitLibrary(*app_, c.path), nullptr) << c.path;
    CBrannockDoc document(*app_);
    EXPECT_FALSE(document.OnOpenDocument(c.path)) << c.path;
    EXPECT_TRUE(document.IsLinkEnded());
    EXPECT_EQ(ThreadCount(), threads) << c.path;
    const std::vector<std::string> expected =
        c.shown.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.shown, c.shown};
    EXPECT_EQ(shown_, expected) << c.path;
  };
  for (const Case& c : cases) refuse(c);
  AddConnection(unsafe);    // index 2
  AddConnection(unknown);   // index 3: no library entry of its name
  refuse({"2", "The library name \"../x\" cannot be used as a folder name. The library was not opened."});
  refuse({"3", "The connection to the library \"Elsewhere\" cannot be used: its key or its server address is "
               "not valid. Import its certificate again."});
  EXPECT_EQ(app_->GetOpenLibraries().GetCount(), 0);
  for (const char* made : {"/login/x", "/x", "/Libraries", "/login/ann/Elsewhere"}) {
    EXPECT_FALSE(platform::fs::Exists(work_ + made)) << made;
  }
}

// A lost link closes the library; opened again, its local list starts where the
// user was working, while that folder exists, else at the root's folder.
TEST_F(CBrannockDocTest, ALibraryOpenedAgainAfterALostLinkStartsAtTheFolderItShowed) {
  const std::string mine = work_ + "/mine";
  ASSERT_TRUE(platform::fs::CreateFolder(mine));
  struct Case {
    std::string shown;
    bool removed;
    std::string start;   // empty: the root's folder
  };
  for (const Case& c : {Case{mine, false, mine}, Case{mine, true, ""}}) {
    CBrannockDoc* document = OpenReady("1");
    ASSERT_NE(document, nullptr);
    const std::string root = document->GetProjectTree().GetRoot().GetLocalFolder();
    EXPECT_EQ(document->GetStartLocalFolder(), root);
    document->SetShownLocalFolder(c.shown);
    if (c.removed) {
      ASSERT_TRUE(platform::fs::RemoveFolder(mine));
    }
    server_.Stop();
    ASSERT_TRUE(PassUntil([&] { return app_->GetOpenLibraries().GetCount() == 0; }));
    ASSERT_TRUE(server_.Start());
    document = OpenReady("1");
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->GetStartLocalFolder(), c.start.empty() ? root : c.start);
    document->SetShownLocalFolder("");
    app_->GetOpenLibraries().RequestClose(*document);
  }
}

}  // namespace
