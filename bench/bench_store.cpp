// Store operations against projects of 100 and of 10000 documents: adding a small
// document, checking one document out, checking it in, and resolving the stored
// file of a reference to it. Each is reported as operations per second, then as the
// ratio of its best rate at 10000 to that at 100. With WEX_BENCH_LARGE=1 adding is
// also measured in a project of 100000 documents (its set-up takes a while). Run it
// The administration's costs are measured on a library of 10000 documents (with
// WEX_BENCH_LARGE=1 also of 250000) in 100 projects: "checked-out" on the running
// server's document once the server has been up a while, and "users" of the
// stopped library as "wexmoor admin" runs it.
// from a build configured with -DWEX_BUILD_BENCH=ON:
// <build>/bench/bench_store --benchmark_repetitions=3
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "common/BuiltInKeys.h"
#include "server/admin/AdminCommand.h"
#include "server/admin/CheckedOutList.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ProjectFileList.h"
#include "server/store/StoreFilePaths.h"

namespace {

const std::string kDoc = "Measured.txt";
const std::string kUser = "bench";

// One library for the whole run: a project per size holding kDoc and filler
// documents (copies of kDoc's files under their own names), and a project "Refs"
// with a reference to kDoc of each sized project.
class BenchLibrary {
 public:
  static BenchLibrary& Get() {
    static BenchLibrary library;
    return library;
  }

