#include "client/core/CBrannockDoc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "client/core/CBrannockApp.h"
#include "client/core/ClientAppState.h"
#include "client/core/ServerTreeText.h"
#include "common/CertificateFile.h"
#include "platform/Notifier.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "testsupport/TestServer.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = std::chrono::steady_clock;

int ThreadCount() {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                        std::filesystem::directory_iterator()));
}

// A view that records the hint codes meant for it and may act on one.
class RecordingView : public DocumentView {
 public:
  explicit RecordingView(std::uint32_t kind) : DocumentView(kind) {}
  std::vector<int> codes;
  std::function<void(int)> onUpdate;

 protected:
  void OnUpdate(int code) override {
    codes.push_back(code);
    if (onUpdate) onUpdate(code);
  }
};

// A running server with user "ann", and a client application whose current user holds
// an e-mail connection (index 0) and ann's imported TCP/IP connection (index 1).
class CBrannockDocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetNotifyHandler([this](const platform::Notification& n) {
      std::lock_guard lock(shownMutex_);
      shown_.push_back(n.text);
      return platform::NotifyAnswer::Ok;
    });
    Count(MSGID_REFRESH_PROJECTS, treeRequests_);
    Count(MSGID_LOGOFF, logoffs_);
    ASSERT_TRUE(server_.Start());
    const std::optional<UserAccount> ann = server_.AddUser("ann", "secret");
    ASSERT_TRUE(ann.has_value());
    ServerSettings& settings = server_.Document().GetSettings();
    library_ = settings.GetLibraryName();
    std::string text;
    ASSERT_TRUE(settings.BuildCertificateText(settings.FindUserIndex(ann->GetId()), text));
    ASSERT_TRUE(CertificateFile::Write(folder_ / "ann.wxc", text));

    app_ = std::make_unique<CBrannockApp>(work_, "login");
    ASSERT_TRUE(app_->InitInstance());
    LibraryConnection mail;
    mail.SetName("Mail");
    mail.SetEmailAddress("ann@example.invalid");
    AddConnection(mail);
    ASSERT_EQ(app_->ImportCertificate(folder_ / "ann.wxc"), CertificateImport::Result::Imported);
    shown_.clear();
  }
  void TearDown() override {
    app_.reset();
    platform::SetNotifyHandler(nullptr);
    ClientAppState::ClearUsersModified();
  }

  // Counts the requests of `id` reaching the server, which then handles them as usual.
  void Count(MessageId id, std::atomic<int>& counter) {
    server_.Dispatcher().Register(id, [this, &counter](RTE& engine, const Msg& request) {
      ++counter;
      return standard_.Dispatch(engine, request);
    });
  }
  void AddConnection(const LibraryConnection& connection) {
    platform::CriticalSection::Lock lock(app_->GetProfileLock());
    app_->GetCurrentUser()->AddConnection(connection);
  }
  LibraryConnection Connection(int index) {
    platform::CriticalSection::Lock lock(app_->GetProfileLock());
    return *app_->GetCurrentUser()->GetConnection(index);
  }
  // Waits until `done`, for at most `limit`; PassUntil runs the application's passes meanwhile.
  bool WaitUntil(const std::function<bool()>& done, Clock::duration limit = seconds(10), bool pass = false) {
    for (const Clock::time_point end = Clock::now() + limit; Clock::now() < end;) {
      if (pass) app_->DoProcessing();
      if (done()) return true;
      std::this_thread::sleep_for(milliseconds(5));
    }
    return done();
  }
  bool PassUntil(const std::function<bool()>& done, Clock::duration limit = seconds(10)) {
    return WaitUntil(done, limit, true);
  }
  CBrannockDoc* OpenReady(const std::string& path) {
    CBrannockDoc* document = CBrannockDoc::VisitLibrary(*app_, path);
    EXPECT_NE(document, nullptr) << path;
    if (document != nullptr) {
      EXPECT_TRUE(PassUntil([&] { return document->IsFirstRequestSent(); }));
    }
    return document;
  }
  Clock::duration TimedClose(CBrannockDoc& document) {
    const Clock::time_point start = Clock::now();
    app_->GetOpenLibraries().RequestClose(document);
    return Clock::now() - start;
  }
  std::string InventoryPath() { return Connection(1).GetLocalFolder() + "/" + ProjectInventory::kFileName; }

  RequestDispatcher standard_;
  std::atomic<int> treeRequests_{0};
  std::atomic<int> logoffs_{0};
  TestServer server_;
  platform::ScratchFolder folder_;
  const std::string work_ = folder_.Path();
  std::string library_;
  std::unique_ptr<CBrannockApp> app_;
  std::mutex shownMutex_;
  std::vector<std::string> shown_;
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
  // The first tree keeps the root's folder and derives its projects' folders.
  ASSERT_TRUE(document->GetProjectTree().ApplyServerTree(
      ServerTreeText().Node("Main", "Root", 1).Node("A", "PA", 0).Text()));

  EXPECT_LT(TimedClose(*document), seconds(3));
  EXPECT_EQ(logoffs_, 1);
  EXPECT_EQ(app_->GetOpenLibraries().GetCount(), 0);
  EXPECT_TRUE(platform::fs::IsFile(InventoryPath()));
  EXPECT_TRUE(PassUntil([&] { return ThreadCount() == threadsAtStart; }, seconds(5)))
      << ThreadCount() << " threads, " << threadsAtStart << " at the start";

  // A stored fresh tree is shown from the inventory; no 5004 goes out.
  const int treeRequests = treeRequests_;
  document = OpenReady("1");
  ASSERT_NE(document, nullptr);
  RecordingView tree(UpdateHint::kTreeView);
  RecordingView list(UpdateHint::kDocumentListView);
  RecordingView local(UpdateHint::kLocalFileListView);
  for (DocumentView* view : std::initializer_list<DocumentView*>{&tree, &list, &local}) {
    document->GetViews().Attach(*view);
  }
  document->RequestProjectTree(false);
  EXPECT_EQ(treeRequests_, treeRequests);
  for (const RecordingView* view : {&tree, &list, &local}) EXPECT_EQ(view->codes, std::vector<int>{5005});
  const ProjectNode* project = document->GetProjectTree().FindProjectByPath("PA");
  ASSERT_NE(project, nullptr);
  EXPECT_EQ(project->GetLocalFolder(), work_ + "/Libraries/" + library_ + "/A");
  document->RequestProjectTree(true);
  EXPECT_TRUE(PassUntil([&] { return treeRequests_ == treeRequests + 1; }));
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

}  // namespace
