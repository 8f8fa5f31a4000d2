#pragma once
// Test fixture: a started library in a temporary folder (working folder, root and
// lock folder), with helpers to create projects and documents through the store
// and to read the record files back. Header-only; for the store's own tests.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/BuiltInKeys.h"
#include "platform/AtomicFile.h"
#include "platform/DiskChangeHook.h"
#include "platform/Notifier.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ProjectFileList.h"
#include "server/store/StoreFilePaths.h"

class StoreTestLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    work_ = scratch_ / "work";
    root_ = scratch_ / "lib";
    locks_ = scratch_ / "locks";
    for (const std::string& folder : {work_, root_, locks_}) ASSERT_TRUE(platform::fs::CreateFolder(folder));
    std::ofstream(work_ + "/" + CWexmoorDoc::kRootPathFileName, std::ios::binary) << "\"" << root_ << "\",\"\",0";
    platform::SetNotifyHandler([](const platform::Notification&) { return platform::NotifyAnswer::Ok; });
    Restart();
  }
  void TearDown() override {
    StopFailing();
    platform::SetDiskChangeHookForTesting(nullptr);
    doc_.reset();
    platform::SetNotifyHandler(nullptr);
  }

  // Shuts the document down and starts a new one on the same library.
  void Restart() {
    doc_.reset();
    ASSERT_TRUE(StartDocument());
  }
  CWexmoorDoc& Doc() { return *doc_; }
  // Names `root` (made when missing) as the library root and starts a document on it.
  void StartOn(const std::string& root) {
    doc_.reset();
    std::filesystem::create_directories(root);
    root_ = root;
    std::ofstream(work_ + "/" + CWexmoorDoc::kRootPathFileName, std::ios::binary) << "\"" << root_ << "\",\"\",0";
    Restart();
  }
  // A folder under the scratch folder whose path is `length` bytes long.
  std::string ScratchPathOfLength(std::size_t length, const std::string& name) const {
    std::string path = scratch_ / name;
    while (path.size() < length) path += path.size() % 100 == 99 && path.size() + 1 < length ? '/' : 'x';
    return path;
  }

  // Makes the `n`th content write of a record file from now on fail (1: the next):
  // a whole file replaced or newly written, or rows appended to a file list.
  static void FailWrite(int n) {
    auto count = std::make_shared<int>(0);
    platform::AtomicFile::SetWriteHookForTesting([count, n](std::size_t) { return ++*count != n; });
    platform::SetDiskFailureForTesting([count, n](const std::string& path) {
      const auto endsWith = [&path](const std::string& end) {
        return path.size() > end.size() && path.compare(path.size() - end.size(), end.size(), end) == 0;
      };
      const bool written = endsWith(ProjectFileListPath("", "")) || endsWith(StatisticsPath("", ""));
      return written && ++*count == n ? EIO : 0;
    });
  }
  static void StopFailing() {
    platform::AtomicFile::SetWriteHookForTesting(nullptr);
    platform::SetDiskFailureForTesting(nullptr);
  }

  // A new project's internal name; "" (and a test failure) when it was refused.
  std::string NewProject(const std::string& name, const std::string& parent = "") {
    ServerProject created;
    EXPECT_EQ(doc_->CreateProject(parent, name, "", created, false), 0) << name;
    return created.GetInternalName();
  }
  // A file as the request handler would have received it: private to the server.
  std::string Received(const std::string& content) {
    const std::string path = root_ + "/TemporaryFiles/Temp_" + std::to_string(++received_) + ".wxf";
    std::ofstream(path, std::ios::binary) << content;
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return path;
  }
  // Adds a document and returns its internal file name ("" and a failure when refused).
  std::string NewDocument(const std::string& project, const std::string& name, const std::string& content = "v1") {
    FileStatistics result;
    EXPECT_EQ(doc_->AddDocument(name, project, "ann", "first", Received(content), static_cast<int>(content.size()),
                                result),
              0)
        << name;
    return result.GetInternalFileName();
  }

  // Checks the latest version out to `user`; the check-out's code.
  int CheckOut(const std::string& project, const std::string& name, bool referencing = false,
               bool referenced = false, const std::string& user = "ann") {
    return doc_->CheckOutDocuments(project, name, -1, user, referencing, referenced).code;
  }
  // Checks `content` in as the next version of the document; the result code.
  int CheckIn(const std::string& project, const std::string& name, const std::string& content,
              const std::string& user = "ann") {
    int code = -1;
    doc_->CheckInDocuments(project, user, name, static_cast<int>(content.size()), "", Received(content), code);
    return code;
  }

  // --- crash runs ---
  static constexpr int kKilledExit = 86;  // status of a process ended by ExitAtDiskChange
  // From now on the n-th disk change of this process (1: the next) ends it at once
  // with kKilledExit, without any clean-up, as a crash would.
  static void ExitAtDiskChange(int n) {
    // Syncs run on several threads at once: the count is shared by them.
    auto count = std::make_shared<std::atomic<int>>(0);
    platform::SetDiskChangeHookForTesting([count, n] {
      if (++*count == n) ::_exit(kKilledExit);
    });
  }
  // The number of disk changes `body` makes.
  static int CountDiskChanges(const std::function<void()>& body) {
    std::atomic<int> count{0};
    platform::SetDiskChangeHookForTesting([&count] { ++count; });
    body();
    platform::SetDiskChangeHookForTesting(nullptr);
    return count;
  }
  // Closes the document and runs `body` in a child process, which starts its own
  // document on the library with StartDocument(). Returns the child's exit status
  // (body's result), -1 when it did not exit. The document stays closed.
  int RunInChild(const std::function<int()>& body) {
    doc_.reset();
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }
  // For a child: a new document on the library; false when it did not start.
  bool StartDocument() {
    doc_ = std::make_unique<CWexmoorDoc>(CWexmoorDoc::Setup{work_, locks_, CertificateBuiltInKey()});
    // The start-up notices are the document's lines for the console.
    doc_->GetNotes().SetSink([this](const std::string& line) {
      if (recordingNotices_) notices_.push_back(line);
    });
    return doc_->OnNewDocument();
  }
  // Keeps a copy of the working folder and the root under `name`, and puts it back
  // in their place; both close the document first.
  void KeepLibraryAs(const std::string& name) {
    doc_.reset();
    const std::string copy = scratch_ / name;
    std::filesystem::remove_all(copy);
    std::filesystem::create_directories(copy);
    std::filesystem::copy(work_, copy + "/work", std::filesystem::copy_options::recursive);
    std::filesystem::copy(root_, copy + "/lib", std::filesystem::copy_options::recursive);
  }
  void PutLibraryBack(const std::string& name) {
    doc_.reset();
    const std::string copy = scratch_ / name;
    for (const std::string& folder : {work_, root_}) std::filesystem::remove_all(folder);
    std::filesystem::copy(copy + "/work", work_, std::filesystem::copy_options::recursive);
    std::filesystem::copy(copy + "/lib", root_, std::filesystem::copy_options::recursive);
  }

  std::string FolderOf(const std::string& project) { return doc_->GetProjectFolderPath(project) + "/"; }
  ProjectFileList ListOf(const std::string& project) {
    ProjectFileList list;
    EXPECT_TRUE(list.Load(ProjectFileListPath(FolderOf(project), project)));
    return list;
  }
  FileStatistics StatisticsOf(const std::string& project, const std::string& internalFileName) {
    FileStatistics statistics;
    int lines = 0;
    EXPECT_EQ(statistics.Load(StatisticsPath(FolderOf(project), internalFileName), lines), 0);
    return statistics;
  }
  // Edits the library behind the store's back, as a repair would: the store's
  // cached parse of the file goes.
  void SaveStatistics(const std::string& project, const FileStatistics& statistics) {
    const std::string path = StatisticsPath(FolderOf(project), statistics.GetVersion(0).GetInternalFileName());
    ASSERT_EQ(statistics.Save(path), 0);
    doc_->GetRecordCache().Drop(path);
  }
  bool ProjectExists(const std::string& internalName) {
    std::shared_lock<std::shared_mutex> latch(doc_->GetProjectTreeLatch());
    return doc_->FindProjectByInternalName(internalName) != nullptr;
  }

  // Every file and folder under `top` with its content; the name counter is left
  // out because failed operations may consume names.
  static std::map<std::string, std::string> Snapshot(const std::string& top) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(top)) {
      if (entry.path().filename() == "GenInternalValue.wxf") continue;
      files[entry.path().string()] = entry.is_regular_file() ? platform::ScratchFolder::Read(entry.path()) : "<dir>";
    }
    return files;
  }

  // Snapshot by each path below `top`, so that two trees compare.
  static std::map<std::string, std::string> Files(const std::string& top) {
    std::map<std::string, std::string> files;
    for (const auto& [path, content] : Snapshot(top)) files[path.substr(top.size())] = content;
    return files;
  }
  // Writes `content` to the file at `path`, making the folders above it.
  static void Plant(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  // From now on every message text and console line is kept in notices_.
  void RecordNotices() {
    recordingNotices_ = true;
    platform::SetNotifyHandler([this](const platform::Notification& notification) {
      notices_.push_back(notification.text);
      return platform::NotifyAnswer::Ok;
    });
  }

  platform::ScratchFolder scratch_;
  std::string work_, root_, locks_;
  std::unique_ptr<CWexmoorDoc> doc_;
  std::vector<std::string> notices_;
  bool recordingNotices_ = false;
  std::atomic<int> received_{0};  // names received files; tests may receive from several threads
};
