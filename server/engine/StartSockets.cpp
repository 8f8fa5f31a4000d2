#include "server/engine/StartSockets.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <system_error>
#include <thread>

#include "common/TraceError.h"
#include "platform/Process.h"
#include "platform/Socket.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/ConnectionLobby.h"
#include "server/engine/ConnectionTicket.h"
#include "server/engine/ServerConsole.h"
#include "server/engine/SocketTalk.h"
#include "server/store/CWexmoorDoc.h"

namespace {

constexpr int kBacklog = 5;
constexpr std::chrono::milliseconds kPauseAfterFailedAccept{100};
constexpr int kRefuseWaitMs = 100;
constexpr int kArrivalWaitMs = 50;

constexpr int kMaxConnections = 100;
// Descriptors kept for the store and the users' file work, and per connection its
// socket plus the one file it receives or sends at a time.
constexpr unsigned long long kReservedDescriptors = 128;
constexpr unsigned long long kDescriptorsPerConnection = 2;
// Threads kept for the listener, the console and the rest of the process.
constexpr unsigned long long kReservedThreads = 16;
constexpr unsigned long long kThreadsPerConnection = 3;
// Accepted connections waiting for a place, and how long a connection not logged
// on must have been quiet before it is closed for one of them.
constexpr std::size_t kLobbyCapacity = 64;
constexpr std::chrono::milliseconds kQuietBeforeClosing{2000};
constexpr std::chrono::minutes kStrangerNoticeInterval{1};

std::atomic<int> connectionBoundForTesting{0};
std::atomic<int> strangerBoundForTesting{0};

unsigned long long SoftLimit(int resource) {
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0) return RLIM_INFINITY;
  return limit.rlim_cur;
}

// Connections a limit leaves room for, after what is kept back.
unsigned long long RoomUnder(unsigned long long limit, unsigned long long reserved, unsigned long long each) {
  if (limit == RLIM_INFINITY) return kMaxConnections;
  return limit > reserved ? (limit - reserved) / each : 0;
}

// Accepts the next connection that arrives within a short wait and closes it at
// once. False when the accept failed (say, no free descriptors).
bool RefuseNextConnection(platform::Socket& listening) {
  if (!listening.WaitReadable(kRefuseWaitMs)) return true;
  platform::Socket refused;
  const platform::IoStatus status = listening.Accept(refused);
  refused.Close();
  return status == platform::IoStatus::Ok || status == platform::IoStatus::WouldBlock;
}

// Moves every connection waiting on the listening socket into the lobby. False
// when an accept failed (say, no free descriptors).
bool AcceptArrivals(platform::Socket& listening, ConnectionLobby& lobby) {
  for (std::size_t taken = 0; taken < kLobbyCapacity; ++taken) {
    platform::Socket accepted;
    const platform::IoStatus status = listening.Accept(accepted);
    if (status == platform::IoStatus::WouldBlock) return true;
    if (status != platform::IoStatus::Ok) return false;
    lobby.Add(std::move(accepted));
  }
  return true;
}

// Starts the connection thread for `accepted` and waits until its engine has
// taken it. False when no thread could be made (the connection is closed).
bool StartConnection(ServerConsole& console, platform::Socket accepted) {
  ConnectionTicket ticket;
  ticket.console = &console;
  ticket.connectionNumber = console.GetApp().TakeConnectionNumber();
  ticket.accepted = std::move(accepted);
  try {
    console.AddConnectionThread(ticket.connectionNumber, std::thread(SocketTalk, &ticket));
  } catch (const std::system_error&) {
    TraceError("StartSockets() - No thread for a new connection");
    return false;
  }
  ticket.WaitAccepted();
  return true;
}

// Says on the console, at most once a minute, that the bound for connections not
// logged on is reached.
class StrangerBoundNotice {
 public:
  void Report(ServerConsole& console, int bound) {
    const auto now = std::chrono::steady_clock::now();
    if (reported_ && now - last_ < kStrangerNoticeInterval) return;
    reported_ = true;
    last_ = now;
    const std::string line = "Connections not logged on reached their bound of " + std::to_string(bound) +
                             "; the one quiet longest is closed to make room";
    console.AddStatusLine(line);
    std::cerr << line << std::endl;
  }

 private:
  bool reported_ = false;
  std::chrono::steady_clock::time_point last_;
};

