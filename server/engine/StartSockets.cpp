#include "server/engine/StartSockets.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

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

int StartSockets(ServerConsole* console) {
  CWexmoorApp& app = console->GetApp();
  app.IncrementThreadCount();
  ServerSettings& settings = console->GetDocument().GetSettings();
  ReplaceServerAddress(*console, settings);

  platform::Socket listening = OpenListener(*console, settings.GetPort());
  if (listening.IsOpen()) {
    console->ReportListening(&listening);
    while (!console->ListenerStopFlag()) {
      ConnectionTicket ticket;
      ticket.console = console;
      ticket.connectionNumber = app.TakeConnectionNumber();
      ticket.listening = &listening;
      console->AddConnectionThread(ticket.connectionNumber, std::thread(SocketTalk, &ticket));
      bool connected = false;
      ticket.WaitAccepted(connected);
      // A failed accept (say, no free descriptors) must not make the loop spin.
      if (!connected) console->PauseUnlessStopping(kPauseAfterFailedAccept);
      console->ReapEndedConnections();
    }
  }
  console->ReportListenerEnded();   // the console no longer touches the socket
  listening.Close();
  app.DecrementThreadCount();
  return 0;
}
