// Document transfer through a real server on 127.0.0.1: bytes/s of retrieving
// (5020) and of checking in (5026) one 50 MiB document, each also as a ratio to a
// raw loopback copy of the same bytes measured in the same run, and the total
// bytes/s of 8 clients retrieving the document at once. Each figure is the best of
// a few rounds. Run from an optimised build configured with -DWEX_BUILD_BENCH=ON:
// <build>/bench/bench_transfer
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/RecordFields.h"
#include "platform/Socket.h"
#include "server/store/CWexmoorDoc.h"
#include "testsupport/TestServer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kDocumentSize = 50u * 1024u * 1024u;
constexpr std::size_t kPiece = 60000;  // what the engine hands to one socket call
constexpr int kRounds = 3;
constexpr int kConcurrentClients = 8;
constexpr const char* kDocument = "big.bin";

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Best time of `rounds` runs of `run`, each after an untimed `prepare`; a negative
// result when anything failed.
double BestSeconds(int rounds, const std::function<bool()>& run, const std::function<bool()>& prepare = nullptr) {
  double best = -1;
  for (int i = 0; i < rounds; ++i) {
    if (prepare && !prepare()) return -1;
    const Clock::time_point start = Clock::now();
    if (!run()) return -1;
    const double seconds = Seconds(start);
    best = best < 0 ? seconds : std::min(best, seconds);
  }
  return best;
}

// Sends `size` bytes over a fresh loopback connection in engine-sized pieces while
// another thread reads them.
bool RawLoopbackCopy(std::size_t size) {
  platform::Socket listener = platform::Socket::Listen(0, 1, "127.0.0.1");
  platform::Socket sender = platform::Socket::Connect("127.0.0.1", listener.LocalPort());
  platform::Socket receiver;
  if (!sender.IsOpen() || !listener.WaitReadable(5000) || listener.Accept(receiver) != platform::IoStatus::Ok) {
    return false;
  }
  std::size_t received = 0;
  std::thread reader([&] {
    std::vector<char> buffer(64 * 1024);
    while (received < size && receiver.WaitReadable(5000)) {
      const platform::IoResult result = receiver.Receive(buffer.data(), buffer.size());
      if (result.status == platform::IoStatus::Ok) received += result.bytes;
      if (result.status == platform::IoStatus::Closed || result.status == platform::IoStatus::Failed) break;
    }
  });
  const std::string bytes(kPiece, 'x');
  for (std::size_t sent = 0; sent < size;) {
    const platform::IoResult result = sender.Send(bytes.data(), std::min(kPiece, size - sent));
    if (result.status == platform::IoStatus::Ok) sent += result.bytes;
    if (result.status == platform::IoStatus::Failed || result.status == platform::IoStatus::Closed) break;
    if (result.status == platform::IoStatus::WouldBlock) sender.WaitWritable(5000);
  }
  reader.join();
  return received == size;
}

class Library {
 public:
  bool Start() {
    if (!server_.Start()) return false;
    for (int i = 0; i < kConcurrentClients; ++i) {
      std::optional<UserAccount> user = server_.AddUser("bench" + std::to_string(i), "secret", false);
      if (!user) return false;
      std::unique_ptr<TestClient> client = server_.MakeClient(*user);
      TestClient::Reply reply;
      if (!client->Connect(server_.Port()) ||
          client->Logon(user->GetName(), "secret", user->GetLogonCode(), reply) != TestClient::ReceiveStatus::Ok ||
          reply.message.GetMessageId() != MSGID_LOGON_ACCEPTED) {
        return false;
      }
      users_.push_back(*user);
      clients_.push_back(std::move(client));
    }
    ServerProject created;
    if (server_.Document().CreateProject("", "Bench", "", created, false) != 0) return false;
    project_ = created.GetInternalName();
    FileStatistics result;
    return server_.Document().AddDocument(kDocument, project_, "bench0", "", Received(), static_cast<int>(kDocumentSize), result) == 0;
  }

