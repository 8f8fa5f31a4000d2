#include "server/engine/RTE.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "common/MessageIds.h"
#include "common/TraceError.h"
#include "platform/MemoryPools.h"
#include "server/engine/EngineTestLibrary_test.h"
#include "server/engine/FileListBody.h"
#include "server/engine/TcpEngineSocket.h"

namespace {

using enginetest::Library;
using enginetest::Loopback;
using enginetest::WaitUntil;

UserIdentity User7() {
  UserIdentity identity;
  identity.SetUserId(enginetest::kUserId);
  return identity;
}

// Collects the requests the engine hands on, and the traces of the process.
class Recorder {
 public:
  explicit Recorder(CWexmoorApp& app) {
    app.SetMessageHandler([this](RTE& engine, const Msg& request) {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
      return reply_ ? reply_(engine, request) : true;
    });
    SetTraceErrorSink([this](const std::string& text) {
      std::lock_guard<std::mutex> lock(mutex_);
      traces_.push_back(text);
    });
  }
  ~Recorder() { SetTraceErrorSink(nullptr); }

  void SetReply(std::function<bool(RTE&, const Msg&)> reply) { reply_ = std::move(reply); }
  std::vector<Msg> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
  }
  bool HasTrace(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::find(traces_.begin(), traces_.end(), text) != traces_.end();
  }

 private:
  std::mutex mutex_;
  std::vector<Msg> requests_;
  std::vector<std::string> traces_;
  std::function<bool(RTE&, const Msg&)> reply_;
};

// An engine on a loopback connection, run on its own thread.
class EngineOnLoopback {
 public:
  EngineOnLoopback(CWexmoorApp& app, bool logOn, std::function<void()> startHook = nullptr,
                   TransferBudget* budget = nullptr)
      : engine(app) {
    if (budget != nullptr) engine.SetTransferBudget(*budget);
    platform::Socket accepted = link.Accepted();
    EXPECT_TRUE(accepted.IsOpen());
    engine.Attach(std::make_unique<TcpEngineSocket>(std::move(accepted)));
    if (logOn) {
      EXPECT_TRUE(engine.CompleteLogon(User7()));
    }
    if (startHook) engine.SetThreadStartHook(std::move(startHook));
    thread = std::thread([this] { engine.Run(); });
  }
  ~EngineOnLoopback() {
    engine.Stop();
    thread.join();
  }
  bool Ends() { return WaitUntil([this] { return engine.IsFinished(); }); }

  Loopback link;
  RTE engine;
  std::thread thread;
};

class RTETest : public ::testing::Test {
 protected:
  Library library_;
  Recorder recorder_{library_.App()};
};

// --- reading ----------------------------------------------------------------------

TEST_F(RTETest, HeaderInThreePartsIsAssembledAndQueuedWithItsBodyAsText) {
  // Handlers read the body as text, an empty one included.
  std::atomic<bool> handedNullBody{false};
  recorder_.SetReply([&](RTE&, const Msg& request) {
    if (request.GetBody() == nullptr) handedNullBody = true;
    return true;
  });
  EngineOnLoopback connection(library_.App(), true);
  for (const std::string body : {"hello", ""}) {
    recorder_.Clear();
    const std::string frame = library_.Frame(MSGID_REFRESH_PROJECTS, body, false, 41);
    ASSERT_TRUE(connection.link.Send(frame.substr(0, 10)));
    ASSERT_TRUE(connection.link.Send(frame.substr(10, 30)));
    ASSERT_TRUE(connection.link.Send(frame.substr(40)));
    ASSERT_TRUE(WaitUntil([&] { return recorder_.Requests().size() == 1; })) << body;
    const Msg request = recorder_.Requests()[0];
    EXPECT_EQ(MSGID_REFRESH_PROJECTS, request.GetMessageId());
    EXPECT_EQ(41u, request.GetOriginalStamp());
    EXPECT_EQ(enginetest::kUserId, static_cast<int>(request.GetUserIdentity().GetUserId()));
    EXPECT_EQ(body, std::string(request.GetBody(), request.GetBodyLength()));
    EXPECT_FALSE(handedNullBody) << "body \"" << body << "\"";
  }
  EXPECT_FALSE(connection.engine.IsFinished());
}

