// Batch adds while another program writes 1 GiB to the same file system: how long
// the batch adds take (their own syncs) against how long single adds of another
// writer were held meanwhile. Run it from a build configured with -DWEX_BUILD_BENCH=ON:
// <build>/bench/bench_durability
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"
#include "platform/ScratchFolder.h"
#include "server/store/CWexmoorDoc.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kBatchFiles = 64;
constexpr int kBatches = 8;
constexpr std::size_t kChunk = 1 << 20;
constexpr std::size_t kOtherProgramBytes = std::size_t{1} << 30;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Durations {
  double longest = 0;
  double total = 0;
  int count = 0;
  void Add(double milliseconds) {
    longest = std::max(longest, milliseconds);
    total += milliseconds;
    ++count;
  }
  void Print(const char* what) const {
    std::printf("%-34s %4d, longest %8.1f ms, mean %7.1f ms\n", what, count, longest, count > 0 ? total / count : 0.0);
  }
};

class Library {
 public:
  Library() : root_(scratch_ / "lib"), doc_(bench::OpenLibrary(scratch_.Path(), root_)) {
    ServerProject created;
    if (doc_->CreateProject("", "Durability", "", created, false) != 0) std::abort();
    project_ = created.GetInternalName();
  }
  CWexmoorDoc& Doc() { return *doc_; }
  const std::string& Project() const { return project_; }
  const std::string& Scratch() const { return scratch_.Path(); }
  CWexmoorDoc::NewDocument Received(const std::string& name) {
    const std::string content = "content of " + name;
    const std::string path = root_ + "/TemporaryFiles/received" + std::to_string(++received_) + ".wxf";
    std::ofstream(path, std::ios::binary) << content;
    return {name, "", path, static_cast<int>(content.size())};
  }

 private:
  platform::ScratchFolder scratch_;
  std::string root_;
  std::unique_ptr<CWexmoorDoc> doc_;
  std::string project_;
  std::atomic<int> received_{0};
};

// Writes kOtherProgramBytes to a file of its own, unsynced, as a busy neighbour would.
void WriteAsOtherProgram(const std::string& path, std::atomic<std::size_t>& written, std::atomic<bool>& done) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const std::vector<char> chunk(kChunk, 'x');
  while (fd >= 0 && written < kOtherProgramBytes &&
         ::write(fd, chunk.data(), chunk.size()) == static_cast<ssize_t>(kChunk)) {
    written += kChunk;
  }
  if (fd >= 0) ::close(fd);
  done = true;
}

}  // namespace

int main() {
  Library library;
  std::atomic<std::size_t> written{0};
  std::atomic<bool> otherProgramDone{false};
  std::thread otherProgram(WriteAsOtherProgram, library.Scratch() + "/other-program.bin", std::ref(written),
                           std::ref(otherProgramDone));
  // The batch adds start once the neighbour has a quarter of its bytes in memory.
  while (written < kOtherProgramBytes / 4 && !otherProgramDone) std::this_thread::yield();

  std::atomic<bool> batchesDone{false};
  Durations single;
  std::thread otherWriter([&] {
    for (int n = 0; !batchesDone; ++n) {
      const CWexmoorDoc::NewDocument received = library.Received("single" + std::to_string(n) + ".txt");
      FileStatistics result;
      const Clock::time_point start = Clock::now();
      library.Doc().AddDocument(received.name, library.Project(), "bench", "", received.receivedFilePath,
                                received.fileSize, result);
      single.Add(MillisecondsSince(start));
    }
  });
  Durations batches;
  int failed = 0;
  for (int b = 0; b < kBatches; ++b) {
    std::vector<CWexmoorDoc::NewDocument> documents;
    for (std::size_t i = 0; i < kBatchFiles; ++i) {
      documents.push_back(library.Received("batch" + std::to_string(b) + "-" + std::to_string(i) + ".txt"));
    }
    const Clock::time_point start = Clock::now();
    for (const CWexmoorDoc::AddedDocument& added : library.Doc().AddDocuments(library.Project(), "bench", documents)) {
      failed += added.code != 0;
    }
    batches.Add(MillisecondsSince(start));
  }
  batchesDone = true;
  otherWriter.join();
  const double neighbourMegabytes = static_cast<double>(written) / (1 << 20);
  otherProgram.join();
  std::printf("another program wrote %.0f MiB meanwhile; %d batch file(s) refused\n", neighbourMegabytes, failed);
  batches.Print("batch adds of 64 files:");
  single.Print("single adds held meanwhile:");
  return failed == 0 ? 0 : 1;
}
