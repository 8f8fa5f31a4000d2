// Document transfer through the client core against a real server on 127.0.0.1:
// files/s and MB/s (10^6 bytes) of retrieving 1000 documents of 1 KiB into an empty
// folder and over the existing copies, of retrieving one document of 50 MiB, and of
// checking in 100 documents of 100 KiB, with the small files' ratios against their
// goals. Each round is timed from the operation's send until its replies have been
// handled (an operation on many documents goes out in steps, the last one ending its
// batch; files placed, or local copies marked), with the application's pass run
// every 0.2 ms, and checked
// afterwards (placed sizes, stored version sizes). Each figure is the best of a few
// rounds. Run from an optimised build configured with -DWEX_BUILD_BENCH=ON:
// <build>/bench/bench_client_transfer
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/ClientPasses.h"
#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/document/DocumentViews.h"
#include "client/library/ProjectDocumentList.h"
#include "common/FileHelpers.h"
#include "common/MessageIds.h"
#include "platform/fs.h"
#include "platform/Notifier.h"
#include "platform/ScratchFolder.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/FileStatistics.h"
#include "server/store/ServerProject.h"
#include "testsupport/TestServer.h"

namespace {

namespace fs = platform::fs;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 3;
constexpr TreeItem kCheckInTreeItem = 1;
constexpr const char* kUser = "bench";
// The small-file goals: files/s into an empty folder, and for replacing existing
// copies three times the rate this retrieve had while placement still copied.
constexpr double kEmptyFolderGoal = 10000.0;
constexpr double kReplacingBefore = 2848.0;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A view that counts the hint codes meant for its kind.
class CountingView : public DocumentView {
 public:
  explicit CountingView(std::uint32_t kind) : DocumentView(kind) {}
  int Count(int code) const {
    const auto found = counts_.find(code);
    return found == counts_.end() ? 0 : found->second;
  }

 protected:
  void OnUpdate(int code) override { ++counts_[code]; }

 private:
  std::map<int, int> counts_;
};

// One project of equally sized documents in the server's library.
struct Workload {
  Workload(const char* title, std::size_t count, std::size_t size) : title(title), count(count), size(size) {}

  const char* title;
  std::size_t count;
  std::size_t size;
  std::string project;                     // internal name
  std::vector<std::string> names;
  std::vector<std::string> internalNames;  // the stored file names
  int version = 1;                         // the latest stored version

  std::size_t Bytes() const { return count * size; }
  // Every document in the version given, with `comment` for a check-in.
  ProjectDocumentList Documents(std::int32_t listedVersion, const std::string& comment) const {
    ProjectDocumentList list;
    list.SetProjectIndexName(project);
    for (const std::string& name : names) {
      DocumentVersionEntry entry;
      entry.SetName(name);
      entry.SetVersion(listedVersion);
      entry.SetComment(comment);
      list.Add(entry);
    }
    return list;
  }
};

// The server with the workloads' projects, and a client application whose current
// user holds the bench account's imported connection with the library open.
class ClientBench {
 public:
  // False, with a line on what failed, when the library or the client is not ready.
  bool Start() {
    if (!server_.Start()) return Fail("the server did not start");
    const std::optional<UserAccount> user = server_.AddUser(kUser, "secret", false);
    if (!user) return Fail("the account was refused");
    for (Workload* workload : {&smallFiles_, &largeFile_, &checkIns_}) {
      if (!Fill(*workload)) return Fail("the library was not built");
    }
    const char* failure = "";
    app_ = bench::OpenLibraryClient(server_, user->GetId(), folder_, doc_, failure);
    if (app_ == nullptr) return Fail(failure);
    doc_->SetInformationHook([this](const std::string& text) { shown_.push_back(text); });
    for (CountingView* view : {&localView_, &listView_}) doc_->GetViews().Attach(*view);
    if (!PassUntil([this] { return doc_->IsFirstRequestSent(); })) return Fail("no first request");
    // The first request asks for the tree, which holds the projects made above.
    if (!PassUntil([this] { return Node(smallFiles_) && Node(largeFile_) && Node(checkIns_); })) {
      return Fail("the projects did not reach the client");
    }
    return PutCheckInCopies();
  }

  ~ClientBench() {
    if (doc_ != nullptr) {
      for (CountingView* view : {&localView_, &listView_}) doc_->GetViews().Detach(*view);
    }
  }