TEST_F(RTETest, AddDocumentsReceivesEveryFileIntoNewPrivateTemporaryFiles) {
  // A link planted under the next temporary name is neither followed nor reused.
  const std::string probe = RTE(library_.App()).GetTempFileName();
  const std::size_t number = std::stoul(probe.substr(probe.rfind('_') + 1));
  const std::string planted = library_.TemporaryFolder() + "/Temp7_" + std::to_string(number + 1) + ".wxf";
  const std::string outside = library_.Put("outside", "keep");
  ASSERT_EQ(::symlink(outside.c_str(), planted.c_str()), 0);

  EngineOnLoopback connection(library_.App(), true);
  std::string big(60001, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  const std::string body = "\"WXP\",2\n\"empty.txt\",0,\"one\"\n\"big.bin\",60001,\"two\r\nlines, \"\"quoted\"\"\"\n";
  ASSERT_TRUE(connection.link.Send(library_.Frame(MSGID_ADD_DOCUMENTS, body, false) + library_.Scramble(big)));
  ASSERT_TRUE(WaitUntil([&] { return recorder_.Requests().size() == 1; }));

  const Msg request = recorder_.Requests()[0];
  const std::string handed(request.GetBody(), request.GetBodyLength());
  FileRequest parsed;
  ASSERT_EQ(FileRequestError::None, ParseFileRequest(handed, parsed));
  ASSERT_EQ(2u, parsed.files.size());
  EXPECT_EQ("two\r\nlines, \"quoted\"", parsed.files[1].third);
  const std::vector<std::string> paths = TemporaryPathsOf(handed);
  ASSERT_EQ(2u, paths.size());
  EXPECT_EQ(library_.TemporaryFolder() + "/Temp7_", paths[0].substr(0, library_.TemporaryFolder().size() + 7));
  EXPECT_EQ("", platform::ScratchFolder::Read(paths[0]));
  EXPECT_EQ(big, platform::ScratchFolder::Read(paths[1]));
  EXPECT_EQ("keep", platform::ScratchFolder::Read(outside));
  for (const std::string& path : paths) {
    struct stat info {};
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode)) << path;
    EXPECT_EQ(info.st_mode & 0777, 0600u) << path;
  }
}

// Each file is decoded as one transform of its whole content from key byte 0,
// with keys that do not divide the 60000-byte pieces and sizes around them.
TEST(RTEReceiveTest, FilesDecodeWholeAcrossPieceBoundaries) {
  const std::vector<std::size_t> sizes = {0, 1, 59999, 60000, 60001, 3 * 60000 + 7};
  for (const int keyLength : {7, 64}) {
    Library library(keyLength);
    Recorder recorder(library.App());
    EngineOnLoopback connection(library.App(), true);
    std::string body = "\"WXP\"," + std::to_string(sizes.size()) + "\n";
    std::vector<std::string> contents;
    std::string files;
    for (const std::size_t size : sizes) {
      std::string content(size, '\0');
      for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>(i * 131 + size);
      body += "\"f" + std::to_string(size) + "\"," + std::to_string(size) + ",\"\"\n";
      files += library.Scramble(content);
      contents.push_back(std::move(content));
    }
    ASSERT_TRUE(connection.link.Send(library.Frame(MSGID_ADD_DOCUMENTS, body, false) + files));
    ASSERT_TRUE(WaitUntil([&] { return recorder.Requests().size() == 1; }));
    const Msg request = recorder.Requests()[0];
    const std::vector<std::string> paths = TemporaryPathsOf(std::string(request.GetBody(), request.GetBodyLength()));
    ASSERT_EQ(sizes.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
      EXPECT_TRUE(platform::ScratchFolder::Read(paths[i]) == contents[i]) << "key " << keyLength << ", size " << sizes[i];
    }
  }
}

TEST_F(RTETest, CountWithoutRowEndsTheConnectionWithoutFiles) {
  EngineOnLoopback connection(library_.App(), true);
  ASSERT_TRUE(connection.link.Send(library_.Frame(MSGID_ADD_DOCUMENTS, "\"WXP\",1\n", false)));
  ASSERT_TRUE(connection.Ends());
  EXPECT_TRUE(recorder_.HasTrace("RTE::ReceiveFiles() - CSV body is empty 3"));
  EXPECT_TRUE(recorder_.Requests().empty());
  EXPECT_TRUE(library_.TemporaryFiles().empty());
}

