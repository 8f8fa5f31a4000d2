#include "server/engine/StartSockets.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

#include "common/TraceError.h"
#include "platform/Process.h"
#include "platform/Socket.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/ConnectionTicket.h"
#include "server/engine/ServerConsole.h"
#include "server/engine/SocketTalk.h"
#include "server/store/CWexmoorDoc.h"

namespace {

constexpr int kBacklog = 5;
constexpr std::chrono::milliseconds kPauseAfterFailedAccept{100};
constexpr int kRefuseWaitMs = 100;

constexpr int kMaxConnections = 100;
// Descriptors kept for the store and the users' file work, and per connection its
// socket plus the one file it receives or sends at a time.
constexpr unsigned long long kReservedDescriptors = 128;
constexpr unsigned long long kDescriptorsPerConnection = 2;
// Threads kept for the listener, the console and the rest of the process.
constexpr unsigned long long kReservedThreads = 16;
constexpr unsigned long long kThreadsPerConnection = 3;

std::atomic<int> connectionBoundForTesting{0};

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

void SetConnectionBoundForTesting(int bound) { connectionBoundForTesting = bound; }

int StartSockets(ServerConsole* console) {
  CWexmoorApp& app = console->GetApp();
  app.IncrementThreadCount();
  ServerSettings& settings = console->GetDocument().GetSettings();
  ReplaceServerAddress(*console, settings);

  platform::Socket listening = OpenListener(*console, settings.GetPort());
  if (listening.IsOpen()) {
    console->ReportListening(&listening);
    const int bound = ConnectionBound();
    while (!console->ListenerStopFlag()) {
      console->ReapEndedConnections();
      if (console->GetLiveConnectionThreadCount() >= bound) {
        if (!RefuseNextConnection(listening)) console->PauseUnlessStopping(kPauseAfterFailedAccept);
        continue;
      }
      ConnectionTicket ticket;
      ticket.console = console;
      ticket.connectionNumber = app.TakeConnectionNumber();
      ticket.listening = &listening;
      try {
        console->AddConnectionThread(ticket.connectionNumber, std::thread(SocketTalk, &ticket));
      } catch (const std::system_error&) {
        TraceError("StartSockets() - No thread for a new connection");
        if (!RefuseNextConnection(listening)) console->PauseUnlessStopping(kPauseAfterFailedAccept);
        continue;
      }
      bool connected = false;
      ticket.WaitAccepted(connected);
      // A failed accept (say, no free descriptors) must not make the loop spin.
      if (!connected) console->PauseUnlessStopping(kPauseAfterFailedAccept);
    }
  }
  console->ReportListenerEnded();   // the console no longer touches the socket
  listening.Close();
  app.DecrementThreadCount();
  return 0;
}
