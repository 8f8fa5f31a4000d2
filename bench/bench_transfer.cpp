// Document transfer between the client core (IPConnection) and a real server on
// 127.0.0.1: bytes/s of retrieving (5020) one 50 MiB document into a file,
// checking in (5026) and adding (5018) one from a file, and the total bytes/s of 8
// links retrieving it at once. Retrieval is set against a raw copy
// (read a file, send it over loopback in 60000-byte calls, receive it, write it to
// a file); check-in and add, which must store durably, against the same copy
// followed by an fsync of the written file. Both copies run in the same run and on
// the library's file system. Retrieval and check-in run once more over TLS (the
// server serves both), set against the plain link. Each figure is the best of a few rounds. Run from an
// optimised build configured with -DWEX_BUILD_BENCH=ON: <build>/bench/bench_transfer
#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"
#include "client/link/IPConnection.h"
#include "client/records/LibraryEntry.h"
#include "common/MessageIds.h"
#include "common/RecordFields.h"
#include "common/RecordRows.h"
#include "platform/FileDescriptor.h"
#include "platform/fs.h"
#include "platform/ScratchFolder.h"
#include "platform/Socket.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ServerSettings.h"
#include "testsupport/TestServer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kDocumentSize = 50u * 1024u * 1024u;
constexpr int kRounds = 5;
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

