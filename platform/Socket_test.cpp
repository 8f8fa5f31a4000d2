#include "platform/Socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <vector>

namespace platform {
namespace {

constexpr int kWaitMs = 10000;
constexpr const char* kLoopback = "127.0.0.1";

struct Pair {
  Socket listener, client, server;
};

// A listener on a free loopback port, a client connected to it and the accepted end.
Pair Connected() {
  Pair pair;
  pair.listener = Socket::Listen(0, 5, kLoopback);
  EXPECT_TRUE(pair.listener.IsOpen());
  pair.client = Socket::Connect(kLoopback, pair.listener.LocalPort());
  EXPECT_TRUE(pair.client.IsOpen());
  EXPECT_TRUE(pair.listener.WaitReadable(kWaitMs));
  EXPECT_EQ(pair.listener.Accept(pair.server), IoStatus::Ok);
  return pair;
}

std::vector<char> Pattern(std::size_t size, unsigned seed) {
  std::vector<char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed) >> 3);
  return bytes;
}

// Moves `outgoing` out of `from` into `received` of `to`, piece by piece, without
// blocking, counting what the non-blocking calls reported.
struct Stream {
  Stream(Socket& sender, Socket& receiver, const std::vector<char>& bytes)
      : from(sender), to(receiver), outgoing(bytes) {}

  Socket& from;
  Socket& to;
  const std::vector<char>& outgoing;
  std::vector<char> received;
  std::size_t sent = 0;
  int partialSends = 0, wouldBlocks = 0;

  bool Done() const { return sent == outgoing.size() && received.size() == outgoing.size(); }

  // Sends until the socket pushes back, then reads one small buffer, so that the
  // sender outruns the receiver and meets full buffers.
  void Step() {
    constexpr std::size_t kPiece = 60000;
    for (int i = 0; i < 8 && sent < outgoing.size(); ++i) {
      const std::size_t want = std::min(kPiece, outgoing.size() - sent);
      const IoResult r = from.Send(outgoing.data() + sent, want);
      ASSERT_TRUE(r.status == IoStatus::Ok || r.status == IoStatus::WouldBlock);
      sent += r.bytes;
      if (r.status == IoStatus::WouldBlock) {
        ++wouldBlocks;
        break;
      }
      if (r.bytes < want) ++partialSends;
    }
    if (received.size() == sent) return;   // nothing in flight to wait for
    char buffer[16384];
    ASSERT_TRUE(to.WaitReadable(kWaitMs));
    const IoResult r = to.Receive(buffer, sizeof buffer);
    ASSERT_TRUE(r.status == IoStatus::Ok || r.status == IoStatus::WouldBlock);
    received.insert(received.end(), buffer, buffer + r.bytes);
  }
};

TEST(Socket, LoopbackPeersExchangeTenMegabytesWithPartialSendsAndRetries) {
  Pair p = Connected();
  ASSERT_TRUE(p.client.SetBufferSizes(32768, 32768));
  ASSERT_TRUE(p.server.SetBufferSizes(32768, 32768));
  const auto up = Pattern(10 << 20, 1);
  const auto down = Pattern(10 << 20, 7);
  Stream toServer{p.client, p.server, up};
  Stream toClient{p.server, p.client, down};

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!(toServer.Done() && toClient.Done())) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    ASSERT_NO_FATAL_FAILURE(toServer.Step());
    ASSERT_NO_FATAL_FAILURE(toClient.Step());
  }
  EXPECT_TRUE(toServer.received == up);
  EXPECT_TRUE(toClient.received == down);
  EXPECT_GT(toServer.partialSends + toClient.partialSends, 0);
  EXPECT_GT(toServer.wouldBlocks + toClient.wouldBlocks, 0);
}

TEST(Socket, PeerCloseIsReadAsClosed) {
  Pair p = Connected();
  ASSERT_EQ(p.server.Send("bye", 3).bytes, 3u);
  ASSERT_TRUE(p.server.Shutdown());
  p.server.Close();

  char buffer[16];
  ASSERT_TRUE(p.client.WaitReadable(kWaitMs));
  const IoResult data = p.client.Receive(buffer, sizeof buffer);
  EXPECT_EQ(data.status, IoStatus::Ok);
  EXPECT_EQ(std::string(buffer, data.bytes), "bye");
  ASSERT_TRUE(p.client.WaitReadable(kWaitMs));
  const IoResult end = p.client.Receive(buffer, sizeof buffer);
  EXPECT_EQ(end.status, IoStatus::Closed);
  EXPECT_EQ(end.bytes, 0u);
}

