// Throughput of a connection engine on loopback: a 64 MiB file received behind
// request 5018 and sent behind reply 5022, each next to a raw loopback copy of the
// same file (read, send in 60000-byte calls, receive, write, through plain file
// descriptors) in the same run, and the ratio of the two; each the best of 3 runs.
// Run it from an optimised build configured with -DWEX_BUILD_BENCH=ON:
// <build>/bench/bench_engine
#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"
#include "common/BuiltInKeys.h"
#include "common/MessageIds.h"
#include "platform/ScratchFolder.h"
#include "platform/Socket.h"
#include "platform/fs.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/FileListBody.h"
#include "server/engine/RTE.h"
#include "server/engine/TcpEngineSocket.h"
#include "server/store/CWexmoorDoc.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kFileSize = 64u * 1024u * 1024u;
constexpr int kUserId = 7;
constexpr int kRounds = 3;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Pair {
  Pair() : listening(platform::Socket::Listen(0, 1, "127.0.0.1")) {
    client = platform::Socket::Connect("127.0.0.1", listening.LocalPort());
  }
  // The engine's end, accepted from the listener.
  std::unique_ptr<EngineSocket> Accepted() {
    platform::Socket accepted;
    if (listening.WaitReadable(5000)) listening.Accept(accepted);
    return std::make_unique<TcpEngineSocket>(std::move(accepted));
  }
  platform::Socket listening;
  platform::Socket client;
};

// The raw loopback copy of the file into a new `target`, timed.
double RawCopySeconds(const std::string& source, const std::string& target) {
  platform::fs::DeleteFile(target);
  const auto begun = Clock::now();
  return bench::RawLoopbackCopy(source, target, kFileSize, false) ? Seconds(Clock::now() - begun) : -1;
}

// The shortest of a few runs of `run` (seconds, negative on failure).
template <class Run>
double Best(Run run) {
  double best = -1;
  for (int round = 0; round < kRounds; ++round) {
    const double seconds = run();
    if (seconds <= 0) return -1;
    if (best < 0 || seconds < best) best = seconds;
  }
  return best;
}

class Bench {
 public:
  Bench() {
    const std::string work = scratch_ / "work";
    root_ = scratch_ / "lib";
    for (const std::string& folder : {work, root_, scratch_ / "locks"}) platform::fs::CreateFolder(folder);
    scratch_.Put("work/" + std::string(CWexmoorDoc::kRootPathFileName), "\"" + root_ + "\",\"\",0");
    document_ = std::make_unique<CWexmoorDoc>(CWexmoorDoc::Setup{work, scratch_ / "locks", CertificateBuiltInKey()});
    CWexmoorDoc::SetDocument(document_.get());
    started_ = document_->OnNewDocument();
    UserAccount account;
    account.SetId(kUserId);
    account.SetName("bench");
    account.SetKeyText(UserAccount::RandomKeyText(account.GetKeyLength()));
    document_->GetSettings().AddUser(account);
    userKey_.Add(account.GetKeyLength(), account.GetKeyText(), 1);
    source_ = scratch_.Put("source.bin", std::string(kFileSize, 'w'));
  }
  ~Bench() { document_.reset(); }

  bool Started() const { return started_; }
  std::string Scratch(const std::string& name) const { return scratch_ / name; }
  const std::string& Source() const { return source_; }

  // Seconds from the first byte sent to the request reaching the handler.
  double ReceiveSeconds() {
    std::mutex mutex;
    std::condition_variable arrived;
    bool done = false;
    app_.SetMessageHandler([&](RTE&, const Msg&) {
      std::lock_guard<std::mutex> lock(mutex);
      done = true;
      arrived.notify_all();
      return true;
    });
    Pair pair;
    RTE engine(app_);
    engine.Attach(pair.Accepted());
    engine.CompleteLogon(User());
    std::thread run([&] { engine.Run(); });

    const std::string body = "\"WXP\",1\n\"big.bin\"," + std::to_string(kFileSize) + ",\"bench\"\n";
    std::string wire = Header(MSGID_ADD_DOCUMENTS, body.size()) + Scrambled(body);
    std::string file(kFileSize, 'w');
    userKey_.Encode(0, static_cast<std::int64_t>(file.size()), file.data());

    const auto begun = Clock::now();
    bench::SendAll(pair.client, wire.data(), wire.size());
    bench::SendAll(pair.client, file.data(), file.size());
    {
      std::unique_lock<std::mutex> lock(mutex);
      arrived.wait_for(lock, std::chrono::seconds(120), [&] { return done; });
    }
    const double seconds = Seconds(Clock::now() - begun);
    engine.Stop();
    run.join();
    return done ? seconds : -1;
  }