TEST_F(RTETest, BadFileSizesEndTheConnectionBeforeAnyFile) {
  for (const std::string size : {"-1", "", "12x", "2147483648"}) {
    SCOPED_TRACE(size);
    EngineOnLoopback connection(library_.App(), true);
    const std::string body = "\"WXP\",1\n\"a.txt\"," + size + ",\"c\"\n";
    ASSERT_TRUE(connection.link.Send(library_.Frame(MSGID_ADD_DOCUMENTS, body, false)));
    ASSERT_TRUE(connection.Ends());
    EXPECT_TRUE(library_.TemporaryFiles().empty());
  }
  EXPECT_TRUE(recorder_.Requests().empty());
}

TEST_F(RTETest, PeerClosingMidTransferLeavesNoTemporaryFile) {
  const std::string body = "\"WXP\",1\n\"a.bin\",100000,\"c\"\n";
  const std::string whole = library_.Frame(MSGID_ADD_DOCUMENTS, body, false) + library_.Scramble(std::string(100000, 'z'));
  const std::size_t headerAndBody = Msg::kHeaderSize + body.size();
  for (const std::size_t cut : {std::size_t{30}, Msg::kHeaderSize + 5, headerAndBody + 70000}) {
    SCOPED_TRACE(cut);
    EngineOnLoopback connection(library_.App(), true);
    ASSERT_TRUE(connection.link.Send(whole.substr(0, cut)));
    connection.link.peer.Close();
    ASSERT_TRUE(connection.Ends());
    EXPECT_TRUE(library_.TemporaryFiles().empty());
  }
  EXPECT_TRUE(recorder_.Requests().empty());
}

TEST_F(RTETest, OversizedBodyLengthEndsTheConnectionUnqueued) {
  for (const std::uint32_t length : {Msg::kMaxBodyLength + 1, 0x80000000u}) {
    SCOPED_TRACE(length);
    EngineOnLoopback connection(library_.App(), true);
    ASSERT_TRUE(connection.link.Send(library_.Frame(MSGID_REFRESH_PROJECTS, "", false, 0, length) + "abc"));
    ASSERT_TRUE(connection.Ends());
    EXPECT_EQ(0u, connection.engine.InboundCount());
  }
  EXPECT_TRUE(recorder_.Requests().empty());
}

