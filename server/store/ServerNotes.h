#pragma once
// Lines for the administrator from the store and the request handlers: what
// start-up finished or moved, a library or folder that cannot be written. They
// are kept until a sink is set (start-up notices come before the console exists)
// and then passed on in order; nobody is asked anything, so nothing waits for a
// reader.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class ServerNotes {
 public:
  using Sink = std::function<void(const std::string& line)>;

  void Add(const std::string& line);
  // Passes the kept lines to `sink`, then every later one as it comes; null keeps
  // later lines again.
  void SetSink(Sink sink);

  // "what: the system's reason" for the error number `error` (an errno value).
  static std::string WithReason(const std::string& what, int error);

 private:
  std::mutex mutex_;
  Sink sink_;
  std::vector<std::string> kept_;
};