// Serves waiting connections while places are free: a connection not logged on
// that has been quiet long enough makes room when their bound is full.
void ServeLobby(ServerConsole& console, ConnectionLobby& lobby, int bound, int strangerBound,
                StrangerBoundNotice& notice) {
  while (!lobby.IsEmpty() && console.GetLiveConnectionThreadCount() < bound) {
    if (console.GetStrangerCount() >= strangerBound) {
      notice.Report(console, strangerBound);
      if (!console.StopQuietestStranger(kQuietBeforeClosing)) return;
    }
    if (!StartConnection(console, lobby.TakeNext())) {
      console.PauseUnlessStopping(kPauseAfterFailedAccept);
      return;
    }
  }
}

// Replaces a numeric server address by the host's name; a failed look-up keeps it.
void ReplaceServerAddress(ServerConsole& console, ServerSettings& settings) {
  if (!IsNumericServerAddress(settings.GetServerAddress())) return;
  const std::string host = platform::HostName();
  if (host.empty()) {
    console.AddStatusLine("Host name look-up failed; the machine name is kept");
    return;
  }
  settings.SetServerAddress(host);
}

// Opens the listening socket; on failure reports why and gives a closed socket.
platform::Socket OpenListener(ServerConsole& console, int port) {
  if (port < 1 || port > 65535) {
    console.ReportListenerFailure("Listening port " + std::to_string(port) + " is outside 1-65535");
    return platform::Socket();
  }
  errno = 0;
  platform::Socket listening = platform::Socket::Listen(static_cast<std::uint16_t>(port), kBacklog);
  if (!listening.IsOpen()) {
    const std::string reason = errno != 0 ? std::strerror(errno) : "unknown error";
    console.ReportListenerFailure("Cannot listen on port " + std::to_string(port) + ": " + reason);
  }
  return listening;
}

}  // namespace

bool IsNumericServerAddress(const std::string& address) {
  return address.find_first_not_of("0123456789.") == std::string::npos;
}

int ConnectionBound(unsigned long long descriptorLimit, unsigned long long processLimit) {
  const unsigned long long room =
      std::min({static_cast<unsigned long long>(kMaxConnections),
                RoomUnder(descriptorLimit, kReservedDescriptors, kDescriptorsPerConnection),
                RoomUnder(processLimit, kReservedThreads, kThreadsPerConnection)});
  return std::max(1, static_cast<int>(room));
}

int ConnectionBound() {
  const int forTesting = connectionBoundForTesting;
  if (forTesting > 0) return forTesting;
  return ConnectionBound(SoftLimit(RLIMIT_NOFILE), SoftLimit(RLIMIT_NPROC));
}

int StrangerBound(int connectionBound) {
  const int forTesting = strangerBoundForTesting;
  if (forTesting > 0) return forTesting;
  return std::max(1, connectionBound / 4);
}

void SetConnectionBoundForTesting(int bound, int strangers) {
  connectionBoundForTesting = bound;
  strangerBoundForTesting = bound > 0 ? strangers : 0;
}

int StartSockets(ServerConsole* console) {
  CWexmoorApp& app = console->GetApp();
  app.IncrementThreadCount();
  ServerSettings& settings = console->GetDocument().GetSettings();
  ReplaceServerAddress(*console, settings);

  platform::Socket listening = OpenListener(*console, settings.GetPort());
  if (listening.IsOpen()) {
    console->ReportListening(&listening);
    const int bound = ConnectionBound();
    const int strangerBound = StrangerBound(bound);
    ConnectionLobby lobby(kLobbyCapacity);
    StrangerBoundNotice notice;
    while (!console->ListenerStopFlag()) {
      console->ReapEndedConnections();
      if (console->GetLiveConnectionThreadCount() >= bound) {
        if (!RefuseNextConnection(listening)) console->PauseUnlessStopping(kPauseAfterFailedAccept);
        continue;
      }
      // A failed accept (say, no free descriptors) must not make the loop spin.
      if (!AcceptArrivals(listening, lobby)) console->PauseUnlessStopping(kPauseAfterFailedAccept);
      ServeLobby(*console, lobby, bound, strangerBound, notice);
      listening.WaitReadable(kArrivalWaitMs);
    }
  }
  console->ReportListenerEnded();   // the console no longer touches the socket
  listening.Close();
  app.DecrementThreadCount();
  return 0;
}