  // One retrieve of every document of `workload` into an emptied project folder, or
  // over writable copies of other content when `replacing`; seconds, or none when
  // anything failed. Earlier copies are moved aside, not deleted: on a file system
  // without a journal, inodes freed seconds before make every new file's creation
  // step over them, which would charge this clean-up to the retrieve.
  std::optional<double> Retrieve(Workload& workload, bool replacing) {
    const std::string folder = Node(workload)->GetLocalFolder();
    const std::string aside = folder_ / "aside";
    if (!CreateFolderPath(folder) || !CreateFolderPath(aside)) return Failed("the folders were not made");
    for (const std::string& name : workload.names) {
      const std::string path = folder + "/" + name;
      if (replacing) {
        if (!std::ofstream(path, std::ios::binary | std::ios::trunc).write("old", 3)) return Failed("no local copy");
      } else if (fs::Exists(path) && !fs::MoveNoReplace(path, aside + "/" + std::to_string(++setAside_))) {
        return Failed("a local copy could not be moved aside");
      }
    }
    // The user's copies are on disk, as copies met in use are.
    if (replacing) ::sync();
    doc_->SetShownLocalFolder(folder);
    const ProjectDocumentList documents = workload.Documents(workload.version, "");
    const int handled = localView_.Count(MSGID_RETRIEVED_DOCUMENTS);

    const Clock::time_point start = Clock::now();
    if (!doc_->SendGetDocuments(documents, 0)) return Failed("the retrieve was not sent");
    const auto answered = [&] { return localView_.Count(MSGID_RETRIEVED_DOCUMENTS) > handled; };
    if (!PassUntil([&] { return answered() && doc_->GetBatches().empty(); })) {
      return Failed("the retrieve was not answered");
    }
    const double seconds = Seconds(start);

    for (const std::string& name : workload.names) {
      std::int64_t size = 0;
      if (!fs::FileSize(folder + "/" + name, size) || size != static_cast<std::int64_t>(workload.size)) {
        return Failed("a retrieved file is missing or has the wrong size");
      }
    }
    return shown_.empty() ? std::optional<double>(seconds) : Failed(shown_.front().c_str());
  }

  // Checks every document of the check-in workload out in the store (not timed),
  // then checks the local copies in; seconds, or none when anything failed.
  std::optional<double> CheckIn() {
    Workload& workload = checkIns_;
    const std::string folder = Node(workload)->GetLocalFolder();
    for (const std::string& name : workload.names) {
      if (server_.Document().CheckOutDocuments(workload.project, name, -1, kUser, false, false).code != 0 ||
          !fs::SetReadOnly(folder + "/" + name, false)) {
        return Failed("the check-out was refused");
      }
    }
    // The check-in project is the one shown, so its list replies tell the list view.
    doc_->GetProjectTree().SetTreeItem(*Node(workload), kCheckInTreeItem);
    doc_->SetCurrentProject(kCheckInTreeItem);
    const ProjectDocumentList documents = workload.Documents(workload.version, "bench");
    const int handled = localView_.Count(MSGID_CHECK_IN_RESULT);
    const int listed = listView_.Count(kHintDocumentList);

    const Clock::time_point start = Clock::now();
    if (!doc_->SendCheckInDocuments(documents, 1)) return Failed("the check-in was not sent");
    const auto answered = [&] { return localView_.Count(MSGID_CHECK_IN_RESULT) > handled; };
    if (!PassUntil([&] { return answered() && doc_->GetBatches().empty(); })) {
      return Failed("the check-in was not answered");
    }
    const double seconds = Seconds(start);
    ++workload.version;

    // The reply asks for the project's document and version lists: both are handled
    // before the next round starts.
    if (!PassUntil([&] { return listView_.Count(kHintDocumentList) >= listed + 2; })) {
      return Failed("the lists after the check-in were not answered");
    }
    const std::string stored = server_.Document().GetProjectFolderPath(workload.project) + "/";
    for (std::size_t i = 0; i < workload.count; ++i) {
      std::int64_t size = 0;
      // Marked read-only: the server accepted the row.
      if (!fs::IsReadOnly(folder + "/" + workload.names[i]) ||
          !fs::FileSize(stored + workload.internalNames[i] + "Ver" + std::to_string(workload.version) + ".wxf",
                        size) ||
          size != static_cast<std::int64_t>(workload.size)) {
        return Failed("a checked-in version is missing or has the wrong size");
      }
    }
    return shown_.empty() ? std::optional<double>(seconds) : Failed(shown_.front().c_str());
  }

  Workload& SmallFiles() { return smallFiles_; }
  Workload& LargeFile() { return largeFile_; }
  const Workload& CheckIns() const { return checkIns_; }

 private:
  // The document list hint code, sent to the list view for the current project.
  static constexpr int kHintDocumentList = MSGID_DOCUMENT_LIST;

  static bool Fail(const char* what) {
    std::printf("failed: %s\n", what);
    return false;
  }
  static std::optional<double> Failed(const char* what) {
    Fail(what);
    return std::nullopt;
  }

