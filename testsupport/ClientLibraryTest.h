#pragma once
// Test fixture for the client document end to end: a running test server with user
// "ann", and a client application on a scratch working folder whose current user
// holds ann's imported TCP/IP connection (after any connections a test adds first
// in AddConnectionsBeforeImport). Waits are bounded; PassUntil drives the
// application's periodic pass while waiting.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "client/document/AccountRights.h"
#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/library/DocumentVersionEntry.h"
#include "client/library/ProjectDocumentList.h"
#include "client/records/ClientAppState.h"
#include "common/RecordFields.h"
#include "platform/Notifier.h"
#include "platform/ScratchFolder.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/FileStatistics.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ServerProject.h"
#include "server/store/StoreFilePaths.h"
#include "server/store/StringList.h"
#include "testsupport/TestServer.h"

namespace client_test {

using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = std::chrono::steady_clock;

inline int ThreadCount() {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                        std::filesystem::directory_iterator()));
}

// A list of one document of `project`, as the senders take it.
inline ProjectDocumentList OneDocument(const std::string& project, const std::string& name,
                                       const std::string& indexName, std::int32_t version) {
  ProjectDocumentList list;
  list.SetProjectIndexName(project);
  DocumentVersionEntry entry;
  entry.SetName(name);
  entry.SetIndexName(indexName);
  entry.SetVersion(version);
  list.Add(entry);
  return list;
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

class ClientLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetNotifyHandler([this](const platform::Notification& n) {
      std::lock_guard lock(shownMutex_);
      shown_.push_back(n.text);
      return platform::IsAnsweredByYes(n.buttons) ? questionAnswer_.load() : platform::NotifyAnswer::Ok;
    });
    RegisterCounters();
    ASSERT_TRUE(server_.Start());
    const std::optional<UserAccount> ann = server_.AddUser("ann", "secret");
    ASSERT_TRUE(ann.has_value());
    ann_ = *ann;
    library_ = server_.Document().GetSettings().GetLibraryName();
    ASSERT_TRUE(server_.WriteCertificate(ann->GetId(), folder_ / "ann.wxc"));

    app_ = std::make_unique<CBrannockApp>(work_, "login");
    ASSERT_TRUE(app_->InitInstance());
    AddConnectionsBeforeImport();
    ASSERT_EQ(app_->ImportCertificate(folder_ / "ann.wxc"), CertificateImport::Result::Imported);
    shown_.clear();
  }
  void TearDown() override {
    app_.reset();
    // The request counters of derived fixtures use their members: the server stops first.
    server_.Stop();
    platform::SetNotifyHandler(nullptr);
    ClientAppState::ClearUsersModified();
  }

  // Registers request counters (Count) before the server starts.
  virtual void RegisterCounters() {}
  // Adds connections that come before the imported one.
  virtual void AddConnectionsBeforeImport() {}

  // Counts the requests of `id` reaching the server, which then handles them as usual.
  void Count(MessageId id, std::atomic<int>& counter) {
    server_.Dispatcher().Register(id, [this, &counter](RTE& engine, const Msg& request) {
      ++counter;
      return standard_.Dispatch(engine, request);
    });
  }
  // Serves the rights list (5101) with the rows granted when it is asked, counting the
  // requests; the server then announces rights. Call from RegisterCounters.
  void ServeRights() {
    server_.Dispatcher().Register(MSGID_LIST_RIGHTS, [this](RTE& engine, const Msg& request) {
      ++rightsRequests_;
      std::lock_guard lock(rightsMutex_);
      std::string body = EndRecord(AppendIntField(static_cast<std::int32_t>(rightsRows_.size()), ""));
      for (const AccountRights::Row& row : rightsRows_) {
        body += EndRecord(AppendStringField(
            row.group, AppendStringField(row.projectPath, AppendIntField(static_cast<std::int32_t>(row.role), ""))));
      }
      return RequestDispatcher::SendReply(engine, request, MSGID_RIGHTS_LIST, body);
    });
  }
  void GrantRights(std::vector<AccountRights::Row> rows) {
    std::lock_guard lock(rightsMutex_);
    rightsRows_ = std::move(rows);
  }
  void AddConnection(const LibraryConnection& connection) {
    platform::CriticalSection::Lock lock(app_->GetProfileLock());
    app_->GetCurrentUser()->AddConnection(connection);
  }
  LibraryConnection Connection(int index) {
    platform::CriticalSection::Lock lock(app_->GetProfileLock());
    return *app_->GetCurrentUser()->GetConnection(index);
  }
  // The server's store, for building a library and reading back what it holds.
  CWexmoorDoc& Store() { return server_.Document(); }
  std::string NewProject(const std::string& parent, const std::string& name) {
    ServerProject created;
    EXPECT_EQ(Store().CreateProject(parent, name, "", created, false), 0) << name;
    return created.GetInternalName();
  }
  void AddDocument(const std::string& project, const std::string& name, const std::string& content,
                   const std::string& user = "ann") {
    const std::string received = folder_.Put("received_" + name, content);
    FileStatistics result;
    EXPECT_EQ(Store().AddDocument(name, project, user, "", received, static_cast<int>(content.size()), result), 0)
        << name;
  }
  // Checks out the stored document and checks `content` in as its next version.
  void AddVersion(const std::string& project, const std::string& name, const std::string& content,
                  const std::string& comment) {
    const std::string user = "ann";
    EXPECT_EQ(Store().CheckOutDocuments(project, name, -1, user, false, false).code, 0) << name;
    const std::string received = folder_.Put("received_" + name, content);
    int code = -1;
    EXPECT_TRUE(Store().CheckInDocuments(project, user, name, static_cast<int>(content.size()), comment, received, code))
        << name << " " << code;
  }
  // The internal name of the stored child of `parent` named `name`; "" when none.
  std::string StoredChild(const std::string& parent, const std::string& name) {
    std::shared_lock latch(Store().GetProjectTreeLatch());
    ServerProject* project = Store().FindProjectByInternalName(parent);
    for (int i = 0; project != nullptr && i < project->GetSubProjectCount(); ++i) {
      if (project->GetSubProject(i)->GetName() == name) return project->GetSubProject(i)->GetInternalName();
    }
    return "";
  }
  // The names the project's file list holds, in its order.
  std::vector<std::string> StoredDocuments(const std::string& project) {
    ProjectFileList list;
    EXPECT_TRUE(list.Load(ProjectFileListPath(Store().GetProjectFolderPath(project) + "/", project))) << project;
    StringList keys;
    list.GetKeys(keys);
    std::vector<std::string> names;
    for (int i = 0; i < keys.GetSize(); ++i) names.push_back(keys.GetAt(i));
    return names;
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
  // The opened document once it asked for its first tree; null (and a failure) when
  // the open was refused or a pass closed the document meanwhile.
  CBrannockDoc* OpenReady(const std::string& path) {
    CBrannockDoc* document = CBrannockDoc::VisitLibrary(*app_, path);
    EXPECT_NE(document, nullptr) << path;
    if (document == nullptr) return nullptr;
    const auto isOpen = [&] {
      return app_->GetOpenLibraries().Find([&](const LibraryDocument& open) { return &open == document; }) != nullptr;
    };
    EXPECT_TRUE(PassUntil([&] { return !isOpen() || document->IsFirstRequestSent(); }));
    if (isOpen()) return document;
    ADD_FAILURE() << "the library " << path << " closed while opening";
    return nullptr;
  }
  std::vector<std::string> Shown() {
    std::lock_guard lock(shownMutex_);
    return shown_;
  }
  // Whether the link told the user that it handed requests back: a reconnect is
  // through. Other boxes (any thread of the process) may come before it.
  bool AbandonedRequestsTold() {
    const std::vector<std::string> shown = Shown();
    return std::any_of(shown.begin(), shown.end(),
                       [](const std::string& text) { return text.rfind(AbandonedRequestNotice::kText, 0) == 0; });
  }

  RequestDispatcher standard_;
  TestServer server_;
  UserAccount ann_;
  platform::ScratchFolder folder_;
  const std::string work_ = folder_.Path();
  std::string library_;
  std::unique_ptr<CBrannockApp> app_;
  std::mutex shownMutex_;
  std::vector<std::string> shown_;
  std::atomic<int> rightsRequests_{0};
  std::mutex rightsMutex_;
  std::vector<AccountRights::Row> rightsRows_;
  // The answer to every question (a box with Yes and No); the other boxes get Ok.
  std::atomic<platform::NotifyAnswer> questionAnswer_{platform::NotifyAnswer::Ok};
};

}  // namespace client_test
