#include "server/engine/FirstMessagePeek.h"

#include <gtest/gtest.h>

#include <string>

#include "common/MessageIds.h"
#include "server/engine/EngineTestLibrary_test.h"
#include "server/store/CWexmoorDoc.h"

namespace {

using Arrival = FirstMessagePeek::Arrival;
using enginetest::Library;

struct Case {
  std::string name;
  MessageId id;
  bool preLogon;               // header in the default key, as before logon
  std::uint32_t announced;     // body length in the header
  std::size_t sent;            // bytes of the frame sent; SIZE_MAX: all
  bool closeAfter;
  Arrival expected;
};

constexpr std::size_t kAll = SIZE_MAX;

class FirstMessagePeekTest : public ::testing::TestWithParam<Case> {};

TEST_P(FirstMessagePeekTest, TellsWhatTheFirstBytesAre) {
  const Case& c = GetParam();
  Library library;
  platform::Socket listener = platform::Socket::Listen(0, 4, "127.0.0.1");
  platform::Socket client = platform::Socket::Connect("127.0.0.1", listener.LocalPort());
  platform::Socket served;
  ASSERT_TRUE(listener.WaitReadable(10000));
  ASSERT_EQ(platform::IoStatus::Ok, listener.Accept(served));

  const std::string body(100, 'p');
  const std::string frame = library.Frame(c.id, body, c.preLogon, 1, c.announced);
  const std::size_t sent = std::min(c.sent, frame.size());
  if (sent > 0) {
    ASSERT_EQ(sent, client.Send(frame.data(), sent).bytes);
  }
  if (c.closeAfter) client.Close();
  if (sent > 0 || c.closeAfter) {
    ASSERT_TRUE(served.WaitReadable(10000));
  }

  const FirstMessagePeek peek(library.Document().GetSettings());
  platform::Transport looked(std::move(served));
  EXPECT_EQ(c.expected, peek.Look(looked));
  char first = 0;
  if (sent > 0) {
    ASSERT_EQ(1u, looked.Receive(&first, 1).bytes);
    EXPECT_EQ(frame[0], first);   // nothing was taken
  }
}

INSTANTIATE_TEST_SUITE_P(
    Arrivals, FirstMessagePeekTest,
    ::testing::Values(Case{"Nothing", MSGID_LOGON, true, 100, 0, false, Arrival::Quiet},
                      Case{"PartOfAHeader", MSGID_LOGON, true, 100, 10, false, Arrival::Begun},
                      Case{"PartOfABody", MSGID_LOGON, true, 100, 80, false, Arrival::Begun},
                      Case{"WholeLogon", MSGID_LOGON, true, 100, kAll, false, Arrival::Logon},
                      Case{"WholeOtherRequest", MSGID_REFRESH_PROJECTS, true, 100, kAll, false, Arrival::Message},
                      Case{"BodyAboveTheLogonBound", MSGID_LOGON, true, 5000, kAll, false, Arrival::Refused},
                      Case{"FilesBeforeLogon", MSGID_CHECK_IN, true, 100, kAll, false, Arrival::Refused},
                      Case{"HeaderInAnotherKey", MSGID_LOGON, false, 100, kAll, false, Arrival::Refused},
                      Case{"ClosedWithoutAByte", MSGID_LOGON, true, 100, 0, true, Arrival::Closed}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