  // Seconds from queueing the reply to the last file byte at the client.
  double SendSeconds() {
    Pair pair;
    RTE engine(app_);
    engine.Attach(pair.Accepted());
    engine.CompleteLogon(User());
    std::thread run([&] { engine.Run(); });

    Msg reply;
    reply.SetMessageId(MSGID_RETRIEVED_DOCUMENTS);
    reply.SetBody("\"WXP\",1\n\"big.bin\",1,1,\"" + source_ + "\"," + std::to_string(kFileSize) + "\n");
    std::string field1;
    std::vector<OutgoingFile> files;
    ParseFileReply(reply.GetBody(), field1, files);
    const std::size_t wireLength = Msg::kHeaderSize + BuildWireFileReply(field1, files).size() + kFileSize;
    std::vector<char> received(bench::kSocketCall);

    const auto begun = Clock::now();
    engine.QueueMessage(reply);
    bool ok = true;
    for (std::size_t left = wireLength; ok && left > 0;) {
      const std::size_t piece = std::min(bench::kSocketCall, left);
      ok = bench::ReceiveAll(pair.client, received.data(), piece);
      left -= piece;
    }
    const double seconds = Seconds(Clock::now() - begun);
    engine.Stop();
    run.join();
    return ok ? seconds : -1;
  }

 private:
  static UserIdentity User() {
    UserIdentity identity;
    identity.SetUserId(kUserId);
    return identity;
  }
  std::string Header(std::uint32_t id, std::size_t bodyLength) const {
    Msg message;
    message.SetUserIdentity(User());
    message.SetMessageId(id);
    message.SetBodyLength(static_cast<std::uint32_t>(bodyLength));
    unsigned char header[Msg::kHeaderSize];
    message.WriteHeader(header);
    userKey_.Encode(0, sizeof header, header);
    return std::string(reinterpret_cast<char*>(header), sizeof header);
  }
  std::string Scrambled(std::string bytes) const {
    userKey_.Encode(0, static_cast<std::int64_t>(bytes.size()), bytes.data());
    return bytes;
  }

  platform::ScratchFolder scratch_;
  std::string root_;
  std::string source_;
  std::unique_ptr<CWexmoorDoc> document_;
  bool started_ = false;
  Codec userKey_;
  CWexmoorApp app_;
};

void Report(const char* what, double seconds, double rawSeconds) {
  const double rate = static_cast<double>(kFileSize) / seconds;
  const double raw = static_cast<double>(kFileSize) / rawSeconds;
  std::printf("%-28s %8.1f MiB/s  raw copy %8.1f MiB/s\n", what, rate / 1048576.0, raw / 1048576.0);
  std::printf("ratio %-22s / raw copy %.3f\n", what, rate / raw);
}

}  // namespace

int main() {
  Bench bench;
  if (!bench.Started()) {
    std::fprintf(stderr, "the library did not start\n");
    return 1;
  }
  const double raw = Best([&] { return RawCopySeconds(bench.Source(), bench.Scratch("copy.bin")); });
  const double received = Best([&] { return bench.ReceiveSeconds(); });
  const double sent = Best([&] { return bench.SendSeconds(); });
  if (raw <= 0 || received <= 0 || sent <= 0) {
    std::fprintf(stderr, "a transfer failed\n");
    return 1;
  }
  Report("received behind 5018", received, raw);
  Report("sent behind 5022", sent, raw);
  return 0;
}
