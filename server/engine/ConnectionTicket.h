#pragma once
// What the listener hands a new connection thread: the console that lists its
// engine, the connection's number and the socket to accept on. The thread reports
// back through `accepted` (and whether the accept gave a connection); the ticket
// belongs to the listener, which waits for that report before it goes on.
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/Socket.h"

class ServerConsole;

struct ConnectionTicket {
  ServerConsole* console = nullptr;
  std::int32_t connectionNumber = 0;
  platform::Socket* listening = nullptr;

  // Called once by the connection thread when its accept has returned.
  void ReportAccepted(bool connected) {
    // Notified under the lock: the waiter destroys the ticket as soon as it sees the flag.
    std::lock_guard<std::mutex> lock(mutex);
    accepted = true;
    acceptConnected = connected;
    changed.notify_all();
  }
  // Waits for ReportAccepted; true with `connected` set.
  bool WaitAccepted(bool& connected) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return accepted; });
    connected = acceptConnected;
    return true;
  }

  std::mutex mutex;
  std::condition_variable changed;
  bool accepted = false;
  bool acceptConnected = false;
};