TEST(Socket, PeekLeavesTheBytesForReceiveAndSeesTheClose) {
  Pair p = Connected();
  char buffer[16];
  EXPECT_EQ(p.client.Peek(buffer, sizeof buffer).status, IoStatus::WouldBlock);
  ASSERT_EQ(p.server.Send("hello", 5).bytes, 5u);
  p.server.Close();
  ASSERT_TRUE(p.client.WaitReadable(kWaitMs));
  for (int look = 0; look < 2; ++look) {
    const IoResult peeked = p.client.Peek(buffer, 3);
    ASSERT_EQ(peeked.status, IoStatus::Ok);
    EXPECT_EQ(std::string(buffer, peeked.bytes), "hel");
  }
  const IoResult data = p.client.Receive(buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, data.bytes), "hello");
  EXPECT_EQ(p.client.Peek(buffer, sizeof buffer).status, IoStatus::Closed);
}

TEST(Socket, SendsToAClosedPeerFailSoonWithoutKillingTheProcess) {
  Pair p = Connected();
  p.server.Close();
  const std::vector<char> piece(1000, 'x');
  IoStatus last = IoStatus::Ok;
  int tries = 0;
  for (; tries < 100 && last != IoStatus::Failed; ++tries) {
    ASSERT_TRUE(p.client.WaitWritable(kWaitMs));
    last = p.client.Send(piece.data(), piece.size()).status;
  }
  EXPECT_EQ(last, IoStatus::Failed) << "after " << tries << " sends";
  EXPECT_EQ(p.client.Send(piece.data(), piece.size()).status, IoStatus::Failed);
}

TEST(Socket, EndsKnowTheirAddressesAndPorts) {
  Pair p = Connected();
  EXPECT_EQ(p.client.PeerAddress(), kLoopback);
  EXPECT_EQ(p.client.PeerPort(), p.listener.LocalPort());
  EXPECT_EQ(p.server.PeerPort(), p.client.LocalPort());
  EXPECT_EQ(p.server.LocalAddress(), kLoopback);
  EXPECT_NE(p.client.LocalPort(), 0);

  Socket moved = std::move(p.client);
  EXPECT_FALSE(p.client.IsOpen());
  EXPECT_EQ(moved.PeerPort(), p.listener.LocalPort());
  EXPECT_EQ(p.client.PeerAddress(), "");
}

TEST(Socket, FailuresAreReportedNotThrown) {
  Socket listener = Socket::Listen(0, 5, kLoopback);
  ASSERT_TRUE(listener.IsOpen());
  Socket none;
  EXPECT_EQ(listener.Accept(none), IoStatus::WouldBlock);
  EXPECT_FALSE(listener.WaitReadable(0));

  const std::uint16_t freePort = listener.LocalPort();
  listener.Close();
  EXPECT_FALSE(Socket::Connect(kLoopback, freePort).IsOpen());
  EXPECT_FALSE(Socket::Connect("", freePort).IsOpen());
  EXPECT_FALSE(Socket::Listen(0, 5, "not an address").IsOpen());

  char byte = 0;
  EXPECT_EQ(none.Send(&byte, 1).status, IoStatus::Failed);
  EXPECT_EQ(none.Receive(&byte, 1).status, IoStatus::Failed);
  EXPECT_FALSE(none.Shutdown());
}

sockaddr_in LoopbackAddress(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

TEST(Socket, StoppableConnectEndsOnSuccessRefusalStopAndTimeLimit) {
  std::atomic<bool> stop{false};
  Socket listener = Socket::Listen(0, 0, kLoopback);
  ASSERT_TRUE(listener.IsOpen());
  const sockaddr_in address = LoopbackAddress(listener.LocalPort());
  Socket first = Socket::ConnectStoppable(address, stop);
  ASSERT_TRUE(first.IsOpen());
  EXPECT_EQ(first.PeerPort(), listener.LocalPort());
  char byte = 0;
  EXPECT_EQ(first.Receive(&byte, 1).status, IoStatus::WouldBlock);  // non-blocking once connected

  // Nobody accepts: once the queue is full a connect stays pending until its limit.
  std::vector<Socket> queued;
  const auto start = std::chrono::steady_clock::now();
  int error = 0;
  for (int i = 0; i < 8; ++i) {
    Socket next = Socket::ConnectStoppable(address, stop, 100, &error);
    if (!next.IsOpen()) break;
    queued.push_back(std::move(next));
  }
  EXPECT_LT(queued.size(), 8u);
  EXPECT_EQ(error, ETIMEDOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

  stop = true;
  const auto stopped = std::chrono::steady_clock::now();
  EXPECT_FALSE(Socket::ConnectStoppable(address, stop, 10000, &error).IsOpen());
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::milliseconds(500));
  EXPECT_EQ(error, ECANCELED);

  stop = false;
  const std::uint16_t freePort = listener.LocalPort();
  listener.Close();
  EXPECT_FALSE(Socket::ConnectStoppable(LoopbackAddress(freePort), stop, 10000, &error).IsOpen());
  EXPECT_EQ(error, ECONNREFUSED);
}

}  // namespace
}  // namespace platform
