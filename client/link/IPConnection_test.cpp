#include "client/link/IPConnection.h"

#include <gtest/gtest.h>

#include <functional>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "client/link/IPConnectionPeer_test.h"
#include "client/link/LinkNotice.h"
#include "client/link/SocketTransfer.h"
#include "client/records/LibraryEntry.h"
#include "common/MessageIds.h"
#include "common/RecordFields.h"
#include "common/WireCapabilities.h"
#include "platform/ScratchFolder.h"
#include "server/engine/FileListBody.h"
#include "server/engine/RequestDispatcher.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ServerSettings.h"
#include "testsupport/TestServer.h"

namespace {

using namespace link_test;
using std::chrono::milliseconds;

constexpr auto kCloseBound = std::chrono::seconds(3);

int ThreadCount() {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                        std::filesystem::directory_iterator()));
}

std::string Pattern(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 2654435761u + seed) >> 13);
  return bytes;
}

// The temporary path and size of one row of a received file reply.
std::pair<std::string, std::int32_t> ReceivedFileOf(const std::string& row) {
  std::string name, path;
  std::int32_t version = 0, flag = 0, size = 0;
  ReadIntField(size, ReadStringField(path, ReadIntField(flag, ReadIntField(version, ReadStringField(name, row)))));
  return {path, size};
}

// ---- against the real server ---------------------------------------------------

struct Account {
  int id = 0;
  LibraryConnection connection;
  LibraryEntry entry;
};

Account AddAccount(TestServer& server, const std::string& library, const std::string& name, std::uint16_t port) {
  Account account;
  const std::optional<UserAccount> user = server.AddUser(name, "secret", true);
  if (!user) return account;
  account.id = user->GetId();
  account.connection.SetName(library);
  account.connection.SetHost("127.0.0.1");
  account.connection.SetPort(port);
  account.connection.SetUserNumber(user->GetId());
  account.connection.SetUserText(name);
  account.connection.SetSecondLogonText("secret");
  account.connection.SetLogonCode(user->GetLogonCode());
  account.connection.SetKeyText(user->GetKeyText());
  account.connection.SetKeyLength(user->GetKeyLength());
  const ServerSettings& settings = server.Document().GetSettings();
  account.entry = LibraryEntry(library, settings.GetDefaultKey(), settings.GetDefaultKeyLength());
  return account;
}

// Test handlers for the file-carrying requests: 5018 records the temporary paths
// the server received into; 5020 sends back the server-side files its body names,
// one path a line, as documents "doc1", "doc2", ...
struct FileHandlers {
  std::mutex mutex;
  std::vector<std::string> received;

  void Install(RequestDispatcher& dispatcher) {
    dispatcher.Register(MSGID_ADD_DOCUMENTS, [this](RTE& engine, const Msg& request) {
      std::lock_guard lock(mutex);
      received = TemporaryPathsOf(BodyOf(request));
      return RequestDispatcher::SendReply(engine, request, MSGID_ADD_DOCUMENTS_RESULT, "");
    });
    dispatcher.Register(MSGID_RETRIEVE, [](RTE& engine, const Msg& request) {
      std::vector<OutgoingFile> rows;
      std::string rest = BodyOf(request);
      while (!rest.empty()) {
        OutgoingFile row;
        rest = ReadStringField(row.serverPath, rest);
        row.name = "doc" + std::to_string(rows.size() + 1);
        row.number = 1;
        row.send = true;
        row.size = static_cast<std::int32_t>(std::filesystem::file_size(row.serverPath));
        rows.push_back(row);
      }
      std::string body = EndRecord(AppendIntField(static_cast<std::int32_t>(rows.size()), AppendStringField("P", "")));
      for (const OutgoingFile& row : rows) {
        std::string line = AppendBoolField(row.send, AppendIntField(row.number, AppendStringField(row.name, "")));
        body += EndRecord(AppendIntField(row.size, AppendStringField(row.serverPath, line)));
      }
      return RequestDispatcher::SendReply(engine, request, MSGID_RETRIEVED_DOCUMENTS, body);
    });
  }
};

class ServerLink : public ::testing::Test {
 protected:
  void SetUp() override {
    // A thread sanitizer starts a helper thread with the first thread: it is there before counting.
    std::thread([] {}).join();
    threadsAtStart_ = ThreadCount();
    files_.Install(server_.Dispatcher());
    ASSERT_TRUE(server_.Start());
    account_ = AddAccount(server_, "Lib", "ann", server_.Port());
    ASSERT_NE(account_.id, 0);
  }
  void ExpectThreadsBack() {
    server_.Stop();
    // A thread of the process that was there at the start may end meanwhile; none of ours may stay.
    EXPECT_TRUE(WaitUntil([&] { return ThreadCount() <= threadsAtStart_; }, std::chrono::seconds(5)))
        << ThreadCount() << " threads, " << threadsAtStart_ << " at the start";
  }

