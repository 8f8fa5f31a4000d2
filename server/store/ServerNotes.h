#pragma once
// Lines for the administrator from the store and the request handlers: what
// start-up finished or moved, a library or folder that cannot be written. They
// are kept until a sink is set (start-up notices come before the console exists)
// and then passed on in order; nobody is asked anything, so nothing waits for a
// reader. A peer that makes a refusal again and again cannot grow the console
// without bound: at most kLinesPerMinute lines pass each minute, and the first
// line of a later minute is preceded by how many were left out. Lines of one
// kind about one subject (refused logons of an account for one cause) pass at most
// once a minute, so one flood cannot take the whole share.
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class ServerNotes {
 public:
  using Sink = std::function<void(const std::string& line)>;
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr std::size_t kLinesPerMinute = 20;

  explicit ServerNotes(Clock clock = std::chrono::steady_clock::now) : clock_(std::move(clock)) {}

  void Add(const std::string& line);
  // Add, unless a line of the same `key` was added less than a minute ago. Keys
  // not used for a minute are forgotten.
  void AddOncePerMinute(const std::string& key, const std::string& line);
  // Passes the kept lines to `sink`, then every later one as it comes; null keeps
  // later lines again.
  void SetSink(Sink sink);
  // The lines that came before the first sink: what the start-up finished, moved or
  // could not do.
  std::vector<std::string> GetStartLines() const;

  // "what: the system's reason." for the error number `error` (an errno value).
  static std::string WithReason(const std::string& what, int error);

 private:
  void AddLocked(const std::string& line);
  void Pass(const std::string& line);

  mutable std::mutex mutex_;
  Clock clock_;
  Sink sink_;
  std::vector<std::string> kept_;
  std::vector<std::string> startLines_;
  bool started_ = false;
  std::chrono::steady_clock::time_point minuteStart_{};
  std::size_t linesThisMinute_ = 0;
  std::size_t leftOut_ = 0;
  std::map<std::string, std::chrono::steady_clock::time_point> lastByKey_;
};
