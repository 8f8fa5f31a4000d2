#pragma once
// What the listener did to keep room for logons, said on the console at most
// once an interval: how many connections not logged on it closed (and how many
// of them sent bytes no first message begins with), and how often a connection
// could not be accepted at all.
#include <chrono>
#include <string>

#include "server/engine/ConnectionLobby.h"

class ServerConsole;

class TurnedAwayNotice {
 public:
  using Clock = std::chrono::steady_clock;

  explicit TurnedAwayNotice(std::chrono::milliseconds interval = std::chrono::minutes(1)) : interval_(interval) {}

  void Count(const ConnectionLobby::TurnedAway& turnedAway);
  // An accept that failed with `error` (say, no free descriptor).
  void CountAcceptFailure(int error);
  // Says what was counted since the last line, when anything was and the last
  // line is at least an interval old.
  void Report(ServerConsole& console, Clock::time_point now);
  // The line for the counts so far; empty when nothing was counted.
  std::string Line() const;

 private:
  std::chrono::milliseconds interval_;
  bool reported_ = false;
  Clock::time_point last_;
  ConnectionLobby::TurnedAway counted_;
  int acceptFailures_ = 0;
  int acceptError_ = 0;
};
