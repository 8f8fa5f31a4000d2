// Requests per second against real servers on 127.0.0.1. 5015 (the document list)
// of a project of 1000 documents with 1, 8 and 32 clients at once; then, with one
// client, 5004 (the whole project tree), 5015 and 5028 (the version list) of a
// project of 100 documents in a library of 100 and in one of 10000 documents, each
// with 100 top-level projects, and the ratio of the two. Every client keeps one
// logged-on connection and sends one request after the other. With WEX_BENCH_LARGE=1
// also 5018 of 1000 small files into a project of 100 and into one of 100000
// documents, as files per second. Run from an optimised build configured with
// -DWEX_BUILD_BENCH=ON: <build>/bench/bench_requests
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "common/RecordFields.h"
#include "platform/MemoryPools.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "testsupport/TestServer.h"

namespace {

constexpr int kMaxClients = 32;
constexpr int kProjects = 100;
constexpr int kListed = 100;    // documents of the project listed in both libraries
constexpr int kLarge = 1000;    // documents of the large project of the big library
constexpr int kSmallLibrary = 100;
constexpr int kBigLibrary = 10000;
constexpr int kAddedFiles = 1000;     // files of one 5018
constexpr int kAddTarget = 100000;    // documents of the project added to

// A client of `server` logged on as a new user `name`; null when that fails.
std::unique_ptr<TestClient> LoggedOnClient(TestServer& server, const std::string& name) {
  std::optional<UserAccount> user = server.AddUser(name, "secret", false);
  if (!user) return nullptr;
  std::unique_ptr<TestClient> client = server.MakeClient(*user);
  TestClient::Reply reply;
  if (!client->Connect(server.Port()) ||
      client->Logon(name, "secret", user->GetLogonCode(), reply) != TestClient::ReceiveStatus::Ok ||
      reply.message.GetMessageId() != MSGID_LOGON_ACCEPTED) {
    return nullptr;
  }
  return client;
}

struct Library {
  TestServer server;
  std::vector<std::unique_ptr<TestClient>> clients;
  std::string listedProject;  // kListed documents
  std::string largeProject;   // kLarge documents (big library only)
  bool ready = false;

  explicit Library(int documents) { ready = server.Start() && Fill(documents) && Connect(); }

  // Project 0 holds kListed documents, project 1 of the big library kLarge, and the
  // rest are spread over the other projects. The record files are written straight
  // to disk before the server reads any of them, as a grown library holds them.
  bool Fill(int documents) {
    CWexmoorDoc& document = server.Document();
    std::vector<std::string> projects;
    for (int i = 0; i < kProjects; ++i) {
      ServerProject created;
      if (document.CreateProject("", "Project " + std::to_string(i), "", created, false) != 0) return false;
      projects.push_back(created.GetInternalName());
    }
    listedProject = projects[0];
    std::vector<int> counts(kProjects, 0);
    counts[0] = kListed;
    if (documents > kListed) {
      largeProject = projects[1];
      counts[1] = kLarge;
      const int rest = documents - kListed - kLarge;
      for (int i = 2; i < kProjects; ++i) counts[i] = rest / (kProjects - 2) + (i - 2 < rest % (kProjects - 2) ? 1 : 0);
    }
    int next = 0;
    for (int i = 0; i < kProjects; ++i) {
      if (!bench::WriteDocuments(document, projects[i], counts[i], next)) return false;
    }
    return true;
  }