  int threadsAtStart_ = 0;
  platform::ScratchFolder scratch_;
  FileHandlers files_;
  TestServer server_;
  Account account_;
};

TEST_F(ServerLink, LogsOnWithTheCodeHandsOverTheNextAndEndsAfterLogoff) {
  {
    Link link;
    ASSERT_TRUE(link.Start(account_.connection, account_.entry));
    ASSERT_TRUE(link.WaitLoggedOn());
    const std::string stored = server_.StoredUser(account_.id)->GetLogonCode();
    EXPECT_NE(stored, account_.connection.GetLogonCode());
    EXPECT_EQ(link.Codes(), std::vector<std::string>{"Lib/" + std::to_string(account_.id) + "/" + stored});

    Msg first = Request(MSGID_REFRESH_PROJECTS, "");
    Msg second = Request(MSGID_REFRESH_PROJECTS, "");
    const std::optional<Msg> reply1 = link.Ask(first);
    const std::optional<Msg> reply2 = link.Ask(second);
    ASSERT_TRUE(reply1 && reply2);
    EXPECT_EQ(reply1->GetMessageId(), MSGID_PROJECT_TREE);
    EXPECT_EQ(second.GetOriginalStamp(), first.GetOriginalStamp() + 1);
    EXPECT_EQ(reply2->GetOriginalStamp(), second.GetOriginalStamp());

    ASSERT_TRUE(link.connection.Logoff());
    Msg late = Request(MSGID_REFRESH_PROJECTS, "");
    EXPECT_EQ(link.connection.SendMessage(late), IPConnection::kNotLoggedOn);
    const Clock::time_point loggedOff = Clock::now();
    ASSERT_TRUE(link.WaitEnded(kCloseBound));  // the server's goodbye ends the link
    EXPECT_LT(Clock::now() - loggedOff, kCloseBound);
    EXPECT_TRUE(link.LoggedOnAtEnd());
    EXPECT_EQ(link.connection.GetSocketState(), IPConnection::kSocketClosed);
    EXPECT_TRUE(link.Abandoned().empty());
  }
  ExpectThreadsBack();
}

TEST_F(ServerLink, ExtensionRequestsGoToAServerThatAnnouncedThem) {
  Link link;
  ASSERT_TRUE(link.Start(account_.connection, account_.entry));
  ASSERT_TRUE(link.WaitLoggedOn());
  EXPECT_TRUE(link.connection.GetServerCapabilities().Has(WireExtension::kUndoCheckOut));
  Msg undo = Request(MSGID_UNDO_CHECK_OUT, EndRecord(AppendIntField(0, AppendStringField("P", ""))));
  const std::optional<Msg> reply = link.Ask(undo);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->GetMessageId(), MSGID_UNDO_CHECK_OUT_RESULT);
}

TEST_F(ServerLink, FilesOfNoneOneAndFiftyMegabytesArriveByteIdenticalBothWays) {
  const std::vector<std::string> contents = {"", "x", Pattern(50u << 20, 7)};
  std::string queued = EndRecord(AppendIntField(3, AppendStringField("P", AppendStringField(scratch_.Path(), ""))));
  std::string retrieve;
  for (std::size_t i = 0; i < contents.size(); ++i) {
    const std::string name = "file" + std::to_string(i);
    const std::string path = scratch_.Put(name, contents[i]);
    queued += EndRecord(AppendStringField("c", AppendIntField(static_cast<std::int32_t>(contents[i].size()),
                                                              AppendStringField(name, ""))));
    retrieve += EndRecord(AppendStringField(path, ""));
  }
  Link link;
  ASSERT_TRUE(link.Start(account_.connection, account_.entry));
  ASSERT_TRUE(link.WaitLoggedOn());

  Msg add = Request(MSGID_ADD_DOCUMENTS, queued);
  const std::optional<Msg> added = link.Ask(add);
  ASSERT_TRUE(added);
  EXPECT_EQ(added->GetMessageId(), MSGID_ADD_DOCUMENTS_RESULT);
  std::vector<std::string> arrived;
  {
    std::lock_guard lock(files_.mutex);
    arrived = files_.received;
  }
  ASSERT_EQ(arrived.size(), contents.size());
  for (std::size_t i = 0; i < contents.size(); ++i) {
    EXPECT_TRUE(platform::ScratchFolder::Read(arrived[i]) == contents[i]) << "to the server, file " << i;
  }

  Msg get = Request(MSGID_RETRIEVE, retrieve);
  const std::optional<Msg> got = link.Ask(get);
  ASSERT_TRUE(got);
  ASSERT_EQ(got->GetMessageId(), MSGID_RETRIEVED_DOCUMENTS);
  const std::vector<std::string> rows = SplitRecordRows(BodyOf(*got));
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], "\"P\",3");
  for (std::size_t i = 0; i < contents.size(); ++i) {
    const auto [path, size] = ReceivedFileOf(rows[i + 1]);
    EXPECT_EQ(rows[i + 1].substr(0, 11), "\"doc" + std::to_string(i + 1) + "\",1,1,");
    EXPECT_EQ(size, static_cast<std::int32_t>(contents[i].size()));
    EXPECT_TRUE(platform::ScratchFolder::Read(path) == contents[i]) << "from the server, file " << i;
  }
}

