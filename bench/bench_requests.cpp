// Requests per second against a real server on 127.0.0.1 with 1, 8 and 32 clients
// at once: 5004 (the whole project tree) on a library of 1000 top-level projects,
// and 5015 (the document list) on a project of 1000 documents. Every client keeps
// one logged-on connection and sends one request after the other. Run from an
// optimised build configured with -DWEX_BUILD_BENCH=ON: <build>/bench/bench_requests
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/RecordFields.h"
#include "server/store/CWexmoorDoc.h"
#include "testsupport/TestServer.h"

namespace {

constexpr int kMaxClients = 32;
constexpr int kProjects = 1000;
constexpr int kDocuments = 1000;

struct Library {
  TestServer server;
  std::vector<std::unique_ptr<TestClient>> clients;
  std::string listedProject;
  bool ready = false;

  Library() { ready = server.Start() && Fill() && Connect(); }

  // 999 empty projects beside one that holds every document.
  bool Fill() {
    CWexmoorDoc& document = server.Document();
    for (int i = 0; i < kProjects; ++i) {
      ServerProject created;
      if (document.CreateProject("", "Project " + std::to_string(i), "", created, false) != 0) return false;
      if (i == 0) listedProject = created.GetInternalName();
    }
    for (int i = 0; i < kDocuments; ++i) {
      const std::string received = server.RootPath() + "/TemporaryFiles/Bench_" + std::to_string(i);
      std::ofstream(received, std::ios::binary) << "document " << i;
      FileStatistics added;
      if (document.AddDocument("doc" + std::to_string(i) + ".txt", listedProject, "bench", "", received,
                               static_cast<int>(9 + std::to_string(i).size()), added) != 0) {
        return false;
      }
    }
    return true;
  }

  bool Connect() {
    for (int i = 0; i < kMaxClients; ++i) {
      const std::string name = "bench" + std::to_string(i);
      std::optional<UserAccount> user = server.AddUser(name, "secret", false);
      if (!user) return false;
      clients.push_back(server.MakeClient(*user));
      TestClient::Reply reply;
      if (!clients.back()->Connect(server.Port()) ||
          clients.back()->Logon(name, "secret", user->GetLogonCode(), reply) != TestClient::ReceiveStatus::Ok ||
          reply.message.GetMessageId() != MSGID_LOGON_ACCEPTED) {
        return false;
      }
    }
    return true;
  }
};

Library& TheLibrary() {
  static Library library;
  return library;
}

// Each thread is one client sending `request` and waiting for `answer`.
void RunRequests(benchmark::State& state, MessageId request, const std::string& body, MessageId answer) {
  Library& library = TheLibrary();
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

void BM_RefreshProjects(benchmark::State& state) {
  RunRequests(state, MSGID_REFRESH_PROJECTS, "", MSGID_PROJECT_TREE);
}
BENCHMARK(BM_RefreshProjects)->Threads(1)->Threads(8)->Threads(32)->UseRealTime()->MinTime(2.0);

void BM_ListDocuments(benchmark::State& state) {
  RunRequests(state, MSGID_LIST_DOCUMENTS, AppendStringField(TheLibrary().listedProject, ""), MSGID_DOCUMENT_LIST);
}
BENCHMARK(BM_ListDocuments)->Threads(1)->Threads(8)->Threads(32)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
