// Bytes per second of a 50 MB document through the client's IPConnection and a
// real server on 127.0.0.1: arriving behind a 5022 reply to 5020 (the handler
// sends a file from disk, the link writes it to a temporary file) and going out
// behind 5018 (the link reads it from disk, the server writes it to a temporary
// file). Both are set against a raw copy of the same file in the same run: read
// it, send it over loopback in 60000-byte calls, receive it, write it to a new file.
// Each runs over the plain link (argument 0) and over TLS (1) in the same run.
// Run from an optimised build configured with -DWEX_BUILD_BENCH=ON:
// <build>/bench/bench_connection
#include <benchmark/benchmark.h>
#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"
#include "client/link/IPConnection.h"
#include "client/records/LibraryEntry.h"
#include "common/MessageIds.h"
#include "common/RecordFields.h"
#include "common/RecordRows.h"
#include "platform/ScratchFolder.h"
#include "server/engine/FileListBody.h"
#include "server/engine/RequestDispatcher.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ServerSettings.h"
#include "testsupport/TestServer.h"

namespace {

constexpr std::int32_t kDocumentBytes = 50 * 1000 * 1000;
using Clock = std::chrono::steady_clock;

constexpr int kPlain = 0;
constexpr int kTls = 1;
double receiveRate[2] = {0, 0};   // by link: plain, TLS
double sendRate[2] = {0, 0};
double rawRate = 0;

// A server whose 5020 handler sends the one 50 MB file and whose 5018 handler
// only notes where it received files, and two logged-on links to it: plain and TLS.
struct Library {
  platform::ScratchFolder scratch;
  TestServer server;
  std::string document;
  std::atomic<int> named{0};
  std::mutex mutex;
  std::vector<std::string> received;  // by the server, behind the last 5018
  std::unique_ptr<IPConnection> links[2];
  std::thread linkThreads[2];
  bool ready = false;

