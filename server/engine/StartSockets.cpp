#include "server/engine/StartSockets.h"

#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "common/TraceError.h"
#include "platform/Process.h"
#include "platform/Socket.h"
#include "platform/Transport.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/ConnectionLobby.h"
#include "server/engine/FirstMessagePeek.h"
#include "server/engine/RTE.h"
#include "server/engine/ServerConsole.h"
#include "server/engine/SocketTalk.h"
#include "server/engine/TcpEngineSocket.h"
#include "server/engine/TlsListener.h"
#include "server/engine/TurnedAwayNotice.h"
#include "server/store/CWexmoorDoc.h"

namespace {

constexpr std::chrono::milliseconds kPauseAfterFailedAccept{100};
constexpr int kRefuseWaitMs = 100;
constexpr int kArrivalWaitMs = 50;

constexpr int kMaxConnections = 1024;
constexpr int kMaxStrangers = 25;
// Descriptors kept for the store and the users' file work (a quarter of a low
// limit, within these bounds), and per connection its socket, the one file it
// receives or sends at a time and a place in the lobby.
constexpr unsigned long long kMostReservedDescriptors = 128;
constexpr unsigned long long kLeastReservedDescriptors = 24;
constexpr unsigned long long kDescriptorsPerConnection = 3;
// Threads kept for the listener, its lobby's lookers, the console and the rest of the process.
constexpr unsigned long long kReservedThreads = 24;
constexpr unsigned kMostLobbyLookers = 7;
constexpr unsigned long long kThreadsPerConnection = 3;
// How long a connection not logged on must have stalled in a begun message, or
// been quiet, before it is closed for one that has sent a whole first message;
// and how often the lobby is looked at while connections wait in it.
constexpr std::chrono::milliseconds kStalledBeforeClosing{100};
constexpr std::chrono::milliseconds kQuietBeforeClosing{1000};
constexpr int kLobbyWaitMs = 10;
constexpr std::chrono::seconds kListenRetryInterval{10};

std::atomic<int> connectionBoundForTesting{0};
std::atomic<int> strangerBoundForTesting{0};
std::atomic<unsigned long long> descriptorLimitForTesting{0};
std::atomic<long long> listenRetryMsForTesting{0};

// The places for connections not logged on, and how many of them may go to
// connections that have not sent a whole first message: the others are kept for
// those that have, so a logon finds a place at once.
struct StrangerPlaces {
  int all = 0;
  int unsent = 0;
};

// Threads that share the lobby's TLS handshake steps with the listener: one per
// other core, so a rush of handshakes does not queue behind one thread.
std::size_t LobbyLookers(unsigned cores) { return std::clamp(cores, 2u, kMostLobbyLookers + 1) - 1; }

// Lets the bound be sized from the most descriptors the system allows the process.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  // Refused (say, an unlimited hard limit): the soft one stays and the bound fits it.
  setrlimit(RLIMIT_NOFILE, &limit);
}

std::chrono::milliseconds ListenRetryInterval() {
  const long long forTesting = listenRetryMsForTesting;
  if (forTesting > 0) return std::chrono::milliseconds(forTesting);
  return kListenRetryInterval;
}

std::string IntervalText(std::chrono::milliseconds interval) {
  if (interval.count() % 1000 == 0) return std::to_string(interval.count() / 1000) + " s";
  return std::to_string(interval.count()) + " ms";
}

unsigned long long SoftLimit(int resource) {
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0) return RLIM_INFINITY;
  return limit.rlim_cur;
}

unsigned long long DescriptorLimit() {
  const unsigned long long forTesting = descriptorLimitForTesting;
  return forTesting > 0 ? forTesting : SoftLimit(RLIMIT_NOFILE);
}

unsigned long long ReservedDescriptors(unsigned long long limit) {
  return std::clamp(limit / 4, kLeastReservedDescriptors, kMostReservedDescriptors);
}

// Connections a limit leaves room for, after what is kept back.
unsigned long long RoomUnder(unsigned long long limit, unsigned long long reserved, unsigned long long each) {
  if (limit == RLIM_INFINITY) return kMaxConnections;
  return limit > reserved ? (limit - reserved) / each : 0;
}

// Accepts the next connection that arrives within a short wait and closes it at
// once. The error of a failed accept (say, no free descriptors), else 0.
int RefuseNextConnection(platform::Socket& listening, TurnedAwayNotice& notice) {
  if (!listening.WaitReadable(kRefuseWaitMs)) return 0;
  platform::Socket refused;
  const platform::IoStatus status = listening.Accept(refused);
  if (status == platform::IoStatus::Failed) return errno;
  if (status == platform::IoStatus::Ok) notice.Count(ConnectionLobby::TurnedAway{0, 1});
  return 0;
}