// A loopback relay between the link and the server that can cut the connection,
// drop what the server says, or take new connections without passing them on.
class Relay {
 public:
  explicit Relay(std::uint16_t target) : target_(target), listener_(platform::Socket::Listen(0, 8, "127.0.0.1")) {
    thread_ = std::thread([this] { Run(); });
  }
  ~Relay() {
    stop_ = true;
    thread_.join();
  }
  std::uint16_t Port() const { return listener_.LocalPort(); }
  int Accepted() const { return accepted_; }
  // Closes both ends; replies pass again from the next connection on.
  void Cut() {
    const int cuts = cuts_;
    cutAsked_ = true;
    WaitUntil([&] { return cuts_ > cuts; });
  }
  long long BytesToServer() const { return toServer_; }
  std::atomic<bool> dropReplies{false};
  std::atomic<bool> passNewConnections{true};
  std::atomic<bool> throttleReplies{false};   // 16 KiB a pass: a large reply takes seconds

 private:
  bool Pump(platform::Transport& from, platform::Transport& to, bool drop, std::size_t most, std::atomic<long long>* count) {
    char buffer[65536];
    const platform::IoResult got = from.Receive(buffer, std::min(most, sizeof buffer));
    if (got.status == platform::IoStatus::WouldBlock) return true;
    if (got.status != platform::IoStatus::Ok) return false;
    if (count != nullptr) *count += static_cast<long long>(got.bytes);
    return drop || SocketTransfer(to, stop_, 1000).Write(buffer, got.bytes) == Outcome::Done;
  }
  void Run() {
    platform::Transport client, server;
    while (!stop_) {
      platform::Socket accepted;
      if (listener_.Accept(accepted) == platform::IoStatus::Ok) {
        ++accepted_;
        client = platform::Transport(std::move(accepted));
        server = platform::Transport(passNewConnections ? platform::Socket::Connect("127.0.0.1", target_)
                                                        : platform::Socket());
        if (passNewConnections && !server.IsOpen()) client.Close();  // the server is gone
      }
      if (cutAsked_.exchange(false)) {
        client.Close();
        server.Close();
        dropReplies = false;
        ++cuts_;
      }
      if (client.IsOpen() && server.IsOpen() &&
          (!Pump(client, server, false, 65536, &toServer_) ||
           !Pump(server, client, dropReplies, throttleReplies ? 16384 : 65536, nullptr))) {
        client.Close();
        server.Close();
      }
      if (client.IsOpen()) {
        client.WaitReadable(2);
      } else {
        listener_.WaitReadable(2);
      }
    }
  }

  std::uint16_t target_;
  platform::Socket listener_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> cutAsked_{false};
  std::atomic<int> cuts_{0};
  std::atomic<int> accepted_{0};
  std::atomic<long long> toServer_{0};
  std::thread thread_;
};

// The account's connection, reaching the server through `relay`.
LibraryConnection Through(const LibraryConnection& connection, const Relay& relay) {
  LibraryConnection relayed = connection;
  relayed.SetPort(relay.Port());
  return relayed;
}

// Holds the server's replies back, runs `send` and cuts the link once its header
// has reached the server; false when it never did.
bool CutAfterSending(Relay& relay, const std::function<void()>& send) {
  relay.dropReplies = true;
  const long long sentBefore = relay.BytesToServer();
  send();
  if (!WaitUntil([&] { return relay.BytesToServer() >= sentBefore + 52; })) return false;
  relay.Cut();
  return true;
}

