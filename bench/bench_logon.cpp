// Logons per second against a real server on 127.0.0.1 with 1, 8 and 32 clients
// at once, each new code saved in the users file before its answer, and the logon
// round trip (median and 99th percentile, per client, averaged over the clients).
// Every client keeps one connection and alternates logon and logoff. At the end,
// the round trips of all clients together (p50, p99) for each number of clients,
// and the ratio of the 5 ms goal to the p99 at 32 clients (1 or more meets it).
// Run from an optimised build configured with -DWEX_BUILD_BENCH=ON:
// <build>/bench/bench_logon
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "testsupport/TestServer.h"

namespace {

constexpr int kMaxClients = 32;
constexpr double kGoalP99Ms = 5.0;

// Every round trip of every run, by number of clients.
std::mutex allRoundTripsMutex;
std::map<int, std::vector<double>> allRoundTripsMs;

struct Library {
  TestServer server;
  std::vector<UserAccount> users;
  bool ready = false;

  Library() {
    if (!server.Start()) return;
    for (int i = 0; i < kMaxClients; ++i) {
      std::optional<UserAccount> user = server.AddUser("bench" + std::to_string(i), "secret", false);
      if (!user) return;
      users.push_back(*user);
    }
    ready = true;
  }
};

Library& TheLibrary() {
  static Library library;
  return library;
}

double Percentile(std::vector<double> samples, double fraction) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  return samples[static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1))];
}

void BM_Logon(benchmark::State& state) {
  Library& library = TheLibrary();
  if (!library.ready) {
    state.SkipWithError("the server did not start");
    return;
  }
  // Each thread is one user; the users' codes carry over from run to run.
  UserAccount& user = library.users[static_cast<std::size_t>(state.thread_index())];
  std::unique_ptr<TestClient> client = library.server.MakeClient(user);
  if (!client->Connect(library.server.Port())) {
    state.SkipWithError("no connection");
    return;
  }
  std::vector<double> roundTripsMs;
  TestClient::Reply reply;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (client->Logon(user.GetName(), "secret", user.GetLogonCode(), reply) != TestClient::ReceiveStatus::Ok ||
        reply.message.GetMessageId() != MSGID_LOGON_ACCEPTED) {
      state.SkipWithError("logon refused");
      break;
    }
    roundTripsMs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    user.SetLogonCode(reply.message.GetBody());
    client->Send(MSGID_LOGOFF, "");
    if (client->Receive(reply) != TestClient::ReceiveStatus::Ok) {
      state.SkipWithError("no answer to the logoff");
      break;
    }
  }
  {
    std::lock_guard<std::mutex> lock(allRoundTripsMutex);
    std::vector<double>& all = allRoundTripsMs[state.threads()];
    all.insert(all.end(), roundTripsMs.begin(), roundTripsMs.end());
  }
  state.counters["logons/s"] = benchmark::Counter(static_cast<double>(roundTripsMs.size()), benchmark::Counter::kIsRate);
  state.counters["median_ms"] = benchmark::Counter(Percentile(roundTripsMs, 0.5), benchmark::Counter::kAvgThreads);
  state.counters["p99_ms"] = benchmark::Counter(Percentile(roundTripsMs, 0.99), benchmark::Counter::kAvgThreads);
}
BENCHMARK(BM_Logon)->Threads(1)->Threads(8)->Threads(32)->UseRealTime()->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const auto& [clients, samples] : allRoundTripsMs) {
    std::printf("logon round trip, %d clients, %zu logons: p50 %.2f ms p99 %.2f ms\n", clients, samples.size(),
                Percentile(samples, 0.5), Percentile(samples, 0.99));
  }
  const auto found = allRoundTripsMs.find(kMaxClients);
  if (found != allRoundTripsMs.end() && !found->second.empty()) {
    std::printf("ratio 5 ms goal / p99 at %d clients %.2f\n", kMaxClients,
                kGoalP99Ms / Percentile(found->second, 0.99));
  }
  return 0;
}