// Moves every connection waiting on the listening socket into the lobby, over TLS
// when a context is given. The error of a failed accept (say, no free
// descriptors), else 0.
int AcceptArrivals(platform::Socket& listening, ConnectionLobby& lobby,
                   const std::shared_ptr<const platform::TlsContext>& tls) {
  if (!listening.IsOpen()) return 0;
  for (std::size_t taken = 0; taken < lobby.Capacity(); ++taken) {
    platform::Socket accepted;
    const platform::IoStatus status = listening.Accept(accepted);
    if (status == platform::IoStatus::WouldBlock) return 0;
    if (status != platform::IoStatus::Ok) return errno;
    platform::Transport arrival =
        tls ? platform::Transport(std::move(accepted), tls) : platform::Transport(std::move(accepted));
    lobby.Add(std::move(arrival), std::chrono::steady_clock::now());
  }
  return 0;
}

// A failed accept must not make the loop spin; one while stopping is no news.
void NoteAcceptFailure(ServerConsole& console, TurnedAwayNotice& notice, int error) {
  if (error == 0 || console.ListenerStopFlag()) return;
  notice.CountAcceptFailure(error);
  console.PauseUnlessStopping(kPauseAfterFailedAccept);
}

}  // namespace

bool StartConnection(ServerConsole& console, platform::Transport accepted) {
  const std::int32_t number = console.GetApp().TakeConnectionNumber();
  std::unique_ptr<RTE> owned;
  try {
    owned = std::make_unique<RTE>(console.GetApp());
    if (!accepted.IsTls()) owned->SetPlainLogonRefusal(&console.GetTlsListener().PlainRefused());
    owned->Attach(std::make_unique<TcpEngineSocket>(std::move(accepted)));
  } catch (const std::bad_alloc&) {
    TraceError("StartSockets() - No engine for a new connection");
    return false;
  }
  RTE* engine = owned.get();
  if (!console.AddEngine(number, std::move(owned))) {
    TraceError("StartSockets() - The new connection could not be listed");
    return false;
  }
  try {
    console.AddConnectionThread(number, std::thread(SocketTalk, &console, number, engine));
  } catch (const std::system_error&) {
    TraceError("StartSockets() - No thread for a new connection");
    console.DropUnstartedConnection(number);
    return false;
  }
  return true;
}

namespace {

// Serves waiting connections while places are free, whole first messages first.
// A connection that has sent one makes a stranger that stalls or keeps quiet give
// up its place; the others wait while only the kept places are free.
void ServeLobby(ServerConsole& console, ConnectionLobby& lobby, int bound, StrangerPlaces places,
                TurnedAwayNotice& notice) {
  while (!lobby.IsEmpty() && console.GetLiveConnectionThreadCount() < bound) {
    const ConnectionLobby::Arrival next = lobby.NextArrival();
    const bool whole = next == ConnectionLobby::Arrival::Logon || next == ConnectionLobby::Arrival::Message;
    const int strangers = console.GetStrangerCount();
    if (!whole && strangers >= places.unsent) return;
    if (strangers >= places.all) {
      if (!console.StopNoisiestStranger(kStalledBeforeClosing, kQuietBeforeClosing)) return;
      notice.Count(ConnectionLobby::TurnedAway{0, 1});
    }
    if (!StartConnection(console, lobby.TakeNext())) {
      console.PauseUnlessStopping(kPauseAfterFailedAccept);
      return;
    }
  }
}

// Names a descriptor limit that holds the connections below their maximum.
void ReportLowDescriptorLimit(ServerConsole& console) {
  const std::string line = DescriptorLimitNotice(DescriptorLimit());
  if (line.empty()) return;
  console.AddStatusLine(line);
}

// Replaces a server address no administrator set by the host's name; a failed look-up keeps it.
void ReplaceServerAddress(ServerConsole& console, ServerSettings& settings) {
  if (!FollowsHostName(settings.GetServerAddress())) return;
  const std::string host = platform::HostName();
  if (host.empty()) {
    console.AddStatusLine("Host name look-up failed; the machine name is kept");
    return;
  }
  settings.SetServerAddress(host);
}

// Opens the listening socket. A port in use is tried again at every interval, with
// a console line each time, until it is free or the listener is stopped; any other
// failure is reported. Closed when it does not listen.
platform::Socket OpenListener(ServerConsole& console, int port) {
  const std::string portText = "port " + std::to_string(port);
  if (port < 1 || port > 65535) {
    console.ReportListenerFailure("Listening " + portText + " is outside 1-65535");
    return platform::Socket();
  }
  bool waited = false;
  for (;;) {
    errno = 0;
    platform::Socket listening = platform::Socket::Listen(static_cast<std::uint16_t>(port), ListenBacklog());
    const int error = errno;
    if (listening.IsOpen()) {
      if (waited) console.AddStatusLine("The " + portText + " is free: listening");
      return listening;
    }
    const std::string reason = error != 0 ? std::strerror(error) : "unknown error";
    const std::string failure = "Cannot listen on " + portText + ": " + reason;
    if (error != EADDRINUSE) {
      console.ReportListenerFailure(failure);
      return platform::Socket();
    }
    const std::chrono::milliseconds interval = ListenRetryInterval();
    console.ReportPortBusy(failure + "; trying again in " + IntervalText(interval));
    waited = true;
    if (!console.PauseUnlessStopping(interval)) return platform::Socket();
  }
}

}  // namespace