// A pinned entry speaks TLS to the pinned certificate only; a plain entry meets
// the refusal of a library that requires TLS. The box names both fingerprints.
TEST_F(ServerLink, APinnedLinkLogsOnOnlyToThePinnedCertificate) {
  server_.Stop();
  ASSERT_TRUE(server_.EnableTls(TlsSettings::Mode::Required));
  ASSERT_TRUE(server_.Start());
  const std::string genuine = server_.TlsFingerprint();
  const std::string other(genuine.size(), '0');
  struct Case {
    const char* name;
    std::string pinned;
    LinkEnd end;
    std::string told;   // in the box of the failed visit
  };
  const Case cases[] = {
      {"another certificate", other, LinkEnd::kServerNotTrusted,
       "Expected fingerprint: " + other + "\nPresented fingerprint: " + genuine},
      {"plain entry", "", LinkEnd::kLogonRefused, RequestDispatcher::kTlsNeededText},
      {"the server's certificate", genuine, LinkEnd::kNone, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LibraryEntry entry = account_.entry;
    entry.SetTlsPin(c.pinned, server_.TlsPort());
    Link link;
    ASSERT_TRUE(link.Start(account_.connection, entry));
    if (c.end == LinkEnd::kNone) {
      EXPECT_TRUE(link.WaitLoggedOn());
      continue;
    }
    ASSERT_TRUE(link.WaitEnded());
    EXPECT_EQ(link.connection.GetEnd(), c.end);
    const LinkNotice::Library library = LinkNotice::LibraryOf(account_.connection, &entry);
    const std::string box =
        LinkNotice::FailedVisit(library, link.connection.GetEnd(), 0, link.connection.GetRefusalText(),
                                {link.connection.GetExpectedFingerprint(), link.connection.GetPresentedFingerprint()});
    EXPECT_NE(box.find(c.told), std::string::npos) << box;
    EXPECT_NE(box.find("\"" + account_.connection.GetName() + "\""), std::string::npos) << box;
    const std::string port = c.pinned.empty() ? std::to_string(server_.Port()) + " could"
                                              : std::to_string(server_.TlsPort()) + " (TLS) could";
    EXPECT_NE(box.find(":" + port), std::string::npos) << box;
    EXPECT_NE(box.find("new certificate"), std::string::npos) << box;
  }
}

TEST_F(ServerLink, AServerKilledMidTransferEndsTheLinkAndLeavesNoTemporaryFile) {
  const std::string big = scratch_.Put("big", Pattern(50u << 20, 3));
  {
    Relay relay(server_.Port());
    relay.throttleReplies = true;
    const LibraryConnection viaRelay = Through(account_.connection, relay);
    Link link;
    ASSERT_TRUE(link.Start(viaRelay, account_.entry));
    ASSERT_TRUE(link.WaitLoggedOn());
    Msg get = Request(MSGID_RETRIEVE, EndRecord(AppendStringField(big, "")));
    ASSERT_EQ(link.connection.SendMessage(get), IPConnection::kDone);
    ASSERT_TRUE(WaitUntil([&] { return link.TemporaryBytes() > 0; }));
    server_.Stop();
    const Clock::time_point stopped = Clock::now();
    ASSERT_TRUE(link.WaitEnded(kCloseBound));  // the reconnect finds no server
    EXPECT_LT(Clock::now() - stopped, kCloseBound);
    EXPECT_EQ(link.connection.GetSocketState(), IPConnection::kSocketClosed);
    EXPECT_EQ(link.TemporaryBytes(), 0u);
    EXPECT_EQ(link.connection.GetEnd(), LinkEnd::kServerGone);
    EXPECT_NE(link.connection.GetReconnectEnd(), LinkEnd::kNone) << "the reconnect found no server";
    EXPECT_TRUE(link.connection.WasLoggedOn());
    ASSERT_EQ(link.Abandoned().size(), 1u);
    EXPECT_EQ(link.Abandoned()[0].GetOriginalStamp(), get.GetOriginalStamp());
  }
  ExpectThreadsBack();
}

TEST_F(ServerLink, CutLinksReconnectWithTheCurrentCodeAndHandBackTheOutstandingRequest) {
  {
    Relay relay(server_.Port());
    const LibraryConnection viaRelay = Through(account_.connection, relay);
    Link link;
    ASSERT_TRUE(link.Start(viaRelay, account_.entry));
    ASSERT_TRUE(link.WaitLoggedOn());
    std::uint32_t lastStamp = 0;
    for (int cut = 1; cut <= 3; ++cut) {
      Msg refresh = Request(MSGID_REFRESH_PROJECTS, "");
      ASSERT_TRUE(link.Ask(refresh)) << "cut " << cut;
      EXPECT_GT(refresh.GetOriginalStamp(), lastStamp);
      lastStamp = refresh.GetOriginalStamp();

      Msg outstanding = Request(MSGID_REFRESH_PROJECTS, "");
      ASSERT_TRUE(CutAfterSending(relay, [&] {
        EXPECT_EQ(link.connection.SendMessage(outstanding), IPConnection::kDone);
      }));
      ASSERT_TRUE(WaitUntil([&] { return relay.Accepted() == cut + 1 && link.Codes().size() == std::size_t(cut + 1); }))
          << "cut " << cut;
      ASSERT_TRUE(link.WaitLoggedOn());
      ASSERT_TRUE(WaitUntil([&] { return link.Abandoned().size() == std::size_t(cut); }));
      EXPECT_EQ(link.Abandoned().back().GetOriginalStamp(), outstanding.GetOriginalStamp());
      EXPECT_TRUE(WaitUntil([&] { return link.Restored() == cut; })) << "cut " << cut;
      EXPECT_EQ(link.connection.GetEnd(), LinkEnd::kNone);
      lastStamp = outstanding.GetOriginalStamp();
    }
    const std::optional<UserAccount> stored = server_.StoredUser(account_.id);
    ASSERT_TRUE(stored);
    EXPECT_FALSE(stored->IsLockedOut());
    EXPECT_EQ(link.Codes().back(), "Lib/" + std::to_string(account_.id) + "/" + stored->GetLogonCode());

    // Logged off, the goodbye held back: a cut now ends the link, no reconnect.
    ASSERT_TRUE(CutAfterSending(relay, [&] { EXPECT_TRUE(link.connection.Logoff()); }));
    EXPECT_TRUE(link.WaitEnded(kCloseBound));
    EXPECT_EQ(relay.Accepted(), 4);
  }
  ExpectThreadsBack();
}

TEST_F(ServerLink, StoppingMidReconnectEndsWithinBounds) {
  Relay relay(server_.Port());
  const LibraryConnection viaRelay = Through(account_.connection, relay);
  Link link;
  ASSERT_TRUE(link.Start(viaRelay, account_.entry));
  ASSERT_TRUE(link.WaitLoggedOn());
  relay.passNewConnections = false;
  relay.Cut();
  ASSERT_TRUE(WaitUntil([&] { return link.connection.GetLogonState() == IPConnection::kLogonSent; }));
  EXPECT_LT(link.StopAndJoin(), kCloseBound);
  EXPECT_EQ(link.connection.GetSocketState(), IPConnection::kSocketClosed);
}

// ---- against a raw peer ---------------------------------------------------------

TEST(IPConnectionRawPeer, WithoutAnEntryOrWithABadKeyNoByteIsSent) {
  RawPeer peer;
  Link link;
  EXPECT_FALSE(link.connection.SetConnection(peer.Account(), nullptr));
  const LibraryEntry badLibraryKey("Raw", std::string(32, 'X'), 16);
  EXPECT_FALSE(link.connection.SetConnection(peer.Account(), &badLibraryKey));
  LibraryConnection badUserKey = peer.Account();
  badUserKey.SetKeyLength(17);
  const LibraryEntry entry = peer.Entry();
  EXPECT_FALSE(link.connection.SetConnection(badUserKey, &entry));
  const LibraryEntry otherLibrary("Other", RawPeer::kLibraryKey, 16);
  EXPECT_FALSE(link.connection.SetConnection(peer.Account(), &otherLibrary));
  EXPECT_FALSE(link.connection.Connect());
  EXPECT_FALSE(peer.HasNewConnection(0));
}

TEST(IPConnectionRawPeer, LogsOnWithTheLibraryKeyAndSeesThePeerCloseAtOnce) {
  RawPeer peer;
  Link link;
  ASSERT_TRUE(link.Start(peer.Account(), peer.Entry()));
  ASSERT_TRUE(peer.LogOn());
  EXPECT_EQ(peer.logonBody, "\"ann\",\"secret\",\"CODE1\"\n");
  ASSERT_TRUE(link.WaitLoggedOn());
  EXPECT_EQ(link.Codes(), std::vector<std::string>{"Raw/7/CODE2"});

  Msg big = Request(MSGID_REFRESH_PROJECTS, Pattern(59949, 1));
  ASSERT_EQ(link.connection.SendMessage(big), IPConnection::kDone);
  const std::optional<Msg> arrived = peer.Read(1);
  ASSERT_TRUE(arrived);
  EXPECT_TRUE(BodyOf(*arrived) == BodyOf(big));
  EXPECT_EQ(arrived->GetOriginalStamp(), big.GetOriginalStamp());

  const Clock::time_point hung = Clock::now();
  peer.Hang();
  // Seeing the close, the link hands back what is unanswered and reconnects.
  ASSERT_TRUE(WaitUntil([&] { return link.Abandoned().size() == 1; }));
  EXPECT_LT(Clock::now() - hung, milliseconds(100));
  ASSERT_TRUE(peer.HasNewConnection(10000));
  ASSERT_TRUE(peer.Accept());
  const std::optional<Msg> again = peer.Read(0);
  ASSERT_TRUE(again);
  EXPECT_EQ(BodyOf(*again), "\"ann\",\"secret\",\"CODE2\"\n");  // the code handed over last time
}

TEST(IPConnectionRawPeer, AnEarlierServerIsNeverSentAnExtensionRequest) {
  RawPeer peer;
  Link link;
  ASSERT_TRUE(link.Start(peer.Account(), peer.Entry()));
  ASSERT_TRUE(peer.LogOn());
  EXPECT_EQ(peer.logonSecondTime, WireCapabilities::Ours().Announcement(WireCapabilities::Side::kClient));
  ASSERT_TRUE(link.WaitLoggedOn());
  EXPECT_TRUE(link.connection.GetServerCapabilities().IsEmpty());
  Msg undo = Request(MSGID_UNDO_CHECK_OUT, "");
  EXPECT_EQ(link.connection.SendMessage(undo), IPConnection::kNotServed);
  // The next request is the first thing the server sees after the logon.
  Msg refresh = Request(MSGID_REFRESH_PROJECTS, "");
  ASSERT_EQ(link.connection.SendMessage(refresh), IPConnection::kDone);
  const std::optional<Msg> arrived = peer.Read(1);
  ASSERT_TRUE(arrived);
  EXPECT_EQ(arrived->GetMessageId(), MSGID_REFRESH_PROJECTS);
}

TEST(IPConnectionRawPeer, StampsFollowTheLogonCounterPastTheSignedRange) {
  struct Case { const char* accepted; std::uint32_t firstStamp; };
  for (const Case& c : {Case{"\"1\",2147483647", 2147483648u}, Case{"\"1\",-5", 1u}}) {
    RawPeer peer;
    Link link;
    ASSERT_TRUE(link.Start(peer.Account(), peer.Entry()));
    ASSERT_TRUE(peer.LogOn(c.accepted));
    ASSERT_TRUE(link.WaitLoggedOn());
    for (std::uint32_t stamp = c.firstStamp; stamp < c.firstStamp + 2; ++stamp) {
      Msg request = Request(MSGID_REFRESH_PROJECTS, "");
      ASSERT_EQ(link.connection.SendMessage(request), IPConnection::kDone);
      const std::optional<Msg> arrived = peer.Read(1);
      ASSERT_TRUE(arrived);
      EXPECT_EQ(arrived->GetOriginalStamp(), stamp) << c.accepted;
    }
  }
}

TEST(IPConnectionRawPeer, ARefusedLogonEndsTheLinkWithoutRetrying) {
  RawPeer peer;
  Link link;
  ASSERT_TRUE(link.Start(peer.Account(), peer.Entry()));
  ASSERT_TRUE(peer.Accept());
  ASSERT_TRUE(peer.Read(0));
  ASSERT_TRUE(peer.Write(MSGID_LOGON_REFUSED, "Account locked out"));
  ASSERT_TRUE(link.WaitEnded(kCloseBound));
  EXPECT_FALSE(link.LoggedOnAtEnd());
  EXPECT_EQ(link.connection.GetLogonState(), IPConnection::kLogonRefused);
  EXPECT_EQ(link.connection.GetEnd(), LinkEnd::kLogonRefused);
  EXPECT_EQ(link.connection.GetRefusalText(), "Account locked out");
  EXPECT_TRUE(link.Codes().empty());
  EXPECT_FALSE(peer.HasNewConnection(0));
}

TEST(IPConnectionRawPeer, AReplyCountingAMillionRowsButCarryingOneIsTakenAsOne) {
  RawPeer peer;
  Link link;
  ASSERT_TRUE(link.Start(peer.Account(), peer.Entry()));
  ASSERT_TRUE(peer.LogOn());
  ASSERT_TRUE(link.WaitLoggedOn());
  ASSERT_TRUE(peer.Write(MSGID_RETRIEVED_DOCUMENTS, "\"P\",1000000,\"a\",3,1,5\n", {"hello"}, std::nullopt, 41));
  ASSERT_TRUE(peer.Write(MSGID_PROJECT_TREE, "after", {}, std::nullopt, 42));
  const std::optional<Msg> files = link.WaitMessage([](const Msg& m) { return m.GetOriginalStamp() == 41; });
  ASSERT_TRUE(files);
  const std::vector<std::string> rows = SplitRecordRows(BodyOf(*files));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], "\"P\",1");
  EXPECT_EQ(platform::ScratchFolder::Read(ReceivedFileOf(rows[1]).first), "hello");
  const std::optional<Msg> next = link.WaitMessage([](const Msg& m) { return m.GetOriginalStamp() == 42; });
  ASSERT_TRUE(next);
  EXPECT_EQ(BodyOf(*next), "after");
}

