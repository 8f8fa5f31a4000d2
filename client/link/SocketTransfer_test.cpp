#include "client/link/SocketTransfer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "common/Msg.h"

namespace {

using Outcome = SocketTransfer::Outcome;

struct Pair {
  platform::Socket listener;
  platform::Transport near, far;
};

Pair Connected() {
  Pair pair;
  pair.listener = platform::Socket::Listen(0, 4, "127.0.0.1");
  platform::Socket near = platform::Socket::Connect("127.0.0.1", pair.listener.LocalPort());
  near.SetBufferSizes(1 << 20, 0);
  pair.near = platform::Transport(std::move(near));
  EXPECT_TRUE(pair.listener.WaitReadable(10000));
  platform::Socket far;
  EXPECT_EQ(pair.listener.Accept(far), platform::IoStatus::Ok);
  pair.far = platform::Transport(std::move(far));
  return pair;
}

// A message goes out as one range: its 52 header bytes, then its body.
TEST(SocketTransfer, SendsAtMostSixtyThousandBytesACall) {
  Pair pair = Connected();
  std::atomic<bool> stop{false};
  for (const auto& [bytes, calls] : {std::pair<std::size_t, long long>{Msg::kHeaderSize + 59948, 1}, {Msg::kHeaderSize + 59949, 2}, {120001, 3}}) {
    SocketTransfer writer(pair.near, stop, 100);
    const std::string data(bytes, 'w');
    ASSERT_EQ(writer.Write(data.data(), data.size()), Outcome::Done);
    EXPECT_EQ(writer.SendCalls(), calls) << bytes;
    std::string got(bytes, '\0');
    SocketTransfer reader(pair.far, stop, 1000);
    ASSERT_EQ(reader.Read(got.data(), got.size()), Outcome::Done);
    EXPECT_EQ(got, data);
  }
}

TEST(SocketTransfer, ReadsTellIdleClosedStoppedAndExhaustedApart) {
  Pair pair = Connected();
  std::atomic<bool> stop{false};
  char buffer[52];
  SocketTransfer reader(pair.near, stop, 3);
  EXPECT_EQ(reader.Read(buffer, sizeof buffer, 0), Outcome::Idle);
  ASSERT_EQ(pair.far.Send("part", 4).bytes, 4u);
  EXPECT_EQ(reader.Read(buffer, sizeof buffer, 1000), Outcome::Exhausted);  // a header cut short stalls

  stop = true;
  EXPECT_EQ(reader.Read(buffer, sizeof buffer), Outcome::Stopped);
  stop = false;
  pair.far.Close();
  EXPECT_EQ(reader.Read(buffer, sizeof buffer, 1000), Outcome::Closed);
}

}  // namespace