  static std::string Content(std::size_t size, std::size_t index) {
    return std::string(size, static_cast<char>('a' + index % 26));
  }

  // The workload's project and version 1 of each document, added through the store.
  bool Fill(Workload& workload) {
    ServerProject created;
    if (server_.Document().CreateProject("", workload.title, "", created, false) != 0) return false;
    workload.project = created.GetInternalName();
    for (std::size_t i = 0; i < workload.count; ++i) {
      const std::string name = "doc" + std::to_string(i) + ".bin";
      const std::string received = server_.RootPath() + "/TemporaryFiles/Bench_" + workload.project + "_" + name;
      std::ofstream(received, std::ios::binary) << Content(workload.size, i);
      FileStatistics added;
      if (server_.Document().AddDocument(name, workload.project, kUser, "", received,
                                         static_cast<int>(workload.size), added) != 0) {
        return false;
      }
      workload.names.push_back(name);
      workload.internalNames.push_back(added.GetInternalFileName());
    }
    return true;
  }

  // The local copies the check-ins send.
  bool PutCheckInCopies() {
    const std::string folder = Node(checkIns_)->GetLocalFolder();
    if (!CreateFolderPath(folder)) return Fail("the check-in folder was not made");
    for (std::size_t i = 0; i < checkIns_.count; ++i) {
      std::ofstream(folder + "/" + checkIns_.names[i], std::ios::binary) << Content(checkIns_.size, i + 1);
    }
    return true;
  }

  ProjectNode* Node(const Workload& workload) { return doc_->GetProjectTree().FindProjectByPath(workload.project); }

  bool PassUntil(const std::function<bool()>& done) { return bench::PassUntil(*app_, done); }

  // Destroyed in reverse: the application logs off while the server still runs.
  TestServer server_;
  platform::ScratchFolder folder_;
  Workload smallFiles_{"retrieve 1000 x 1 KiB", 1000, 1024};
  Workload largeFile_{"retrieve 1 x 50 MiB", 1, 50u * 1024u * 1024u};
  Workload checkIns_{"check in 100 x 100 KiB", 100, 100u * 1024u};
  std::vector<std::string> shown_;
  int setAside_ = 0;
  CountingView localView_{UpdateHint::kLocalFileListView};
  CountingView listView_{UpdateHint::kDocumentListView};
  std::unique_ptr<CBrannockApp> app_;
  CBrannockDoc* doc_ = nullptr;
};

void Report(const char* title, const Workload& workload, const std::optional<double>& seconds) {
  if (!seconds) {
    std::printf("%-32s %12s\n", title, "failed");
    return;
  }
  std::printf("%-32s %10.1f ms %12.1f %10.1f\n", title, *seconds * 1e3,
              static_cast<double>(workload.count) / *seconds, static_cast<double>(workload.Bytes()) / *seconds / 1e6);
}

void ReportRatio(const char* what, double goal, const Workload& workload, const std::optional<double>& seconds) {
  if (seconds) std::printf("ratio files/s against %.0f (%s) %.2f\n", goal, what, static_cast<double>(workload.count) / *seconds / goal);
}

}  // namespace

int main() {
  platform::SetNotifyHandler([](const platform::Notification&) { return platform::NotifyAnswer::Ok; });
  int failed = 0;
  {
    ClientBench bench;
    if (!bench.Start()) return 1;
    std::printf("%-32s %13s %12s %10s   (best of %d)\n", "", "time", "files/s", "MB/s", kRounds);
    Workload& small = bench.SmallFiles();
    const std::optional<double> empty = bench::BestOf(kRounds, [&] { return bench.Retrieve(small, false); });
    Report(small.title, small, empty);
    const std::optional<double> replacing = bench::BestOf(kRounds, [&] { return bench.Retrieve(small, true); });
    Report("  replacing existing files", small, replacing);
    const std::optional<double> large =
        bench::BestOf(kRounds, [&] { return bench.Retrieve(bench.LargeFile(), false); });
    Report(bench.LargeFile().title, bench.LargeFile(), large);
    const std::optional<double> checkIn = bench::BestOf(kRounds, [&] { return bench.CheckIn(); });
    Report(bench.CheckIns().title, bench.CheckIns(), checkIn);
    ReportRatio("empty folder", kEmptyFolderGoal, small, empty);
    ReportRatio("replacing, 3 x the rate before", 3 * kReplacingBefore, small, replacing);
    for (const std::optional<double>& seconds : {empty, replacing, large, checkIn}) failed += seconds ? 0 : 1;
  }
  platform::SetNotifyHandler(nullptr);
  return failed == 0 ? 0 : 1;
}
