#include "platform/Transport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "platform/ScratchFolder.h"
#include "platform/TlsContext.h"
#include "platform/TlsCredentials.h"

namespace platform {
namespace {

constexpr int kWaitMs = 10000;
constexpr const char* kLoopback = "127.0.0.1";
using Clock = std::chrono::steady_clock;

// A server identity written to PEM files in a scratch folder.
struct Identity {
  ScratchFolder folder;
  std::string certificatePem, keyPem, certificatePath, keyPath;
  Identity() {
    std::string error;
    EXPECT_TRUE(TlsCredentials::Make("test", certificatePem, keyPem, error)) << error;
    certificatePath = folder.Put("certificate.pem", certificatePem);
    keyPath = folder.Put("key.pem", keyPem);
  }
};

// An accepted socket and the client connected to it.
std::pair<Socket, Socket> ConnectedSockets() {
  Socket listener = Socket::Listen(0, 5, kLoopback);
  Socket client = Socket::Connect(kLoopback, listener.LocalPort());
  Socket server;
  EXPECT_TRUE(listener.WaitReadable(kWaitMs));
  EXPECT_EQ(listener.Accept(server), IoStatus::Ok);
  return {std::move(server), std::move(client)};
}

// Both ends' handshakes, stepped in turn until both are done or one fails.
bool Handshake(Transport& server, Transport& client) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
  Transport::Handshake a = Transport::Handshake::Pending, b = Transport::Handshake::Pending;
  while (Clock::now() < deadline) {
    a = server.Advance();
    b = client.Advance();
    if (a == Transport::Handshake::Failed || b == Transport::Handshake::Failed) return false;
    if (a == Transport::Handshake::Done && b == Transport::Handshake::Done) return true;
    server.WaitReadable(5);
  }
  return false;
}

// Sends all of `bytes` from one end (but the first `alreadySent`) while the other receives them.
std::string Move(Transport& from, Transport& to, const std::string& bytes, std::size_t alreadySent = 0) {
  std::string received;
  std::size_t sent = alreadySent;
  std::vector<char> buffer(70000);
  const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
  while (received.size() < bytes.size() && Clock::now() < deadline) {
    if (sent < bytes.size()) {
      const IoResult put = from.Send(bytes.data() + sent, std::min<std::size_t>(60000, bytes.size() - sent));
      if (put.status == IoStatus::Ok) sent += put.bytes;
    }
    const IoResult got = to.Receive(buffer.data(), buffer.size());
    if (got.status == IoStatus::Ok) received.append(buffer.data(), got.bytes);
    if (got.status == IoStatus::Failed || got.status == IoStatus::Closed) break;
    if (got.status == IoStatus::WouldBlock) to.WaitReadable(5);
  }
  return received;
}

// A TLS server and its client, over loopback sockets or in memory.
struct TlsPair {
  Identity identity;
  Transport server, client;
  // `clientSendBuffer`: the client socket's send buffer, when not the system's.
  explicit TlsPair(bool inMemory, int clientSendBuffer = 0) {
    std::string error;
    auto serverContext = TlsContext::ForServer(identity.certificatePath, identity.keyPath, error);
    auto clientContext = TlsContext::ForClient(error);
    EXPECT_TRUE(serverContext && clientContext) << error;
    if (inMemory) {
      std::tie(server, client) = Transport::MemoryPair(serverContext, clientContext);
      return;
    }
    auto [accepted, connected] = ConnectedSockets();
    if (clientSendBuffer > 0) {
      EXPECT_TRUE(connected.SetBufferSizes(clientSendBuffer, 0));
    }
    server = Transport(std::move(accepted), serverContext);
    client = Transport(std::move(connected), clientContext);
  }
};

// Each TLS test runs over both links.
constexpr bool kLinks[] = {false, true};
const char* LinkName(bool inMemory) { return inMemory ? "in memory" : "over sockets"; }

TEST(TransportTest, TlsCarriesBytesBothWaysAndNamesTheServersCertificate) {
  for (const bool inMemory : kLinks) {
    SCOPED_TRACE(LinkName(inMemory));
    TlsPair pair(inMemory);
    ASSERT_TRUE(Handshake(pair.server, pair.client));
    EXPECT_EQ(pair.client.PeerFingerprint(), TlsCredentials::FingerprintOfPem(pair.identity.certificatePem));
    EXPECT_EQ(pair.server.PeerFingerprint(), "");   // clients present no certificate

    std::string large(3 * 1024 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 131 >> 3);
    for (const std::string& bytes : {std::string("x"), large}) {
      EXPECT_EQ(Move(pair.client, pair.server, bytes), bytes);
      EXPECT_EQ(Move(pair.server, pair.client, bytes), bytes);
    }
  }
}

TEST(TransportTest, SendsTheSocketTakesInPartLoseAndRepeatNoByte) {
  TlsPair pair(false, 4096);
  ASSERT_TRUE(Handshake(pair.server, pair.client));
  std::string bytes(2 * 1024 * 1024 + 3, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + (i >> 11));
  // The first call takes less than it is given: the rest of its records wait.
  const IoResult first = pair.client.Send(bytes.data(), 60000);
  EXPECT_LT(first.bytes, 60000u);
  const std::size_t taken = first.status == IoStatus::Ok ? first.bytes : 0;
  EXPECT_TRUE(Move(pair.client, pair.server, bytes, taken) == bytes);
}

TEST(TransportTest, PeekGathersRecordsAndReceiveStillReadsThem) {
  for (const bool inMemory : kLinks) {
    SCOPED_TRACE(LinkName(inMemory));
    TlsPair pair(inMemory);
    ASSERT_TRUE(Handshake(pair.server, pair.client));
    // Three sends are three TLS records; a peek sees them as one run of bytes.
    for (const char* piece : {"head", "er+", "body"}) {
      ASSERT_EQ(pair.client.Send(piece, std::strlen(piece)).status, IoStatus::Ok);
    }
    char peeked[32] = {};
    const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
    IoResult seen{};
    while (Clock::now() < deadline) {
      seen = pair.server.Peek(peeked, sizeof peeked);
      if (seen.status == IoStatus::Ok && seen.bytes == 11) break;
      pair.server.WaitReadable(5);
    }
    ASSERT_EQ(std::string(peeked, seen.bytes), "header+body");
    EXPECT_TRUE(pair.server.WaitReadable(0));   // the peeked bytes wait in the transport
    EXPECT_EQ(Move(pair.client, pair.server, ""), "");
    char read[32] = {};
    const IoResult got = pair.server.Receive(read, sizeof read);
    EXPECT_EQ(std::string(read, got.bytes), "header+body");
  }
}

TEST(TransportTest, RecordsReadAheadCountAsReadable) {
  TlsPair pair(false);
  ASSERT_TRUE(Handshake(pair.server, pair.client));
  ASSERT_EQ(pair.client.Send("a", 1).status, IoStatus::Ok);
  ASSERT_EQ(pair.client.Send("b", 1).status, IoStatus::Ok);
  // Both records wait on the server's socket before it reads.
  constexpr std::size_t kTwoRecords = 2 * (5 + 1 + 1 + 16);
  char raw[64] = {};
  const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
  while (pair.server.GetSocket().Peek(raw, sizeof raw).bytes < kTwoRecords && Clock::now() < deadline) {
    pair.server.GetSocket().WaitReadable(5);
  }
  char read = 0;
  ASSERT_EQ(pair.server.Receive(&read, 1).bytes, 1u);
  EXPECT_EQ(read, 'a');
  // The second record was read ahead with the first: the socket holds nothing more.
  EXPECT_FALSE(pair.server.GetSocket().WaitReadable(0));
  EXPECT_TRUE(pair.server.WaitReadable(0));
  ASSERT_EQ(pair.server.Receive(&read, 1).bytes, 1u);
  EXPECT_EQ(read, 'b');
  EXPECT_FALSE(pair.server.WaitReadable(0));
}

// Receives once the peer's next bytes or end.
IoResult ReceiveOne(Transport& transport) {
  char byte = 0;
  IoResult got{};
  const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
  do {
    transport.WaitReadable(5);
    got = transport.Receive(&byte, 1);
  } while (got.status == IoStatus::WouldBlock && Clock::now() < deadline);
  return got;
}

TEST(TransportTest, EndsAndFailuresReadAsOnThePlainSocket) {
  for (const bool inMemory : kLinks) {
    SCOPED_TRACE(std::string("peer closes after the handshake, ") + LinkName(inMemory));
    TlsPair pair(inMemory);
    ASSERT_TRUE(Handshake(pair.server, pair.client));
    pair.client.Close();
    EXPECT_EQ(ReceiveOne(pair.server).status, IoStatus::Closed);
  }
  {
    SCOPED_TRACE("peer is no TLS server");
    std::string error;
    auto [accepted, connected] = ConnectedSockets();
    Transport client(std::move(connected), TlsContext::ForClient(error));
    ASSERT_EQ(accepted.Send("not a TLS record at all\r\n", 25).status, IoStatus::Ok);
    EXPECT_EQ(ReceiveOne(client).status, IoStatus::Failed);
    EXPECT_EQ(client.PeerFingerprint(), "");
  }
}

// One client connection under `target` pinned to `fingerprint`: whether it resumed
// and the fingerprint it was shown. A byte from the server brings the ticket in.
std::pair<bool, std::string> ConnectOnce(const std::shared_ptr<const TlsContext>& serverContext,
                                         const std::shared_ptr<const TlsContext>& clientContext,
                                         const std::string& target, const std::string& fingerprint) {
  auto [accepted, connected] = ConnectedSockets();
  Transport server(std::move(accepted), serverContext);
  Transport client(std::move(connected), clientContext, target, fingerprint);
  EXPECT_TRUE(Handshake(server, client));
  EXPECT_EQ(Move(server, client, "x"), "x");
  return {client.IsResumed(), client.PeerFingerprint()};
}

TEST(TransportTest, ResumedSessionsKeepTheirPin) {
  Identity a, b;
  std::string error;
  const auto serverA = TlsContext::ForServer(a.certificatePath, a.keyPath, error);
  const auto serverB = TlsContext::ForServer(b.certificatePath, b.keyPath, error);
  const auto client = TlsContext::ForClient(error);
  ASSERT_TRUE(serverA && serverB && client) << error;
  const std::string pinA = TlsCredentials::FingerprintOfPem(a.certificatePem);
  const std::string pinB = TlsCredentials::FingerprintOfPem(b.certificatePem);
  struct Case {
    const char* name;
    std::shared_ptr<const TlsContext> server;
    std::string target, pin;
    bool resumed;
    std::string shown;
  };
  const Case cases[] = {
      {"first connection", serverA, "one", pinA, false, pinA},
      {"same server again", serverA, "one", pinA, true, pinA},
      {"another target", serverA, "two", pinA, false, pinA},
      {"the pin changed", serverA, "one", pinB, false, pinA},
      {"kept session dropped with the changed pin", serverA, "one", pinA, false, pinA},
      {"again after the full handshake", serverA, "one", pinA, true, pinA},
      {"another server behind the target", serverB, "one", pinA, false, pinB},
      {"nothing kept from the refused server", serverA, "one", pinA, false, pinA},
      {"no target: nothing kept or resumed", serverA, "", pinA, false, pinA},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto [resumed, shown] = ConnectOnce(c.server, client, c.target, c.pin);
    EXPECT_EQ(resumed, c.resumed);
    EXPECT_EQ(shown, c.shown);
  }
}

TEST(TransportTest, ServerContextRefusesFilesItCannotUse) {
  Identity identity, other;
  struct Case {
    const char* name;
    std::string certificate, key, expected;
  };
  const Case cases[] = {
      {"missing certificate", identity.folder / "none.pem", identity.keyPath, "cannot be used"},
      {"missing key", identity.certificatePath, identity.folder / "none.pem", "cannot be used"},
      {"key of another certificate", identity.certificatePath, other.keyPath, "mismatch"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    EXPECT_EQ(TlsContext::ForServer(c.certificate, c.key, error), nullptr);
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
}

TEST(TransportTest, EachMadeCertificateHasItsOwnFingerprint) {
  Identity a, b;
  const std::string fingerprint = TlsCredentials::FingerprintOfPem(a.certificatePem);
  EXPECT_EQ(fingerprint.size(), 32u * 3 - 1);
  EXPECT_NE(fingerprint, TlsCredentials::FingerprintOfPem(b.certificatePem));
  EXPECT_EQ(TlsCredentials::FingerprintOfPem("no certificate"), "");
}

}  // namespace
}  // namespace platform
