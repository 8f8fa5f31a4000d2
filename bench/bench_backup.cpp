// A backup of a library of many files while a writer keeps adding documents: prints
// the backup's total time, how long its last pass held the library's writers, and
// the longest any one add of the writer took while the backup ran (a writer held by
// the backup waits that long). The library has WEX_BENCH_DOCUMENTS documents (20000
// unless given), each a statistics file and a version file, in projects of 200.
// Run it from a build configured with -DWEX_BUILD_BENCH=ON: <build>/bench/bench_backup
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "bench/BenchSupport.h"
#include "common/BuiltInKeys.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/admin/LibraryBackup.h"
#include "server/store/CWexmoorDoc.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kProjectSize = 200;

double Milliseconds(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

int DocumentsAsked() {
  const char* asked = std::getenv("WEX_BENCH_DOCUMENTS");
  const int documents = asked == nullptr ? 0 : std::atoi(asked);
  return documents > 0 ? documents : 20000;
}

std::string NewProject(CWexmoorDoc& document, const std::string& name) {
  ServerProject created;
  return document.CreateProject("", name, "", created, false) == 0 ? created.GetInternalName() : "";
}

}  // namespace

int main() {
  platform::ScratchFolder scratch;
  const std::string work = scratch / "work";
  const std::string root = scratch / "lib";
  const std::string locks = scratch / "locks";
  for (const std::string& folder : {work, root, locks}) platform::fs::CreateFolder(folder);
  std::ofstream(work + "/" + CWexmoorDoc::kRootPathFileName, std::ios::binary) << "\"" << root << "\",\"\",0";
  auto document = std::make_unique<CWexmoorDoc>(CWexmoorDoc::Setup{work, locks, CertificateBuiltInKey()});
  if (!document->OnNewDocument()) {
    std::fprintf(stderr, "the library did not start\n");
    return 1;
  }
  const int documents = DocumentsAsked();
  for (int made = 0, number = 1; made < documents; made += kProjectSize, ++number) {
    const std::string project = NewProject(*document, "Filled" + std::to_string(number));
    int next = 1;
    if (project.empty() || !bench::WriteDocuments(*document, project, std::min(kProjectSize, documents - made), next)) {
      std::fprintf(stderr, "the library could not be filled\n");
      return 1;
    }
  }
  const std::string live = NewProject(*document, "Live");
  platform::fs::SyncFileSystemOf(root);

  std::atomic<bool> backingUp{true};
  Clock::duration longestAdd{};
  int adds = 0;
  std::thread writer([&] {
    while (backingUp) {
      const std::string received = root + "/TemporaryFiles/added" + std::to_string(adds) + ".wxf";
      std::ofstream(received, std::ios::binary) << "added while backing up";
      FileStatistics added;
      const Clock::time_point start = Clock::now();
      if (document->AddDocument("added" + std::to_string(adds) + ".txt", live, "bench", "", received, 22, added) != 0) {
        std::fprintf(stderr, "an add failed\n");
        return;
      }
      longestAdd = std::max(longestAdd, Clock::now() - start);
      ++adds;
    }
  });
  LibraryBackup backup(*document);
  const Clock::time_point start = Clock::now();
  const std::string problem = backup.Make(scratch / "backup");
  const Clock::duration total = Clock::now() - start;
  backingUp = false;
  writer.join();
  if (!problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return 1;
  }
  std::printf("backup of %d documents (%d files): %.0f ms in all, writers held %.1f ms\n", documents,
              2 * documents, Milliseconds(total), backup.HeldMicroseconds() / 1000.0);
  std::printf("writer: %d adds during the backup, the longest took %.1f ms\n", adds, Milliseconds(longestAdd));
  return 0;
}
