#include "server/engine/ConnectionLobby.h"

#include <gtest/gtest.h>

#include <future>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/ScratchFolder.h"
#include "platform/TlsContext.h"
#include "platform/TlsCredentials.h"

namespace {

using Arrival = FirstMessagePeek::Arrival;
using A = Arrival;
using Clock = ConnectionLobby::Clock;

struct Scenario {
  std::string name;
  std::size_t capacity;
  std::vector<Arrival> arrivals;   // of the connections added, in order
  std::vector<int> served;         // the added connections TakeNext gives, in order
  int refused;
  int evicted;
};

class ConnectionLobbyTest : public ::testing::TestWithParam<Scenario> {};

// Over TLS a look takes a begun message's bytes off the socket, so its rest wakes
// the lobby's wait at once instead of at the next paced turn.
TEST(ConnectionLobbyLooks, TheRestOfABegunTlsMessageEndsTheWait) {
  platform::ScratchFolder folder;
  std::string certificate, key, error;
  ASSERT_TRUE(platform::TlsCredentials::Make("lobby", certificate, key, error)) << error;
  const auto server = platform::TlsContext::ForServer(folder.Put("c.pem", certificate), folder.Put("k.pem", key), error);
  ASSERT_TRUE(server) << error;
  platform::Socket listener = platform::Socket::Listen(0, 4, "127.0.0.1"), accepted;
  platform::Transport client(platform::Socket::Connect("127.0.0.1", listener.LocalPort()),
                             platform::TlsContext::ForClient(error));
  ASSERT_TRUE(listener.WaitReadable(10000) && listener.Accept(accepted) == platform::IoStatus::Ok);
  const auto look = [](platform::Transport& connection) {
    char bytes[8];
    const platform::IoResult peeked = connection.Peek(bytes, sizeof bytes);
    if (peeked.status != platform::IoStatus::Ok) return A::Quiet;
    return peeked.bytes < sizeof bytes ? A::Begun : A::Logon;
  };
  ConnectionLobby lobby(2, look, std::chrono::seconds(60));
  lobby.Add(platform::Transport(std::move(accepted), server), Clock::now());
  const platform::Socket noTls;
  // The lobby moves the server's handshake and the begun message along.
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  bool sent = false;
  while (lobby.NextArrival() != A::Begun && Clock::now() < deadline) {
    if (!sent && client.Advance() == platform::Transport::Handshake::Done) sent = client.Send("head", 4).bytes == 4;
    lobby.WaitForNews(listener, noTls, 5, 5);
    lobby.Refresh(Clock::now());
  }
  ASSERT_EQ(lobby.NextArrival(), A::Begun);
  std::promise<void> woken;
  std::thread waiter([&] {
    lobby.WaitForNews(listener, noTls, 600000, 600000);   // paced far beyond the wait below
    woken.set_value();
  });
  client.Send("tail", 4);
  const bool wokenByTheRest = woken.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  if (!wokenByTheRest) platform::Socket::Connect("127.0.0.1", listener.LocalPort());   // ends the wait
  waiter.join();
  EXPECT_TRUE(wokenByTheRest);
}

// Each connection's arrival is looked up by its peer's port.
TEST_P(ConnectionLobbyTest, ServesByWhatArrivedAndTurnsTheNoisiestAway) {
  const Scenario& scenario = GetParam();
  platform::Socket listener = platform::Socket::Listen(0, 64, "127.0.0.1");
  std::vector<platform::Socket> clients;
  std::map<std::uint16_t, int> indexByPort;
  std::map<std::uint16_t, Arrival> arrivalByPort;
  ConnectionLobby lobby(
      scenario.capacity, [&](platform::Transport& connection) { return arrivalByPort.at(connection.GetSocket().PeerPort()); },
      std::chrono::seconds(60));
  const Clock::time_point start = Clock::now();
  for (std::size_t i = 0; i < scenario.arrivals.size(); ++i) {
    clients.push_back(platform::Socket::Connect("127.0.0.1", listener.LocalPort()));
    indexByPort[clients.back().LocalPort()] = static_cast<int>(i);
    arrivalByPort[clients.back().LocalPort()] = scenario.arrivals[i];
    platform::Socket accepted;
    ASSERT_TRUE(listener.WaitReadable(10000));
    ASSERT_EQ(platform::IoStatus::Ok, listener.Accept(accepted));
    lobby.Add(platform::Transport(std::move(accepted)), start + std::chrono::milliseconds(i));
  }
  lobby.Refresh(start + std::chrono::milliseconds(scenario.arrivals.size()));

  std::vector<int> served;
  while (!lobby.IsEmpty()) served.push_back(indexByPort.at(lobby.TakeNext().GetSocket().PeerPort()));
  EXPECT_EQ(scenario.served, served);
  const ConnectionLobby::TurnedAway turnedAway = lobby.TakeTurnedAway();
  EXPECT_EQ(scenario.refused, turnedAway.refused);
  EXPECT_EQ(scenario.evicted, turnedAway.evicted);
}

// Silent connections cost nothing while they stay silent: one poll over them all,
// and only those that sent something (or closed) are looked at again.
TEST(ConnectionLobbyLooks, QuietConnectionsAreLookedAtAgainOnlyOnceTheyCanBeRead) {
  platform::Socket listener = platform::Socket::Listen(0, 64, "127.0.0.1");
  std::vector<platform::Socket> clients;
  std::vector<std::uint16_t> ports;
  std::map<std::uint16_t, int> looks;
  std::map<std::uint16_t, Arrival> arrivalByPort;
  ConnectionLobby lobby(
      8,
      [&](platform::Transport& socket) {
        ++looks[socket.GetSocket().PeerPort()];
        return arrivalByPort.at(socket.GetSocket().PeerPort());
      },
      std::chrono::seconds(60));
  for (int i = 0; i < 4; ++i) {
    clients.push_back(platform::Socket::Connect("127.0.0.1", listener.LocalPort()));
    ports.push_back(clients.back().LocalPort());
    arrivalByPort[ports.back()] = i == 3 ? A::Begun : A::Quiet;
    platform::Socket accepted;
    ASSERT_TRUE(listener.WaitReadable(10000));
    ASSERT_EQ(platform::IoStatus::Ok, listener.Accept(accepted));
    lobby.Add(platform::Transport(std::move(accepted)), Clock::now());
  }
  // Nothing to read: only the begun message is read again.
  lobby.WaitForNews(listener, platform::Socket(), 0, 0);
  lobby.Refresh(Clock::now());
  const std::map<std::uint16_t, int> afterSilence = looks;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(afterSilence.at(ports[i]), i == 3 ? 2 : 1) << i;

  // The second one sends its logon, the third closes.
  arrivalByPort[ports[1]] = A::Logon;
  arrivalByPort[ports[2]] = A::Closed;
  ASSERT_EQ(clients[1].Send("x", 1).status, platform::IoStatus::Ok);
  clients[2].Close();
  for (int turn = 0; turn < 100 && looks[ports[1]] + looks[ports[2]] < 4; ++turn) {
    lobby.WaitForNews(listener, platform::Socket(), 10000, 10000);
    lobby.Refresh(Clock::now());
  }
  EXPECT_EQ(looks.at(ports[0]), 1);
  EXPECT_EQ(looks.at(ports[1]), 2);
  EXPECT_EQ(looks.at(ports[2]), 2);
  EXPECT_EQ(lobby.Size(), 3u);  // the closed one left
  EXPECT_EQ(lobby.NextArrival(), A::Logon);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, ConnectionLobbyTest,
    ::testing::Values(
        Scenario{"WholeLogonsFirstThenMessagesThenBegunThenQuiet", 8,
                 {A::Quiet, A::Begun, A::Message, A::Logon, A::Logon}, {3, 4, 2, 1, 0}, 0, 0},
        Scenario{"ClosedAndRefusedLeaveAtOnce", 8, {A::Closed, A::Quiet, A::Refused, A::Refused}, {1}, 2, 0},
        Scenario{"AFullLobbyClosesTheBegunThenTheQuietLongestWaiting", 3,
                 {A::Quiet, A::Begun, A::Logon, A::Quiet, A::Logon}, {2, 4, 3}, 0, 2},
        Scenario{"GarbageTakesNoPlaceInAFullLobby", 2, {A::Quiet, A::Logon, A::Refused, A::Closed}, {1, 0}, 1, 0},
        Scenario{"AFullLobbyOfLogonsClosesTheOldest", 2, {A::Logon, A::Logon, A::Logon}, {1, 2}, 0, 1}),
    [](const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; });

}  // namespace
