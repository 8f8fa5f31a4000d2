#pragma once
// Tells the service manager how the service is doing, over the datagram socket it
// names in $NOTIFY_SOCKET ("READY=1", "WATCHDOG=1", "STOPPING=1"). Without that
// variable (a server started by hand) every call does nothing.
#include <chrono>
#include <optional>
#include <string>

namespace platform {

class ServiceNotifier {
 public:
  // Reads $NOTIFY_SOCKET, $WATCHDOG_USEC and $WATCHDOG_PID once.
  ServiceNotifier();

  bool Enabled() const { return !socketPath_.empty(); }
  // Sends one state line; false when disabled or the datagram could not be sent.
  bool Notify(const std::string& state) const;
  // How often the manager expects "WATCHDOG=1": when it watches this process.
  std::optional<std::chrono::microseconds> WatchdogInterval() const { return watchdog_; }

 private:
  std::string socketPath_;   // a leading '@' names an abstract socket
  std::optional<std::chrono::microseconds> watchdog_;
};

}  // namespace platform