  CWexmoorDoc& Doc() { return *doc_; }
  const std::string& Project(int size) {
    auto found = projects_.find(size);
    if (found == projects_.end()) found = projects_.emplace(size, MakeProject(size)).first;
    return found->second;
  }
  const std::string& Refs() const { return refs_; }
  std::string Received(const std::string& content) {
    const std::string path = root_ + "/TemporaryFiles/bench" + std::to_string(++received_) + ".wxf";
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

 private:
  BenchLibrary() : root_(scratch_ / "lib"), doc_(bench::OpenLibrary(scratch_.Path(), root_)) {
    refs_ = NewProject("Refs");
  }

  std::string NewProject(const std::string& name) {
    ServerProject created;
    if (doc_->CreateProject("", name, "", created, false) != 0) throw std::runtime_error("project " + name);
    return created.GetInternalName();
  }

  // The fillers are written straight to disk before the store reads the project,
  // as a library of that size would hold them; kDoc is added through the store.
  std::string MakeProject(int size) {
    const std::string project = NewProject("Size" + std::to_string(size));
    int next = 1;
    if (!bench::WriteDocuments(*doc_, project, size - 1, next)) throw std::runtime_error("fillers");
    FileStatistics added;
    if (doc_->AddDocument(kDoc, project, kUser, "", Received("measured"), 8, added) != 0) {
      throw std::runtime_error("add");
    }
    FileStatistics reference;
    if (doc_->AddReference(kDoc, refs_, "", project, 1, reference, false, true) != 0) {
      throw std::runtime_error("reference");
    }
    return project;
  }

  platform::ScratchFolder scratch_;
  std::string root_;
  std::unique_ptr<CWexmoorDoc> doc_;
  std::string refs_;
  std::map<int, std::string> projects_;
  int received_ = 0;
};

// Stops the benchmark with the failed operation's code; false then.
bool Succeeded(benchmark::State& state, int code, const char* what) {
  if (code == 0) return true;
  static std::string message;
  message = std::string(what) + " failed with " + std::to_string(code);
  state.SkipWithError(message.c_str());
  return false;
}

void BM_AddDocument(benchmark::State& state) {
  BenchLibrary& library = BenchLibrary::Get();
  const std::string& project = library.Project(static_cast<int>(state.range(0)));
  static int added = 0;  // names stay unique across the repeated runs
  for (auto _ : state) {
    state.PauseTiming();
    const std::string received = library.Received("small");
    const std::string name = "Added" + std::to_string(++added) + ".txt";
    state.ResumeTiming();
    FileStatistics result;
    if (!Succeeded(state, library.Doc().AddDocument(name, project, kUser, "", received, 5, result), "add")) break;
  }
  state.counters["ops/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_CheckOut(benchmark::State& state) {
  BenchLibrary& library = BenchLibrary::Get();
  const std::string& project = library.Project(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const int checkedOut = library.Doc().CheckOutDocuments(project, kDoc, -1, kUser, false, false).code;
    if (!Succeeded(state, checkedOut, "check-out")) break;
    state.PauseTiming();
    int code = 0;
    library.Doc().CheckInDocuments(project, kUser, kDoc, 8, "", library.Received("measured"), code);
    state.ResumeTiming();
  }
  state.counters["ops/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_CheckIn(benchmark::State& state) {
  BenchLibrary& library = BenchLibrary::Get();
  const std::string& project = library.Project(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    library.Doc().CheckOutDocuments(project, kDoc, -1, kUser, false, false);
    const std::string received = library.Received("measured");
    state.ResumeTiming();
    int code = 0;
    library.Doc().CheckInDocuments(project, kUser, kDoc, 8, "", received, code);
    if (!Succeeded(state, code, "check-in")) break;
  }
  state.counters["ops/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_VersionFilePathThroughReference(benchmark::State& state) {
  BenchLibrary& library = BenchLibrary::Get();
  const std::string& project = library.Project(static_cast<int>(state.range(0)));
  const std::string folder = library.Doc().GetProjectFolderPath(library.Refs()) + "/";
  ProjectFileList list;
  list.Load(ProjectFileListPath(folder, library.Refs()));
  FileStatistics reference;
  int lines = 0;
  reference.Load(StatisticsPath(folder, list.Lookup(kDoc)), lines);
  // The reference's newest version points into the project of this size.
  for (int i = 0; i < reference.GetVersionCount(); ++i) {
    if (reference.GetVersion(i).GetInternalProjectName() == project) reference.SetHeader(reference.GetVersion(i));
  }
  for (auto _ : state) {
    const std::string path = library.Doc().GetVersionFilePath(reference);
    if (!Succeeded(state, path.empty() ? -1 : 0, "path")) break;
    benchmark::DoNotOptimize(path.data());
  }
  state.counters["ops/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

constexpr int kAdminProjects = 100;
constexpr int kAdminCheckedOut = 10;

// A stopped library of the given number of one-version documents spread over
// kAdminProjects projects, kAdminCheckedOut of them checked out; made once per size.
class AdminLibrary {
 public:
  static AdminLibrary& Get(int documents) {
    static std::map<int, std::unique_ptr<AdminLibrary>> made;
    std::unique_ptr<AdminLibrary>& library = made[documents];
    if (!library) library.reset(new AdminLibrary(documents));
    return *library;
  }
  AdminOptions Options(const std::string& command) const { return {work_, "", locks_, {command}}; }
  // The library as a running server holds it.
  std::unique_ptr<CWexmoorDoc> Serve() const {
    auto doc = std::make_unique<CWexmoorDoc>(CWexmoorDoc::Setup{work_, locks_, CertificateBuiltInKey()});
    if (!doc->OnNewDocument()) throw std::runtime_error("the administered library did not start");
    doc->StartCheckedOutWalk();
    return doc;
  }

 private:
  explicit AdminLibrary(int documents) : work_(scratch_ / "work"), locks_(scratch_ / "locks") {
    const std::string root = scratch_ / "lib";
    for (const std::string& folder : {work_, root, locks_}) platform::fs::CreateFolder(folder);
    std::ofstream(work_ + "/" + CWexmoorDoc::kRootPathFileName, std::ios::binary) << "\"" << root << "\",\"\",0";
    std::unique_ptr<CWexmoorDoc> doc = Serve();
    int next = 1;
    std::string first;
    for (int p = 0; p < kAdminProjects; ++p) {
      ServerProject created;
      if (doc->CreateProject("", "P" + std::to_string(p), "", created, false) != 0) throw std::runtime_error("project");
      if (!bench::WriteDocuments(*doc, created.GetInternalName(), documents / kAdminProjects, next)) {
        throw std::runtime_error("documents");
      }
      if (p == 0) first = created.GetInternalName();
    }
    for (int i = 0; i < kAdminCheckedOut; ++i) {
      const std::string name = "doc" + std::to_string(i) + ".txt";
      if (doc->CheckOutDocuments(first, name, -1, kUser, false, false).code != 0) throw std::runtime_error("check-out");
    }
  }

  platform::ScratchFolder scratch_;
  std::string work_;
  std::string locks_;
};

void BM_CheckedOutOfARunningServer(benchmark::State& state) {
  const std::unique_ptr<CWexmoorDoc> doc = AdminLibrary::Get(static_cast<int>(state.range(0))).Serve();
  // A server that has been up a while: its walk after start-up has ended.
  ListCheckedOut(*doc);
  for (auto _ : state) {
    const std::size_t rows = ListCheckedOut(*doc).size();
    if (rows != kAdminCheckedOut) {
      state.SkipWithError("wrong number of checked-out documents");
      break;
    }
  }
}

void BM_UsersOfAStoppedLibrary(benchmark::State& state) {
  const AdminLibrary& library = AdminLibrary::Get(static_cast<int>(state.range(0)));
  const PasswordSource none = [] { return std::optional<std::string>(); };
  for (auto _ : state) {
    std::ostringstream out;
    std::ostringstream err;
    if (RunAdminCommand(library.Options("users"), none, out, err) != 0) {
      state.SkipWithError("users refused");
      break;
    }
  }
}

// Wall-clock rates: the operations wait for the disk.
BENCHMARK(BM_AddDocument)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_CheckOut)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_CheckIn)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_VersionFilePathThroughReference)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_CheckedOutOfARunningServer)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UsersOfAStoppedLibrary)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int kLargeProject = 100000;
constexpr int kLargeAdminLibrary = 250000;

bool LargeRunAsked() {
  const char* asked = std::getenv("WEX_BENCH_LARGE");
  return asked != nullptr && *asked != '\0' && std::string(asked) != "0";
}

}  // namespace

int main(int argc, char** argv) {
  if (LargeRunAsked()) {
    benchmark::RegisterBenchmark("BM_AddDocument", BM_AddDocument)
        ->Arg(kLargeProject)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_CheckedOutOfARunningServer", BM_CheckedOutOfARunningServer)
        ->Arg(kLargeAdminLibrary)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_UsersOfAStoppedLibrary", BM_UsersOfAStoppedLibrary)
        ->Arg(kLargeAdminLibrary)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  bench::BestRateReporter reporter("ops/s");
  if (!bench::RunBenchmarks(argc, argv, reporter)) return 1;
  for (const char* name : {"BM_AddDocument", "BM_CheckOut", "BM_CheckIn", "BM_VersionFilePathThroughReference"}) {
    const double small = reporter.Rate(std::string(name) + "/100/real_time");
    const double large = reporter.Rate(std::string(name) + "/10000/real_time");
    if (small > 0) std::printf("ratio %s 10000/100 documents: %.2f (goal >= 0.85)\n", name, large / small);
  }
  const double smallAdds = reporter.Rate("BM_AddDocument/100/real_time");
  const double largeAdds = reporter.Rate("BM_AddDocument/" + std::to_string(kLargeProject) + "/real_time");
  if (smallAdds > 0 && largeAdds > 0) {
    std::printf("ratio BM_AddDocument %d/100 documents: %.2f (goal >= 0.8)\n", kLargeProject, largeAdds / smallAdds);
  }
  const double lookups = reporter.Rate("BM_VersionFilePathThroughReference/10000/real_time");
  if (lookups > 0) std::printf("read-only look-ups at 10000 documents: %.0f/s (goal >= 20000)\n", lookups);
  return 0;
}