// Files arriving behind 5022 and leaving behind 5018 are each scrambled as one
// whole from key byte 0, with keys that do not divide 60000-byte pieces and sizes
// around them.
TEST(IPConnectionRawPeer, FilesKeepTheirBytesAcrossPieceBoundariesBothWays) {
  const std::vector<std::size_t> sizes = {0, 1, 59999, 60000, 60001, 3 * 60000 + 7};
  for (const int keyLength : {7, 64}) {
    std::string key;
    for (int i = 0; i < 2 * keyLength; ++i) key += "0123456789ABCDEF"[(i * 7 + 3) % 16];
    RawPeer peer(key);
    Link link;
    ASSERT_TRUE(link.Start(peer.Account(), peer.Entry()));
    ASSERT_TRUE(peer.LogOn());
    ASSERT_TRUE(link.WaitLoggedOn());
    std::string reply = "\"P\"," + std::to_string(sizes.size()) + ",";
    std::vector<std::string> contents;
    for (const std::size_t size : sizes) {
      reply += "\"f" + std::to_string(size) + "\",1,1," + std::to_string(size) + "\n";
      contents.push_back(Pattern(size, static_cast<unsigned>(keyLength)));
    }
    ASSERT_TRUE(peer.Write(MSGID_RETRIEVED_DOCUMENTS, reply, contents, std::nullopt, 41));
    const std::optional<Msg> files = link.WaitMessage([](const Msg& m) { return m.GetOriginalStamp() == 41; });
    ASSERT_TRUE(files);
    const std::vector<std::string> rows = SplitRecordRows(BodyOf(*files));
    ASSERT_EQ(rows.size(), sizes.size() + 1);

    // The received files go back out behind 5018, from the folder they arrived in.
    const std::filesystem::path folder = std::filesystem::path(ReceivedFileOf(rows[1]).first).parent_path();
    std::string add = "\"" + folder.string() + "\",\"P\"," + std::to_string(sizes.size()) + "\n";
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      const std::string path = ReceivedFileOf(rows[i + 1]).first;
      EXPECT_TRUE(platform::ScratchFolder::Read(path) == contents[i]) << "in, key " << keyLength << ", size " << sizes[i];
      add += "\"" + std::filesystem::path(path).filename().string() + "\"," + std::to_string(sizes[i]) + ",\"\"\n";
    }
    Msg request = Request(MSGID_ADD_DOCUMENTS, add);
    ASSERT_EQ(link.connection.SendMessage(request), IPConnection::kDone);
    ASSERT_TRUE(peer.Read(1));
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      EXPECT_TRUE(peer.ReadFile(sizes[i]) == contents[i]) << "out, key " << keyLength << ", size " << sizes[i];
    }
  }
}