TEST_F(RTETest, OversizedLogonLateLogonAndStalledMessagesEndTheConnectionUnqueued) {
  struct Case {
    const char* what;
    bool logOn;
    std::string bytes;
  };
  const std::string request = library_.Frame(MSGID_REFRESH_PROJECTS, std::string(100, 'r'), false);
  const std::vector<Case> cases = {
      {"logon body above its bound", false,
       library_.Frame(MSGID_LOGON, "", true, 0, RTE::kMaxLogonBodyLength + 1)},
      {"no logon", false, ""},
      {"header stalls", true, request.substr(0, 30)},
      {"body stalls", true, request.substr(0, Msg::kHeaderSize + 10)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EngineOnLoopback connection(library_.App(), c.logOn);
    connection.engine.SetTimeBound(std::chrono::milliseconds(50));
    ASSERT_TRUE(connection.link.Send(c.bytes));
    ASSERT_TRUE(connection.Ends());
    EXPECT_EQ(0u, connection.engine.InboundCount());
  }
  EXPECT_TRUE(recorder_.Requests().empty());
}

TEST_F(RTETest, ReaderHoldsWhileQueuedWorkIsAtItsBound) {
  struct Case {
    const char* what;
    std::size_t bodySize;
    std::size_t count;
  };
  const std::vector<Case> cases = {
      {"many small requests", 10, RTE::kMaxPendingMessages * 3},
      {"a few large requests", RTE::kMaxPendingBytes / 2, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::atomic<bool> release{false};
    recorder_.SetReply([&release](RTE&, const Msg&) { return WaitUntil([&release] { return release.load(); }); });
    EngineOnLoopback connection(library_.App(), true);
    const std::string frame = library_.Frame(MSGID_REFRESH_PROJECTS, std::string(c.bodySize, 'b'), false);
    std::string all;
    for (std::size_t i = 0; i < c.count; ++i) all += frame;
    std::thread sender([&] { EXPECT_TRUE(connection.link.Send(all)); });

    const bool held = WaitUntil([&] { return connection.engine.IsReadingHeld(); });
    EXPECT_TRUE(held);
    EXPECT_LE(connection.engine.InboundCount(), RTE::kMaxPendingMessages);
    EXPECT_LE(connection.engine.InboundCount() * c.bodySize, RTE::kMaxPendingBytes + c.bodySize);
    release = true;
    sender.join();
    EXPECT_TRUE(WaitUntil([&] { return recorder_.Requests().size() == c.count; }));
    recorder_.Clear();
  }
}

TEST_F(RTETest, FilesAnnouncedBeforeLogonEndTheConnection) {
  EngineOnLoopback connection(library_.App(), false);
  const std::string body = "\"WXP\",1\n\"a.txt\",3,\"c\"\n";
  ASSERT_TRUE(connection.link.Send(library_.Frame(MSGID_ADD_DOCUMENTS, body, true) + library_.Scramble("abc")));
  ASSERT_TRUE(connection.Ends());
  EXPECT_TRUE(recorder_.Requests().empty());
  EXPECT_TRUE(library_.TemporaryFiles().empty());
}

TEST_F(RTETest, UnknownUserEndsTheConnection) {
  EngineOnLoopback connection(library_.App(), false);
  std::string frame = library_.Frame(MSGID_LOGON, "", true);
  frame[0] = static_cast<char>(frame[0] ^ 1);   // user 6: no such account
  ASSERT_TRUE(connection.link.Send(frame));
  ASSERT_TRUE(connection.Ends());
  EXPECT_TRUE(recorder_.HasTrace("RTE::ReadMessage() - Unknown user"));
}

TEST_F(RTETest, FilesOfRequestsLeftInTheQueueAreDeleted) {
  EngineOnLoopback connection(library_.App(), true);
  RTE& engine = connection.engine;
  // The first request ends the connection once the second one is queued behind it.
  recorder_.SetReply([&engine](RTE&, const Msg& request) {
    if (request.GetMessageId() != MSGID_REFRESH_PROJECTS) return true;
    return !WaitUntil([&engine] { return engine.InboundCount() == 1; });
  });
  const std::string body = "\"WXP\",1\n\"a.txt\",3,\"c\"\n";
  ASSERT_TRUE(connection.link.Send(library_.Frame(MSGID_REFRESH_PROJECTS, "", false) +
                                   library_.Frame(MSGID_ADD_DOCUMENTS, body, false) + library_.Scramble("abc")));
  ASSERT_TRUE(connection.Ends());
  EXPECT_EQ(1u, recorder_.Requests().size());
  EXPECT_TRUE(library_.TemporaryFiles().empty());
}

// --- replies and ending ---------------------------------------------------------------

TEST_F(RTETest, RefusalQueuedBeforeEndingReachesThePeer) {
  EngineOnLoopback connection(library_.App(), false);
  recorder_.SetReply([](RTE& engine, const Msg& request) {
    Msg& reply = engine.GetReplyMessage();
    reply.SetMessageId(MSGID_BYE);
    reply.SetBody(std::string());
    reply.SetOriginalStamp(request.GetOriginalStamp());
    reply.SetReplyStamp(static_cast<std::uint32_t>(engine.NextReplyNumber()));
    engine.QueueMessage(reply);
    return false;
  });
  ASSERT_TRUE(connection.link.Send(library_.Frame(MSGID_REFRESH_PROJECTS, "", true, 9)));
  const Msg reply = library_.DecodeHeader(connection.link.Receive(Msg::kHeaderSize));
  EXPECT_EQ(MSGID_BYE, reply.GetMessageId());
  EXPECT_EQ(9u, reply.GetOriginalStamp());
  EXPECT_EQ(2u, reply.GetReplyStamp());
  EXPECT_TRUE(connection.link.ClosedByServer());
}

TEST_F(RTETest, StopSendsFarewellOnlyWhenLoggedOn) {
  {
    EngineOnLoopback connection(library_.App(), true);
    connection.engine.Stop();
    const Msg farewell = library_.DecodeHeader(connection.link.Receive(Msg::kHeaderSize));
    EXPECT_EQ(MSGID_BYE, farewell.GetMessageId());
    EXPECT_EQ(0u, farewell.GetBodyLength());
    EXPECT_TRUE(connection.link.ClosedByServer());
    EXPECT_TRUE(connection.Ends());
  }
  {
    EngineOnLoopback connection(library_.App(), false);
    connection.engine.Stop();
    EXPECT_TRUE(connection.Ends());
    EXPECT_EQ("", connection.link.Receive(1));
  }
  EXPECT_EQ(0, library_.App().GetThreadCount());
}

TEST_F(RTETest, SlowThreadStartKeepsTheConnection) {
  EngineOnLoopback connection(library_.App(), true,
                              [] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); });
  ASSERT_TRUE(connection.link.Send(library_.Frame(MSGID_REFRESH_PROJECTS, "", false)));
  ASSERT_TRUE(WaitUntil([&] { return recorder_.Requests().size() == 1; }));
  EXPECT_FALSE(connection.engine.IsFinished());
}