  Library() {
    document = scratch.Put("document", std::string(kDocumentBytes, 'd'));
    const std::string reply = "\"P\",1\n\"document\",1,1,\"" + document + "\"," + std::to_string(kDocumentBytes) + "\n";
    server.Dispatcher().Register(MSGID_RETRIEVE, [reply](RTE& engine, const Msg& request) {
      return RequestDispatcher::SendReply(engine, request, MSGID_RETRIEVED_DOCUMENTS, reply);
    });
    server.Dispatcher().Register(MSGID_ADD_DOCUMENTS, [this](RTE& engine, const Msg& request) {
      std::lock_guard lock(mutex);
      received = TemporaryPathsOf(std::string(request.GetBody(), request.GetBodyLength()));
      return RequestDispatcher::SendReply(engine, request, MSGID_ADD_DOCUMENTS_RESULT, "");
    });
    if (!server.EnableTls(TlsSettings::Mode::Optional) || !server.Start()) return;
    ready = StartLink(kPlain) && StartLink(kTls);
  }
  bool StartLink(int which) {
    const std::optional<UserAccount> user = server.AddUser("bench" + std::to_string(which), "secret", false);
    if (!user) return false;
    LibraryConnection account;
    account.SetName("Bench");
    account.SetHost("127.0.0.1");
    account.SetPort(server.Port());
    account.SetUserNumber(user->GetId());
    account.SetUserText(user->GetName());
    account.SetSecondLogonText("secret");
    account.SetLogonCode(user->GetLogonCode());
    account.SetKeyText(user->GetKeyText());
    account.SetKeyLength(user->GetKeyLength());
    const ServerSettings& settings = server.Document().GetSettings();
    LibraryEntry entry("Bench", settings.GetDefaultKey(), settings.GetDefaultKeyLength());
    if (which == kTls) entry.SetTlsPin(server.TlsFingerprint(), server.TlsPort());
    IPConnection::Hooks hooks;
    hooks.temporaryFileName = [this] { return scratch / ("TemporaryFile_" + std::to_string(++named) + ".wxf"); };
    std::unique_ptr<IPConnection>& link = links[which];
    link = std::make_unique<IPConnection>(hooks);
    if (!link->SetConnection(account, &entry)) return false;
    linkThreads[which] = std::thread([&link] { link->Connect(); });
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (!link->IsLoggedOn() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return link->IsLoggedOn();
  }
  ~Library() {
    for (int which : {kPlain, kTls}) {
      if (links[which]) links[which]->RequestStop();
      if (linkThreads[which].joinable()) linkThreads[which].join();
    }
  }

  // Sends `request` over the link and waits for its reply; false when none came.
  bool Ask(int which, Msg& request, Msg& reply) {
    IPConnection* link = links[which].get();
    if (link->SendMessage(request) != IPConnection::kDone) return false;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
      if (link->ReceiveMessage(reply) == IPConnection::kDone && reply.GetOriginalStamp() == request.GetOriginalStamp()) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
  }

  // One retrieval; the path of the received file, empty on failure.
  std::string Retrieve(int which) {
    Msg request;
    request.SetMessageId(MSGID_RETRIEVE);
    request.SetBody(std::string());
    Msg reply;
    if (!Ask(which, request, reply)) return "";
    // Row 2 of the handed-on body: "name",version,flag,"temporary path",size
    const std::vector<std::string> rows = SplitRecordRows(std::string(reply.GetBody(), reply.GetBodyLength()));
    if (rows.size() != 2) return "";
    std::string name, path;
    std::int32_t number = 0;
    ReadStringField(path, ReadIntField(number, ReadIntField(number, ReadStringField(name, rows[1]))));
    return path;
  }

  // The document goes out behind one 5018.
  bool Add(int which) {
    Msg request;
    request.SetMessageId(MSGID_ADD_DOCUMENTS);
    request.SetBody("\"" + scratch.Path() + "\",\"P\",1\n\"document\"," + std::to_string(kDocumentBytes) + ",\"\"\n");
    Msg reply;
    return Ask(which, request, reply) && reply.GetMessageId() == MSGID_ADD_DOCUMENTS_RESULT;
  }
};

Library& TheLibrary() {
  static Library library;
  return library;
}

// Runs `once` per iteration, timing it by hand, and `cleanUp` untimed after it;
// the bytes per second reached.
template <class Once, class CleanUp>
double Measure(benchmark::State& state, Once once, CleanUp cleanUp) {
  double seconds = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    const std::string failure = once();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    cleanUp();
    state.SetIterationTime(elapsed);
    seconds += elapsed;
    if (!failure.empty()) {
      state.SkipWithError(failure.c_str());
      return 0;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kDocumentBytes);
  return static_cast<double>(state.iterations()) * kDocumentBytes / seconds;
}

void BM_ConnectionRetrieve50MB(benchmark::State& state) {
  Library& library = TheLibrary();
  if (!library.ready) {
    state.SkipWithError("the server or the link did not start");
    return;
  }
  std::string path;
  const int which = static_cast<int>(state.range(0));
  receiveRate[which] = Measure(
      state,
      [&]() -> std::string {
        path = library.Retrieve(which);
        const bool whole = !path.empty() && std::filesystem::file_size(path) == static_cast<std::uintmax_t>(kDocumentBytes);
        return whole ? "" : "the document did not arrive whole";
      },
      [&] { std::filesystem::remove(path); });
}

void BM_ConnectionAdd50MB(benchmark::State& state) {
  Library& library = TheLibrary();
  if (!library.ready) {
    state.SkipWithError("the server or the link did not start");
    return;
  }
  const int which = static_cast<int>(state.range(0));
  sendRate[which] = Measure(
      state, [&]() -> std::string { return library.Add(which) ? "" : "the document did not go out"; },
      [&] {
        std::lock_guard lock(library.mutex);
        for (const std::string& path : library.received) std::filesystem::remove(path);
      });
}

void BM_RawCopy50MB(benchmark::State& state) {
  const std::string source = TheLibrary().document;
  const std::string target = TheLibrary().scratch / "copy";
  rawRate = Measure(
      state,
      [&]() -> std::string {
        return bench::RawLoopbackCopy(source, target, static_cast<std::size_t>(kDocumentBytes), false) ? "" : "the raw copy failed";
      },
      [&] { std::filesystem::remove(target); });
}

BENCHMARK(BM_ConnectionRetrieve50MB)->Arg(kPlain)->Arg(kTls)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);
BENCHMARK(BM_ConnectionAdd50MB)->Arg(kPlain)->Arg(kTls)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);
BENCHMARK(BM_RawCopy50MB)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (rawRate > 0) {
    std::printf("raw copy %.1f MB/s, IPConnection receive %.1f MB/s, send %.1f MB/s\n", rawRate / 1e6,
                receiveRate[kPlain] / 1e6, sendRate[kPlain] / 1e6);
    std::printf("over TLS: IPConnection receive %.1f MB/s, send %.1f MB/s\n", receiveRate[kTls] / 1e6,
                sendRate[kTls] / 1e6);
    if (receiveRate[kPlain] > 0) {
      std::printf("ratio IPConnection receive 5022 / raw copy %.3f\n", receiveRate[kPlain] / rawRate);
      std::printf("ratio IPConnection receive 5022 over TLS / plain %.3f\n", receiveRate[kTls] / receiveRate[kPlain]);
    }
    if (sendRate[kPlain] > 0) {
      std::printf("ratio IPConnection send 5018 / raw copy %.3f\n", sendRate[kPlain] / rawRate);
      std::printf("ratio IPConnection send 5018 over TLS / plain %.3f\n", sendRate[kTls] / sendRate[kPlain]);
    }
  }
  return 0;
}
