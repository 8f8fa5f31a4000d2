// Bytes per second of a 50 MB document arriving behind a 5022 reply through the
// client's IPConnection from a real server on 127.0.0.1 (the request handler
// sends a file from the library's disk), against a raw copy of 50 MB between two
// loopback sockets in the same run, and the ratio of the two. Run from an
// optimised build configured with -DWEX_BUILD_BENCH=ON: <build>/bench/bench_connection
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "client/core/IPConnection.h"
#include "client/core/LibraryEntry.h"
#include "common/RecordRows.h"
#include "client/core/SocketTransfer.h"
#include "common/MessageIds.h"
#include "common/RecordFields.h"
#include "platform/ScratchFolder.h"
#include "server/engine/RequestDispatcher.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ServerSettings.h"
#include "testsupport/TestServer.h"

namespace {

constexpr std::int32_t kDocumentBytes = 50 * 1000 * 1000;
using Clock = std::chrono::steady_clock;

double connectionRate = 0;
double rawRate = 0;

// A server whose 5020 handler sends the one 50 MB file, and a logged-on link to it.
struct Library {
  platform::ScratchFolder scratch;
  TestServer server;
  std::string document;
  std::atomic<int> named{0};
  std::unique_ptr<IPConnection> link;
  std::thread linkThread;
  bool ready = false;

  Library() {
    document = scratch.Put("document", std::string(kDocumentBytes, 'd'));
    const std::string reply = "\"P\",1\n\"document\",1,1,\"" + document + "\"," + std::to_string(kDocumentBytes) + "\n";
    server.Dispatcher().Register(MSGID_RETRIEVE, [reply](RTE& engine, const Msg& request) {
      return RequestDispatcher::SendReply(engine, request, MSGID_RETRIEVED_DOCUMENTS, reply);
    });
    if (!server.Start()) return;
    const std::optional<UserAccount> user = server.AddUser("bench", "secret", false);
    if (!user) return;
    LibraryConnection account;
    account.SetName("Bench");
    account.SetHost("127.0.0.1");
    account.SetPort(server.Port());
    account.SetUserNumber(user->GetId());
    account.SetUserText("bench");
    account.SetSecondLogonText("secret");
    account.SetLogonCode(user->GetLogonCode());
    account.SetKeyText(user->GetKeyText());
    account.SetKeyLength(user->GetKeyLength());
    const ServerSettings& settings = server.Document().GetSettings();
    const LibraryEntry entry("Bench", settings.GetDefaultKey(), settings.GetDefaultKeyLength());
    IPConnection::Hooks hooks;
    hooks.temporaryFileName = [this] { return scratch / ("TemporaryFile_" + std::to_string(++named) + ".wxf"); };
    link = std::make_unique<IPConnection>(hooks);
    if (!link->SetConnection(account, &entry)) return;
    linkThread = std::thread([this] { link->Connect(); });
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (!link->IsLoggedOn() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ready = link->IsLoggedOn();
  }
  ~Library() {
    if (link) link->RequestStop();
    if (linkThread.joinable()) linkThread.join();
  }

  // One retrieval; the path of the received file, empty on failure.
  std::string Retrieve() {
    Msg request;
    request.SetMessageId(MSGID_RETRIEVE);
    request.SetBody(std::string());
    if (link->SendMessage(request) != IPConnection::kDone) return "";
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
    Msg reply;
    while (Clock::now() < deadline) {
      if (link->ReceiveMessage(reply) == IPConnection::kDone && reply.GetOriginalStamp() == request.GetOriginalStamp()) {
        // Row 2 of the handed-on body: "name",version,flag,"temporary path",size
        const std::vector<std::string> rows = SplitRecordRows(std::string(reply.GetBody(), reply.GetBodyLength()));
        if (rows.size() != 2) return "";
        std::string name, path;
        std::int32_t number = 0;
        ReadStringField(path, ReadIntField(number, ReadIntField(number, ReadStringField(name, rows[1]))));
        return path;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return "";
  }
};

void BM_ConnectionRetrieve50MB(benchmark::State& state) {
  static Library library;
  if (!library.ready) {
    state.SkipWithError("the server or the link did not start");
    return;
  }
  double seconds = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    const std::string path = library.Retrieve();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(elapsed);
    seconds += elapsed;
    if (path.empty() || std::filesystem::file_size(path) != static_cast<std::uintmax_t>(kDocumentBytes)) {
      state.SkipWithError("the document did not arrive whole");
      return;
    }
    std::filesystem::remove(path);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kDocumentBytes);
  connectionRate = static_cast<double>(state.iterations()) * kDocumentBytes / seconds;
}

void BM_RawLoopbackCopy50MB(benchmark::State& state) {
  platform::Socket listener = platform::Socket::Listen(0, 1, "127.0.0.1");
  platform::Socket sender = platform::Socket::Connect("127.0.0.1", listener.LocalPort());
  platform::Socket receiver;
  if (!listener.WaitReadable(10000) || listener.Accept(receiver) != platform::IoStatus::Ok) {
    state.SkipWithError("no loopback pair");
    return;
  }
  std::atomic<bool> never{false};
  const std::vector<char> data(kDocumentBytes, 'r');
  std::vector<char> received(SocketTransfer::kMaxCallBytes);
  double seconds = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    std::thread writer([&] { SocketTransfer(sender, never, 12000).Write(data.data(), data.size()); });
    SocketTransfer reader(receiver, never, 12000);
    for (std::size_t left = data.size(); left > 0;) {
      const std::size_t n = std::min(left, received.size());
      if (reader.Read(received.data(), n) != SocketTransfer::Outcome::Done) break;
      left -= n;
    }
    writer.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(elapsed);
    seconds += elapsed;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kDocumentBytes);
  rawRate = static_cast<double>(state.iterations()) * kDocumentBytes / seconds;
}

// Timed by hand: deleting the received file between iterations is not transfer.
BENCHMARK(BM_ConnectionRetrieve50MB)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);
BENCHMARK(BM_RawLoopbackCopy50MB)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (connectionRate > 0 && rawRate > 0) {
    std::printf("IPConnection %.1f MB/s, raw loopback %.1f MB/s, ratio %.3f\n", connectionRate / 1e6, rawRate / 1e6,
                connectionRate / rawRate);
  }
  return 0;
}