// A file's bytes are counted as its blocks arrive; the count clears once it is in.
TEST(IPConnectionRawPeer, AFileBeingReceivedCountsItsBytesAsTheyArrive) {
  RawPeer peer;
  Link link;
  ASSERT_TRUE(link.Start(peer.Account(), peer.Entry()));
  ASSERT_TRUE(peer.LogOn());
  ASSERT_TRUE(link.WaitLoggedOn());
  constexpr std::int64_t kSize = 5 * static_cast<std::int64_t>(SocketTransfer::kMaxCallBytes);
  const std::string wire = peer.Scrambled(Pattern(static_cast<std::size_t>(kSize), 16));
  ASSERT_TRUE(peer.Write(MSGID_RETRIEVED_DOCUMENTS, "\"P\",1,\"big\",1,1," + std::to_string(kSize) + "\n", {},
                         std::nullopt, 43));
  std::size_t sent = 0;
  for (const std::size_t upTo : {std::size_t{0}, 2 * SocketTransfer::kMaxCallBytes, 4 * SocketTransfer::kMaxCallBytes}) {
    ASSERT_TRUE(upTo == sent || peer.WriteRaw(wire.substr(sent, upTo - sent)));
    sent = upTo;
    EXPECT_TRUE(WaitUntil([&] {
      const TransferProgress::Counts counts = link.connection.GetFileProgress();
      return counts.done == static_cast<std::int64_t>(sent) && counts.total == kSize;
    })) << sent;
  }
  ASSERT_TRUE(peer.WriteRaw(wire.substr(sent)));
  ASSERT_TRUE(link.WaitMessage([](const Msg& m) { return m.GetOriginalStamp() == 43; }));
  EXPECT_EQ(link.connection.GetFileProgress().total, 0);
}