int ListenBacklog() {
  std::ifstream setting("/proc/sys/net/core/somaxconn");
  int backlog = 0;
  if (setting >> backlog && backlog > 0) return backlog;
  return SOMAXCONN;
}

bool FollowsHostName(const std::string& address) {
  return address.empty() || address == ServerSettings::kNewLibraryServerAddress;
}

int ConnectionBound(unsigned long long descriptorLimit, unsigned long long processLimit) {
  const unsigned long long room =
      std::min({static_cast<unsigned long long>(kMaxConnections),
                RoomUnder(descriptorLimit, ReservedDescriptors(descriptorLimit), kDescriptorsPerConnection),
                RoomUnder(processLimit, kReservedThreads, kThreadsPerConnection)});
  return std::max(1, static_cast<int>(room));
}

int ConnectionBound() {
  const int forTesting = connectionBoundForTesting;
  if (forTesting > 0) return forTesting;
  return ConnectionBound(DescriptorLimit(), SoftLimit(RLIMIT_NPROC));
}

std::string DescriptorLimitNotice(unsigned long long descriptorLimit) {
  const unsigned long long room =
      RoomUnder(descriptorLimit, ReservedDescriptors(descriptorLimit), kDescriptorsPerConnection);
  if (room >= static_cast<unsigned long long>(kMaxConnections)) return std::string();
  const int bound = ConnectionBound(descriptorLimit, RLIM_INFINITY);
  return "The descriptor limit of " + std::to_string(descriptorLimit) + " leaves room for " + std::to_string(bound) +
         " connection" + (bound == 1 ? "" : "s") + " at once, " + std::to_string(StrangerBound(bound)) +
         " of them not logged on (" +
         std::to_string(kMaxConnections * kDescriptorsPerConnection + kMostReservedDescriptors) + " allow " +
         std::to_string(kMaxConnections) + ")";
}

int StrangerBound(int connectionBound) {
  const int forTesting = strangerBoundForTesting;
  if (forTesting > 0) return forTesting;
  return std::max(1, std::min(kMaxStrangers, connectionBound / 4));
}

void SetConnectionBoundForTesting(int bound, int strangers) {
  connectionBoundForTesting = bound;
  strangerBoundForTesting = bound > 0 ? strangers : 0;
}

void SetDescriptorLimitForTesting(unsigned long long limit) { descriptorLimitForTesting = limit; }

void SetListenRetryIntervalForTesting(std::chrono::milliseconds interval) {
  listenRetryMsForTesting = interval.count();
}

int StartSockets(ServerConsole* console) {
  CWexmoorApp& app = console->GetApp();
  app.IncrementThreadCount();
  ServerSettings& settings = console->GetDocument().GetSettings();
  ReplaceServerAddress(*console, settings);

  platform::Socket listening = OpenListener(*console, settings.GetPort());
  if (listening.IsOpen()) {
    // Both listen before the console says so: a client told "listening" finds either.
    TlsListener& tlsListener = console->GetTlsListener();
    TlsListener::Serving tls = tlsListener.Start(console->GetDocument().GetRootPath(), settings.GetPort(),
                                                 [console](const std::string& line) { console->AddStatusLine(line); });
    console->ReportListening(&listening);
    RaiseDescriptorLimit();
    ReportLowDescriptorLimit(*console);
    const int bound = ConnectionBound();
    const int strangerBound = StrangerBound(bound);
    const StrangerPlaces places{strangerBound, strangerBound - strangerBound / 2};
    const FirstMessagePeek peek(settings);
    ConnectionLobby lobby(
        static_cast<std::size_t>(bound), [&peek](platform::Transport& connection) { return peek.Look(connection); },
        std::chrono::milliseconds(RTE::kTimeBoundMs), LobbyLookers(std::thread::hardware_concurrency()));
    TurnedAwayNotice notice;
    while (!console->ListenerStopFlag()) {
      console->ReapEndedConnections();
      tlsListener.TakeChange(tls);
      if (console->GetLiveConnectionThreadCount() >= bound) {
        NoteAcceptFailure(*console, notice, RefuseNextConnection(listening, notice));
        notice.Report(*console, std::chrono::steady_clock::now());
        continue;
      }
      NoteAcceptFailure(*console, notice, AcceptArrivals(listening, lobby, nullptr));
      NoteAcceptFailure(*console, notice, AcceptArrivals(tls.socket, lobby, tls.context));
      lobby.Refresh(std::chrono::steady_clock::now());
      ServeLobby(*console, lobby, bound, places, notice);
      notice.Count(lobby.TakeTurnedAway());
      notice.Report(*console, std::chrono::steady_clock::now());
      // Connections in the lobby wait for their first message or for places to free.
      lobby.WaitForNews(listening, tls.socket, kArrivalWaitMs, kLobbyWaitMs);
    }
    tlsListener.Stop();
  }   // the TLS listener closes here
  console->ReportListenerEnded();   // the console no longer touches the socket
  listening.Close();
  app.DecrementThreadCount();
  return 0;
}