  bool Connect() {
    for (int i = 0; i < kMaxClients; ++i) {
      clients.push_back(LoggedOnClient(server, "bench" + std::to_string(i)));
      if (!clients.back()) return false;
    }
    return true;
  }
};

Library& TheLibrary(int documents) {
  // Every thread of a run asks for it: the first builds it, the others wait.
  static std::mutex building;
  const std::lock_guard lock(building);
  static std::map<int, std::unique_ptr<Library>> libraries;
  auto& library = libraries[documents];
  if (!library) library = std::make_unique<Library>(documents);
  return *library;
}

// Each thread is one client sending `request` and waiting for `answer`.
void RunRequests(benchmark::State& state, Library& library, MessageId request, const std::string& body,
                 MessageId answer) {
  if (!library.ready) {
    state.SkipWithError("the library could not be built");
    return;
  }
  TestClient& client = *library.clients[static_cast<std::size_t>(state.thread_index())];
  TestClient::Reply reply;
  std::int64_t bodyBytes = 0;
  for (auto _ : state) {
    if (client.Send(request, body) == 0 || client.Receive(reply) != TestClient::ReceiveStatus::Ok ||
        reply.message.GetMessageId() != answer) {
      state.SkipWithError("the request was not answered");
      break;
    }
    bodyBytes = reply.message.GetBodyLength();
  }
  state.counters["requests/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["reply_bytes"] = benchmark::Counter(static_cast<double>(bodyBytes), benchmark::Counter::kAvgThreads);
}

void BM_ListLargeProject(benchmark::State& state) {
  Library& library = TheLibrary(kBigLibrary);
  RunRequests(state, library, MSGID_LIST_DOCUMENTS, AppendStringField(library.largeProject, ""), MSGID_DOCUMENT_LIST);
  // What the store's record cache holds of the library by then (its bound: 64 MiB).
  if (library.ready && state.thread_index() == 0) {
    const double held = static_cast<double>(library.server.Document().GetRecordCache().HeldBytes());
    state.counters["cache_MiB"] = held / (1 << 20);
  }
}
BENCHMARK(BM_ListLargeProject)->Threads(1)->Threads(8)->Threads(32)->UseRealTime()->MinTime(2.0);

void BM_RefreshProjects(benchmark::State& state) {
  RunRequests(state, TheLibrary(static_cast<int>(state.range(0))), MSGID_REFRESH_PROJECTS, "", MSGID_PROJECT_TREE);
}
BENCHMARK(BM_RefreshProjects)->Arg(kSmallLibrary)->Arg(kBigLibrary)->UseRealTime()->MinTime(2.0);

void BM_ListDocuments(benchmark::State& state) {
  Library& library = TheLibrary(static_cast<int>(state.range(0)));
  RunRequests(state, library, MSGID_LIST_DOCUMENTS, AppendStringField(library.listedProject, ""), MSGID_DOCUMENT_LIST);
}
BENCHMARK(BM_ListDocuments)->Arg(kSmallLibrary)->Arg(kBigLibrary)->UseRealTime()->MinTime(2.0);

void BM_ListVersions(benchmark::State& state) {
  Library& library = TheLibrary(static_cast<int>(state.range(0)));
  RunRequests(state, library, MSGID_LIST_VERSIONS, AppendStringField(library.listedProject, ""), MSGID_VERSION_LIST);
}
BENCHMARK(BM_ListVersions)->Arg(kSmallLibrary)->Arg(kBigLibrary)->UseRealTime()->MinTime(2.0);

// One project of a given size, written straight to disk, and one client adding to it.
struct AddLibrary {
  TestServer server;
  std::unique_ptr<TestClient> client;
  std::string project;
  int added = 0;  // names stay unique across the runs
  bool ready = false;

  explicit AddLibrary(int documents) {
    ServerProject created;
    int next = 0;
    // The written library reaches the disk before anything is timed: an add flushes
    // its own files, not the thousands written unsynced to set it up.
    ready = server.Start() && server.Document().CreateProject("", "Added to", "", created, false) == 0 &&
            bench::WriteDocuments(server.Document(), created.GetInternalName(), documents, next) &&
            platform::fs::SyncFileSystemOf(server.Document().GetRootPath()) &&
            (client = LoggedOnClient(server, "adder")) != nullptr;
    project = created.GetInternalName();
  }
};

// The files per second of each size's 5018, for the summary.
std::map<int, double> addRates;

void BM_AddFiles(benchmark::State& state) {
  static std::map<int, std::unique_ptr<AddLibrary>> libraries;
  auto& library = libraries[static_cast<int>(state.range(0))];
  if (!library) library = std::make_unique<AddLibrary>(static_cast<int>(state.range(0)));
  if (!library->ready) {
    state.SkipWithError("the library could not be built");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    std::string body = EndRecord(AppendIntField(kAddedFiles, AppendStringField(library->project, "")));
    std::vector<std::string> files;
    for (int i = 0; i < kAddedFiles; ++i) {
      files.push_back("added " + std::to_string(++library->added));
      body = AppendIntField(static_cast<std::int32_t>(files.back().size()),
                            AppendStringField("Added" + std::to_string(library->added) + ".txt", body));
      body = EndRecord(AppendStringField("", body));
    }
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    TestClient::Reply reply;
    if (library->client->SendWithFiles(MSGID_ADD_DOCUMENTS, body, files, TestClient::SendOptions()) == 0 ||
        library->client->Receive(reply, 600000) != TestClient::ReceiveStatus::Ok ||
        reply.message.GetMessageId() != MSGID_ADD_DOCUMENTS_RESULT) {
      state.SkipWithError("the files were not added");
      break;
    }
    const std::string text(reply.message.GetBody(), reply.message.GetBodyLength());
    int stored = 0;
    for (std::size_t at = text.find(",1,0\n"); at != std::string::npos; at = text.find(",1,0\n", at + 1)) ++stored;
    if (stored != kAddedFiles) {
      state.SkipWithError("a file was refused");
      break;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double& best = addRates[static_cast<int>(state.range(0))];
    best = std::max(best, kAddedFiles / seconds);
  }
  state.counters["files/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kAddedFiles, benchmark::Counter::kIsRate);
}

bool LargeRunAsked() {
  const char* asked = std::getenv("WEX_BENCH_LARGE");
  return asked != nullptr && *asked != '\0' && std::string(asked) != "0";
}

}  // namespace

int main(int argc, char** argv) {
  platform::SetUpServerAllocator();   // as the server program starts
  if (LargeRunAsked()) {
    benchmark::RegisterBenchmark("BM_AddFiles", BM_AddFiles)->Arg(kListed)->Arg(kAddTarget)->Iterations(1)->UseRealTime();
  }
  bench::BestRateReporter reporter("requests/s");
  if (!bench::RunBenchmarks(argc, argv, reporter)) return 1;
  const double large = reporter.Rate("BM_ListLargeProject/min_time:2.000/real_time/threads:1");
  if (large > 0) std::printf("5015 of %d documents, one client: %.0f requests/s (goal >= 1000)\n", kLarge, large);
  const double eight = reporter.Rate("BM_ListLargeProject/min_time:2.000/real_time/threads:8");
  if (large > 0) {
    std::printf("ratio 5015 of %d documents, 8 clients / 1 client: %.2f (goal >= 5)\n", kLarge, eight / large);
  }
  for (const char* name : {"BM_RefreshProjects", "BM_ListDocuments", "BM_ListVersions"}) {
    const std::string prefix = std::string(name) + "/";
    const double small = reporter.Rate(prefix + std::to_string(kSmallLibrary) + "/min_time:2.000/real_time");
    const double big = reporter.Rate(prefix + std::to_string(kBigLibrary) + "/min_time:2.000/real_time");
    if (small > 0) {
      std::printf("ratio %s library %d/%d documents: %.2f (goal >= 0.8)\n", name, kBigLibrary, kSmallLibrary,
                  big / small);
    }
  }
  const double smallAdds = addRates[kListed];
  const double largeAdds = addRates[kAddTarget];
  if (largeAdds > 0) {
    std::printf("5018 of %d files into %d documents: %.0f files/s (goal >= 1000)\n", kAddedFiles, kAddTarget, largeAdds);
  }
  if (smallAdds > 0 && largeAdds > 0) {
    std::printf("ratio 5018 into %d/%d documents: %.2f (goal >= 0.8)\n", kAddTarget, kListed, largeAdds / smallAdds);
  }
  return 0;
}
