// The local file list and its Add to Library, through the client core: the time to
// list and sort a folder of 10,000 files (each column, both directions), and files/s
// of adding a tree of 1,000 files of 1 KiB (10 folders of 100) to a library served on
// 127.0.0.1, timed from queuing the batch until every instruction is done and every
// file was marked read-only. Each figure is the best of a few rounds. Run from an
// optimised build configured with -DWEX_BUILD_BENCH=ON: <build>/bench/bench_local_list
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/rules/FolderInstructionBuilder.h"
#include "client/rules/LocalFolderListing.h"
#include "platform/fs.h"
#include "platform/Notifier.h"
#include "platform/ScratchFolder.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ServerProject.h"
#include "testsupport/TestServer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 3;
constexpr int kListedFiles = 10000;
constexpr int kTreeFolders = 10;
constexpr int kFilesPerFolder = 100;
constexpr auto kLimit = std::chrono::seconds(300);

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Write(const std::string& path, std::size_t size) {
  std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

// The best time of listing and sorting the folder by every column both ways; the
// number of rows is checked each time.
std::optional<double> ListAndSort(const std::string& folder) {
  LocalFolderListing::Library library;
  library.projectsMappedTo = [](const std::string&) { return std::vector<std::string>(); };
  library.documentNames = [](const std::string&) { return std::optional<std::vector<std::string>>(); };
  library.loadMappedProject = [](const std::string&) {};
  LocalFolderListing listing(library);
  listing.SetFolder(folder);
  std::optional<double> best;
  for (int round = 0; round < kRounds; ++round) {
    const Clock::time_point start = Clock::now();
    for (int column = 0; column < LocalFolderListing::kColumnCount; ++column) {
      for (bool ascending : {true, false}) {
        listing.SetSort(column, ascending);
        listing.Fill();
        if (listing.GetEntries().size() != kListedFiles + 2) return std::nullopt;
      }
    }
    const double seconds = Seconds(start) / (2 * LocalFolderListing::kColumnCount);
    best = best ? std::min(*best, seconds) : seconds;
  }
  return best;
}

// A server with one project "Target" and a client with the library open.
class AddBench {
 public:
  bool Start() {
    if (!server_.Start()) return Fail("the server did not start");
    const std::optional<UserAccount> user = server_.AddUser("bench", "secret", false);
    ServerProject target;
    if (!user || server_.Document().CreateProject("", "Target", "", target, false) != 0) return Fail("no library");
    target_ = target.GetInternalName();
    const std::string certificate = folder_ / "bench.wxc";
    if (!server_.WriteCertificate(user->GetId(), certificate)) return Fail("no certificate");
    app_ = std::make_unique<CBrannockApp>(folder_.Path(), "login");
    if (!app_->InitInstance() || app_->ImportCertificate(certificate) != CertificateImport::Result::Imported) {
      return Fail("the client did not start");
    }
    doc_ = CBrannockDoc::VisitLibrary(*app_, "0");
    if (doc_ == nullptr) return Fail("the library did not open");
    doc_->SetInformationHook([](const std::string& text) { std::fprintf(stderr, "shown: %s\n", text.c_str()); });
    if (!PassUntil([this] { return doc_->GetProjectTree().FindProjectByPath(target_) != nullptr; })) {
      return Fail("the project did not reach the client");
    }
    return true;
  }

  // Adds a new tree below "Target"; seconds, or none when it failed.
  std::optional<double> AddTree(int round) {
    const std::string local = folder_ / ("local" + std::to_string(round));
    const std::string top = "tree" + std::to_string(round);
    std::vector<std::string> files;
    for (int f = 0; f < kTreeFolders; ++f) {
      const std::string sub = local + "/" + top + "/folder" + std::to_string(f);
      std::filesystem::create_directories(sub);
      for (int i = 0; i < kFilesPerFolder; ++i) {
        files.push_back(sub + "/file" + std::to_string(i) + ".txt");
        Write(files.back(), 1024);
      }
    }
    const Clock::time_point start = Clock::now();
    InstructionBatch batch;
    batch.GetRuleSet().AddInclusion(FolderRule::kAllFolders, "");
    batch.GetRuleSet().AddInclusion(FolderRule::kAllDocuments, "");
    batch.SetComments("bench");
    batch.GetInstruction(0)->SetIndexName(target_);
    FolderInstructionBuilder builder(
        doc_->GetProjectTree(), [this](std::vector<LocalFileEntry>& entries, const std::string& folder,
                                       const FolderRuleSet& rules) { doc_->ScanLocalFolder(entries, folder, rules); });
    if (!builder.AddFolders(batch, {top}, local, local)) return Failed("the batch was not built");
    doc_->QueueBatch(std::move(batch));
    const bool done = PassUntil([&] {
      return doc_->GetBatches().empty() && std::all_of(files.begin(), files.end(), [](const std::string& file) {
               return platform::fs::IsReadOnly(file);
             });
    });
    const double seconds = Seconds(start);
    if (!done) return Failed("the tree was not added");
    return seconds;
  }

 private:
  bool Fail(const char* what) {
    std::fprintf(stderr, "bench_local_list: %s\n", what);
    return false;
  }
  std::optional<double> Failed(const char* what) {
    Fail(what);
    return std::nullopt;
  }
  bool PassUntil(const std::function<bool()>& done) {
    for (const Clock::time_point end = Clock::now() + kLimit; Clock::now() < end;) {
      app_->DoProcessing();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return done();
  }

  // Destroyed in reverse: the application logs off while the server still runs.
  TestServer server_;
  platform::ScratchFolder folder_;
  std::string target_;
  std::unique_ptr<CBrannockApp> app_;
  CBrannockDoc* doc_ = nullptr;
};

}  // namespace

int main() {
  platform::SetNotifyHandler([](const platform::Notification&) { return platform::NotifyAnswer::Ok; });
  int failed = 0;
  {
    platform::ScratchFolder listed;
    for (int i = 0; i < kListedFiles; ++i)
      Write(listed / ("file" + std::to_string(i) + ".dat"), static_cast<std::size_t>(i % 97));
    const std::optional<double> list = ListAndSort(listed.Path());
    if (list) {
      std::printf("list and sort %d files        %10.1f ms  (best of %d, per listing)\n", kListedFiles, *list * 1e3,
                  kRounds);
    } else {
      std::printf("list and sort %d files        failed\n", kListedFiles);
      ++failed;
    }
  }
  {
    AddBench bench;
    if (!bench.Start()) return 1;
    std::optional<double> best;
    for (int round = 0; round < kRounds; ++round) {
      const std::optional<double> seconds = bench.AddTree(round);
      if (!seconds) {
        best.reset();
        break;
      }
      best = best ? std::min(*best, *seconds) : *seconds;
    }
    const int files = kTreeFolders * kFilesPerFolder;
    if (best) {
      std::printf("add a tree of %d files         %10.1f ms %10.1f files/s  (best of %d)\n", files, *best * 1e3,
                  files / *best, kRounds);
    } else {
      std::printf("add a tree of %d files         failed\n", files);
      ++failed;
    }
  }
  platform::SetNotifyHandler(nullptr);
  return failed == 0 ? 0 : 1;
}