struct BadReply {
  const char* what;
  MessageId id;
  std::string body;
  std::optional<std::uint32_t> length;
  int retryLimit = IPConnection::kMaxSocketErrorCount;
};

TEST(IPConnectionRawPeer, RepliesThatCannotBeFramedEndTheLink) {
  const std::vector<BadReply> cases = {
      {"body over 64 MiB", MSGID_PROJECT_TREE, "", Msg::kMaxBodyLength + 1},
      {"negative file size", MSGID_RETRIEVED_DOCUMENTS, "\"P\",1,\"a\",1,1,-1\n", std::nullopt},
      {"flagged row without size", MSGID_CHECKED_OUT_DOCUMENTS, "\"P\",1,\"a\",1,1\n", std::nullopt},
      {"body cut short", MSGID_PROJECT_TREE, "0123456789", 100, 5},
  };
  for (const BadReply& bad : cases) {
    RawPeer peer;
    Link link(bad.retryLimit);
    ASSERT_TRUE(link.Start(peer.Account(), peer.Entry()));
    ASSERT_TRUE(peer.LogOn());
    ASSERT_TRUE(link.WaitLoggedOn());
    ASSERT_TRUE(peer.Write(bad.id, bad.body, {}, bad.length));
    EXPECT_TRUE(peer.HasNewConnection(10000)) << bad.what;  // link ended, reconnecting
    EXPECT_TRUE(peer.ClosedWithoutSending()) << bad.what;    // no request to send it again
    Msg taken;
    while (link.connection.ReceiveMessage(taken) == IPConnection::kDone) {
      EXPECT_EQ(taken.GetMessageId(), MSGID_LOGON_ACCEPTED) << bad.what;
    }
  }
}

