#pragma once
// What the listener hands a new connection thread: the console that lists its
// engine, the connection's number and the accepted connection. The thread reports
// back once its engine is listed and has taken the connection (or could not); the
// ticket belongs to the listener, which waits for that report before it goes on,
// so its counts of connections always include the new one.
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/Socket.h"

class ServerConsole;

struct ConnectionTicket {
  ServerConsole* console = nullptr;
  std::int32_t connectionNumber = 0;
  platform::Socket accepted;

  // Called once by the connection thread when its engine has taken the connection.
  void ReportAccepted(bool connected) {
    // Notified under the lock: the waiter destroys the ticket as soon as it sees the flag.
    std::lock_guard<std::mutex> lock(mutex);
    reported = true;
    acceptConnected = connected;
    changed.notify_all();
  }
  // Waits for ReportAccepted; true when the engine took the connection.
  bool WaitAccepted() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return reported; });
    return acceptConnected;
  }

  std::mutex mutex;
  std::condition_variable changed;
  bool reported = false;
  bool acceptConnected = false;
};