TEST_F(RTETest, ClientGoodbyeEndsTheConnection) {
  EngineOnLoopback connection(library_.App(), true);
  ASSERT_TRUE(connection.link.Send(library_.Frame(MSGID_BYE, "", false)));
  ASSERT_TRUE(connection.Ends());
  EXPECT_FALSE(connection.engine.IsLoggedOn());
  EXPECT_TRUE(recorder_.Requests().empty());
}

TEST_F(RTETest, TemporaryNamesCountUpAndRepeatOnRequest) {
  RTE engine(library_.App());
  const std::string first = engine.GetTempFileName();
  const std::string second = engine.GetTempFileName(true);
  EXPECT_NE(first, second);
  EXPECT_EQ(second, engine.GetTempFileName(false));
  EXPECT_EQ(library_.TemporaryFolder() + "/Temp0_", first.substr(0, library_.TemporaryFolder().size() + 7));
}

// --- sending through a recording stream ------------------------------------------------

// Takes every byte at once and records the size of each send call.
class RecordingSocket : public EngineSocket {
 public:
  platform::IoResult Send(const void* data, std::size_t length) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(length);
    bytes_.append(static_cast<const char*>(data), length);
    return platform::IoResult{platform::IoStatus::Ok, length};
  }
  platform::IoResult Receive(void*, std::size_t) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return platform::IoResult{closed_ ? platform::IoStatus::Closed : platform::IoStatus::WouldBlock, 0};
  }
  bool WaitReadable(int timeoutMs) override {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return closed_; });
  }
  bool WaitWritable(int) override { return true; }
  void Close() override {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }
  std::vector<std::size_t> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  std::string Bytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::size_t> calls_;
  std::string bytes_;
  bool closed_ = false;
};

class RTESendTest : public ::testing::TestWithParam<int> {
 protected:
  RTESendTest() : library_(GetParam()) {}

  // Runs an engine over a recording stream and queues `reply` on it.
  void Send(const Msg& reply) {
    auto socket = std::make_unique<RecordingSocket>();
    socket_ = socket.get();
    engine_ = std::make_unique<RTE>(library_.App());
    engine_->Attach(std::move(socket));
    ASSERT_TRUE(engine_->CompleteLogon(User7()));
    thread_ = std::thread([this] { engine_->Run(); });
    engine_->QueueMessage(reply);
  }
  void TearDown() override {
    if (engine_) engine_->Stop();
    if (thread_.joinable()) thread_.join();
  }
  static Msg Reply(std::uint32_t id, const std::string& body) {
    Msg message;
    message.SetMessageId(id);
    message.SetBody(body);
    return message;
  }

  Library library_;
  RecordingSocket* socket_ = nullptr;
  std::unique_ptr<RTE> engine_;
  std::thread thread_;
};

TEST_P(RTESendTest, LongBodyGoesOutInCallsOfAtMost60000Bytes) {
  // Wire body: "<x...>",0 of exactly 100000 bytes.
  Send(Reply(MSGID_RETRIEVED_DOCUMENTS, "\"" + std::string(99996, 'x') + "\",0\n"));
  ASSERT_TRUE(WaitUntil([&] { return engine_->OutboundCount() == 0; }));
  EXPECT_EQ((std::vector<std::size_t>{60000, 40052}), socket_->Calls());
}