TEST(IPConnectionRawPeer, AWriteThatCannotBeCompletedEndsTheLinkWithoutReconnecting) {
  platform::ScratchFolder folder;
  folder.Put("short.txt", "abc");
  struct Case {
    const char* what;
    int retryLimit;
    Msg request;
  };
  const std::vector<Case> cases = {
      {"the peer never reads", 5, Request(MSGID_REFRESH_PROJECTS, Pattern(48u << 20, 2))},
      {"a file shorter than its row", IPConnection::kMaxSocketErrorCount,
       Request(MSGID_ADD_DOCUMENTS, "\"" + folder.Path() + "\",\"P\",1\n\"short.txt\",10,\"\"\n")},
  };
  for (Case c : cases) {
    RawPeer peer;
    Link link(c.retryLimit);
    ASSERT_TRUE(link.Start(peer.Account(), peer.Entry()));
    ASSERT_TRUE(peer.LogOn());
    ASSERT_TRUE(link.WaitLoggedOn());
    ASSERT_EQ(link.connection.SendMessage(c.request), IPConnection::kDone);
    ASSERT_TRUE(link.WaitEnded()) << c.what;
    EXPECT_EQ(link.connection.GetSocketState(), IPConnection::kSocketClosed) << c.what;
    EXPECT_FALSE(peer.HasNewConnection(0)) << c.what;
  }
}

TEST(IPConnectionRawPeer, StoppingWhileThePeerIsSilentEndsWithinBounds) {
  RawPeer peer;
  Link link;
  ASSERT_TRUE(link.Start(peer.Account(), peer.Entry()));
  ASSERT_TRUE(peer.Accept());
  ASSERT_TRUE(peer.Read(0));
  ASSERT_TRUE(WaitUntil([&] { return link.connection.GetLogonState() == IPConnection::kLogonSent; }));
  EXPECT_LT(link.StopAndJoin(), kCloseBound);
  EXPECT_EQ(link.connection.GetSocketState(), IPConnection::kSocketClosed);
  EXPECT_EQ(link.connection.GetEnd(), LinkEnd::kNone) << "stopped by its owner";
}

}  // namespace