// A logged-on client core link to the server, on its own connection thread.
class Link {
 public:
  // With `tls` the link speaks TLS to the server's pinned certificate.
  Link(TestServer& server, const UserAccount& user, const std::string& temporaryFolder, bool tls) {
    LibraryConnection account;
    account.SetName("Bench");
    account.SetHost("127.0.0.1");
    account.SetPort(server.Port());
    account.SetUserNumber(user.GetId());
    account.SetUserText(user.GetName());
    account.SetSecondLogonText("secret");
    account.SetLogonCode(user.GetLogonCode());
    account.SetKeyText(user.GetKeyText());
    account.SetKeyLength(user.GetKeyLength());
    const ServerSettings& settings = server.Document().GetSettings();
    LibraryEntry entry("Bench", settings.GetDefaultKey(), settings.GetDefaultKeyLength());
    if (tls) entry.SetTlsPin(server.TlsFingerprint(), server.TlsPort());
    IPConnection::Hooks hooks;
    hooks.temporaryFileName = [this, temporaryFolder] { return temporaryFolder + "/received" + std::to_string(++named_); };
    link_ = std::make_unique<IPConnection>(hooks);
    if (!link_->SetConnection(account, &entry)) return;
    thread_ = std::thread([this] { link_->Connect(); });
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (!link_->IsLoggedOn() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~Link() {
    link_->RequestStop();
    if (thread_.joinable()) thread_.join();
  }
  bool IsLoggedOn() const { return link_->IsLoggedOn(); }

  // Sends a request and waits for its reply; the reply's body, none on failure.
  std::optional<std::string> Ask(MessageId id, const std::string& body, MessageId answer) {
    Msg request;
    request.SetMessageId(id);
    request.SetBody(body);
    if (link_->SendMessage(request) != IPConnection::kDone) return std::nullopt;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(120);
    Msg reply;
    while (Clock::now() < deadline) {
      if (link_->ReceiveMessage(reply) == IPConnection::kDone && reply.GetOriginalStamp() == request.GetOriginalStamp()) {
        if (reply.GetMessageId() != answer || reply.GetBody() == nullptr) return std::nullopt;
        return std::string(reply.GetBody(), reply.GetBodyLength());
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return std::nullopt;
  }

 private:
  std::atomic<int> named_{0};
  std::unique_ptr<IPConnection> link_;
  std::thread thread_;
};

// A server with one 50 MiB document and client links to it, each with its own
// folder for received files; link 0 also checks in and adds from its folder.
class Library {
 public:
  // The link that speaks TLS, after the plain ones.
  static constexpr int kTlsLink = kConcurrentClients;

  bool Start() {
    if (!server_.EnableTls(TlsSettings::Mode::Optional) || !server_.Start()) return false;
    for (int i = 0; i <= kTlsLink; ++i) {
      std::optional<UserAccount> user = server_.AddUser("bench" + std::to_string(i), "secret", false);
      if (!user) return false;
      const std::string folder = client_ / std::to_string(i);
      if (!platform::fs::CreateFolder(folder)) return false;
      links_.push_back(std::make_unique<Link>(server_, *user, folder, i == kTlsLink));
      if (!links_.back()->IsLoggedOn()) return false;
      users_.push_back(*user);
    }
    ServerProject created;
    if (server_.Document().CreateProject("", "Bench", "", created, false) != 0) return false;
    project_ = created.GetInternalName();
    FileStatistics result;
    std::ofstream(Source(), std::ios::binary) << std::string(kDocumentSize, 'd');
    std::ofstream(client_ / kDocument, std::ios::binary) << std::string(kDocumentSize, 'n');
    std::filesystem::create_hard_link(client_ / kDocument, client_ / Addition());
    const std::string received = Path("bench_document.wxf");
    std::ofstream(received, std::ios::binary) << std::string(kDocumentSize, 'd');
    return server_.Document().AddDocument(kDocument, project_, "bench0", "", received, static_cast<int>(kDocumentSize), result) == 0;
  }

  // A file of the document's size, for the raw copies.
  std::string Source() const { return Path("bench_source.bin"); }
  // A file on the library's file system.
  std::string Path(const std::string& name) const { return server_.RootPath() + "/TemporaryFiles/" + name; }

  // One link retrieves the latest version into a file of its folder.
  bool Retrieve(int link) {
    const std::optional<std::string> reply = links_[static_cast<std::size_t>(link)]->Ask(
        MSGID_RETRIEVE, EndRecord(AppendIntField(0, AppendStringField(project_, ""))), MSGID_RETRIEVED_DOCUMENTS);
    const std::vector<std::string> rows = SplitRecordRows(reply.value_or(""));
    if (rows.size() != 2) return false;
    std::string name, path;
    std::int32_t number = 0, size = 0;
    ReadIntField(size, ReadStringField(path, ReadIntField(number, ReadIntField(number, ReadStringField(name, rows[1])))));
    return size == static_cast<std::int32_t>(kDocumentSize) && std::filesystem::file_size(path) == kDocumentSize;
  }
  // Removes what the links received.
  bool RemoveReceived() {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(client_.Path())) {
      if (entry.path().filename().string().rfind("received", 0) == 0) std::filesystem::remove(entry.path());
    }
    return true;
  }

  // The link's user checks the document out in the store (not timed), then the
  // link checks a new version in through the server.
  bool CheckOut(int link) {
    const std::string& user = users_[static_cast<std::size_t>(link)].GetName();
    return server_.Document().CheckOutDocuments(project_, kDocument, -1, user, false, false).code == 0;
  }
  bool CheckIn(int link) { return Deliver(link, MSGID_CHECK_IN, MSGID_CHECK_IN_RESULT, kDocument); }
  // Link 0 adds its file as a new document under a new name (renamed first, not timed).
  bool NameNextAddition() {
    const std::string previous = client_ / Addition();
    ++added_;
    std::filesystem::rename(previous, client_ / Addition());
    return true;
  }
  bool Add() { return Deliver(0, MSGID_ADD_DOCUMENTS, MSGID_ADD_DOCUMENTS_RESULT, Addition()); }

 private:
  std::string Addition() const { return "added" + std::to_string(added_) + ".bin"; }

  // Sends the link's file `name` behind `request`; true when the reply says stored.
  bool Deliver(int link, MessageId request, MessageId answer, const std::string& name) {
    std::string body = EndRecord(AppendIntField(1, AppendStringField(project_, AppendStringField(client_.Path(), ""))));
    body = EndRecord(AppendStringField("bench", AppendIntField(static_cast<std::int32_t>(kDocumentSize), AppendStringField(name, body))));
    const std::optional<std::string> reply = links_[static_cast<std::size_t>(link)]->Ask(request, body, answer);
    return reply && reply->find(",1,0\n") != std::string::npos;
  }

  platform::ScratchFolder client_;
  TestServer server_;
  std::vector<UserAccount> users_;
  std::vector<std::unique_ptr<Link>> links_;
  std::string project_;
  int added_ = 0;
};

double Report(const char* what, double seconds, std::size_t bytes) {
  if (seconds <= 0) {
    std::printf("%-34s failed\n", what);
    return 0;
  }
  const double rate = static_cast<double>(bytes) / seconds;
  std::printf("%-34s %10.1f MB/s\n", what, rate / 1e6);
  return rate;
}

void Ratio(const char* what, double rate, double baseline) {
  if (rate > 0 && baseline > 0) std::printf("ratio %-44s %.3f\n", what, rate / baseline);
}

}  // namespace

int main() {
  Library library;
  if (!library.Start()) {
    std::printf("the server or its library did not start\n");
    return 1;
  }
  const std::string copy = library.Path("bench_copy.bin");
  const auto removeCopy = [&] { return std::remove(copy.c_str()) == 0 || errno == ENOENT; };
  const double raw = Report("raw copy (50 MiB)",
      BestSeconds(kRounds, [&] { return bench::RawLoopbackCopy(library.Source(), copy, kDocumentSize, false); }, removeCopy), kDocumentSize);
  const double durable = Report("durable raw copy (50 MiB)",
      BestSeconds(kRounds, [&] { return bench::RawLoopbackCopy(library.Source(), copy, kDocumentSize, true); }, removeCopy), kDocumentSize);
  removeCopy();

  const auto removeReceived = [&] { return library.RemoveReceived(); };
  const double retrieval = Report("retrieval 5020 (50 MiB)",
      BestSeconds(kRounds, [&] { return library.Retrieve(0); }, removeReceived), kDocumentSize);
  constexpr int tls = Library::kTlsLink;
  const double tlsRetrieval = Report("retrieval 5020 over TLS (50 MiB)",
      BestSeconds(kRounds, [&] { return library.Retrieve(tls); }, removeReceived), kDocumentSize);
  const double concurrent = BestSeconds(kRounds, [&] {
    std::vector<std::thread> clients;
    std::vector<char> done(kConcurrentClients, 0);
    for (int i = 0; i < kConcurrentClients; ++i) {
      clients.emplace_back([&, i] { done[static_cast<std::size_t>(i)] = library.Retrieve(i) ? 1 : 0; });
    }
    for (std::thread& client : clients) client.join();
    return std::all_of(done.begin(), done.end(), [](char ok) { return ok != 0; });
  }, removeReceived);
  Report("8 concurrent retrievals, total", concurrent, kConcurrentClients * kDocumentSize);

  const double checkIn = Report("check-in 5026 (50 MiB)",
      BestSeconds(kRounds, [&] { return library.CheckIn(0); }, [&] { return library.CheckOut(0); }), kDocumentSize);
  const double tlsCheckIn = Report("check-in 5026 over TLS (50 MiB)",
      BestSeconds(kRounds, [&] { return library.CheckIn(tls); }, [&] { return library.CheckOut(tls); }), kDocumentSize);
  const double add = Report("add 5018 (50 MiB)",
      BestSeconds(kRounds, [&] { return library.Add(); }, [&] { return library.NameNextAddition(); }), kDocumentSize);

  Ratio("retrieval 5020 / raw copy", retrieval, raw);
  Ratio("check-in 5026 / durable raw copy", checkIn, durable);
  Ratio("add 5018 / durable raw copy", add, durable);
  Ratio("retrieval 5020 over TLS / plain", tlsRetrieval, retrieval);
  Ratio("check-in 5026 over TLS / plain", tlsCheckIn, checkIn);
  return 0;
}