  // One client retrieves the latest version and receives all of it.
  bool Retrieve(int client) {
    TestClient& peer = *clients_[static_cast<std::size_t>(client)];
    if (peer.Send(MSGID_RETRIEVE, EndRecord(AppendIntField(0, AppendStringField(project_, "")))) == 0) return false;
    TestClient::Reply reply;
    return peer.Receive(reply, 120000) == TestClient::ReceiveStatus::Ok &&
           reply.message.GetMessageId() == MSGID_RETRIEVED_DOCUMENTS && reply.files.size() == 1 &&
           reply.files[0].size() == kDocumentSize;
  }

  // Client 0 checks the document out in the store (not timed), then checks a new
  // version in through the server.
  bool CheckOut() {
    return server_.Document().CheckOutDocuments(project_, kDocument, -1, users_[0].GetName(), false, false).code == 0;
  }
  bool CheckIn(const std::string& content) {
    std::string body = EndRecord(AppendIntField(1, AppendStringField(project_, "")));
    body = EndRecord(AppendStringField("bench", AppendIntField(static_cast<std::int32_t>(kDocumentSize), AppendStringField(kDocument, body))));
    TestClient& peer = *clients_[0];
    if (peer.SendWithFiles(MSGID_CHECK_IN, body, {content}, {}) == 0) return false;
    TestClient::Reply reply;
    return peer.Receive(reply, 120000) == TestClient::ReceiveStatus::Ok &&
           reply.message.GetMessageId() == MSGID_CHECK_IN_RESULT && reply.message.GetBody() != nullptr &&
           std::string(reply.message.GetBody()).find(",1,0\n") != std::string::npos;
  }

 private:
  std::string Received() {
    const std::string path = server_.RootPath() + "/TemporaryFiles/bench_document.wxf";
    std::ofstream(path, std::ios::binary) << std::string(kDocumentSize, 'd');
    return path;
  }

  TestServer server_;
  std::vector<UserAccount> users_;
  std::vector<std::unique_ptr<TestClient>> clients_;
  std::string project_;
};

void Report(const char* what, double seconds, std::size_t bytes, double rawBytesPerSecond) {
  if (seconds <= 0) {
    std::printf("%-34s failed\n", what);
    return;
  }
  const double rate = static_cast<double>(bytes) / seconds;
  std::printf("%-34s %10.1f MB/s", what, rate / 1e6);
  if (rawBytesPerSecond > 0) std::printf("   ratio to raw loopback %.3f", rate / rawBytesPerSecond);
  std::printf("\n");
}

}  // namespace

int main() {
  const double rawSeconds = BestSeconds(kRounds, [] { return RawLoopbackCopy(kDocumentSize); });
  const double raw = rawSeconds > 0 ? static_cast<double>(kDocumentSize) / rawSeconds : 0;
  Report("raw loopback copy (50 MiB)", rawSeconds, kDocumentSize, 0);

  Library library;
  if (!library.Start()) {
    std::printf("the server or its library did not start\n");
    return 1;
  }
  Report("retrieval 5020 (50 MiB)", BestSeconds(kRounds, [&] { return library.Retrieve(0); }), kDocumentSize, raw);

  const double concurrent = BestSeconds(kRounds, [&] {
    std::vector<std::thread> clients;
    std::vector<char> done(kConcurrentClients, 0);
    for (int i = 0; i < kConcurrentClients; ++i) {
      clients.emplace_back([&, i] { done[static_cast<std::size_t>(i)] = library.Retrieve(i) ? 1 : 0; });
    }
    for (std::thread& client : clients) client.join();
    return std::all_of(done.begin(), done.end(), [](char ok) { return ok != 0; });
  });
  Report("8 concurrent retrievals, total", concurrent, kConcurrentClients * kDocumentSize, raw);

  const std::string content(kDocumentSize, 'n');
  Report("check-in 5026 (50 MiB)",
         BestSeconds(kRounds, [&] { return library.CheckIn(content); }, [&] { return library.CheckOut(); }),
         kDocumentSize, raw);
  return 0;
}