TEST_P(RTESendTest, FilesGoOutInBlocksOnKeyBoundariesScrambledAsAWhole) {
  const std::string path = library_.Put("doc.bin", std::string(130000, 'd'));
  Send(Reply(MSGID_CHECKED_OUT_DOCUMENTS, "\"WXP\",1\n\"doc.bin\",3,1,\"" + path + "\",130000\n"));
  ASSERT_TRUE(WaitUntil([&] { return engine_->OutboundCount() == 0; }));
  const std::size_t block = (60000 / GetParam()) * GetParam();
  const std::vector<std::size_t> calls = socket_->Calls();
  ASSERT_EQ(4u, calls.size());
  EXPECT_EQ(block, calls[1]);
  EXPECT_EQ(block, calls[2]);
  EXPECT_EQ(130000 - 2 * block, calls[3]);
  EXPECT_TRUE(library_.Scramble(socket_->Bytes().substr(calls[0])) == std::string(130000, 'd'));
}

TEST_P(RTESendTest, FileOfTheWrongSizeEndsTheConnectionUnsent) {
  const std::string path = library_.Put("doc.bin", std::string(100, 'd'));
  Send(Reply(MSGID_CHECKED_OUT_DOCUMENTS, "\"WXP\",1\n\"doc.bin\",3,1,\"" + path + "\",101\n"));
  ASSERT_TRUE(WaitUntil([&] { return engine_->IsFinished(); }));
  EXPECT_EQ(1u, socket_->Calls().size());   // the reply itself, no file bytes
}

INSTANTIATE_TEST_SUITE_P(KeyLengths, RTESendTest, ::testing::Values(7, 16));

// --- memory ---------------------------------------------------------------------

// Twenty logged-on peers send large bodies at once: what the engines hold stays
// within their transfer budget (one body may go beyond it), every body arrives,
// and the memory goes back to the system afterwards.
TEST(RTEMemoryTest, LargeBodiesAtOnceStayWithinTheBudgetAndAreGivenBack) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers' allocators hold freed memory back";
#endif
  constexpr int kPeers = 20;
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  constexpr std::size_t kBody = 16 * kMiB;
  constexpr std::size_t kBudget = 32 * kMiB;
  // The body allowed beyond the budget with its copy, and room for the rest.
  constexpr std::size_t kMargin = 2 * kBody + 48 * kMiB;
  platform::SetUpServerAllocator();   // as the server program starts
  Library library;
  std::atomic<int> handled{0};
  library.App().SetMessageHandler([&handled](RTE&, const Msg& request) {
    handled += request.GetBodyLength() == kBody ? 1 : 0;
    return true;
  });
  TransferBudget budget(kBudget);
  const std::string frame = library.Frame(MSGID_REFRESH_PROJECTS, std::string(kBody, 'b'), false, 1);
  const std::size_t before = platform::ResidentBytes();
  ASSERT_GT(before, 0u);

  std::vector<std::unique_ptr<EngineOnLoopback>> peers;
  for (int i = 0; i < kPeers; ++i) peers.push_back(std::make_unique<EngineOnLoopback>(library.App(), true, nullptr, &budget));
  std::vector<std::size_t> sent(kPeers, 0);
  std::size_t most = before;
  std::size_t mostUsed = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (handled < kPeers && std::chrono::steady_clock::now() < deadline) {
    bool moved = false;
    for (int i = 0; i < kPeers; ++i) {
      if (sent[i] == frame.size()) continue;
      const platform::IoResult result =
          peers[i]->link.peer.Send(frame.data() + sent[i], std::min<std::size_t>(256 * 1024, frame.size() - sent[i]));
      ASSERT_NE(result.status, platform::IoStatus::Failed);
      if (result.status == platform::IoStatus::Ok) sent[i] += result.bytes;
      moved = moved || result.bytes > 0;
    }
    most = std::max(most, platform::ResidentBytes());
    mostUsed = std::max(mostUsed, budget.Used());
    if (!moved) peers[0]->link.peer.WaitWritable(10);
  }
  ASSERT_EQ(handled, kPeers);
  EXPECT_LT(most, before + kBudget + kMargin) << "most " << most / kMiB << " MiB, before " << before / kMiB << " used " << mostUsed / kMiB;
  peers.clear();
  EXPECT_EQ(budget.Used(), 0u);
  EXPECT_LT(platform::ResidentBytes(), before + 32 * kMiB) << "before " << before / kMiB << " MiB";
}

}  // namespace
