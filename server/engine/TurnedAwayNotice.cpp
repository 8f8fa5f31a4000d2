#include "server/engine/TurnedAwayNotice.h"

#include <cstring>

#include "server/engine/ServerConsole.h"

void TurnedAwayNotice::Count(const ConnectionLobby::TurnedAway& turnedAway) {
  counted_.refused += turnedAway.refused;
  counted_.evicted += turnedAway.evicted;
}

void TurnedAwayNotice::CountAcceptFailure(int error) {
  ++acceptFailures_;
  acceptError_ = error;
}

std::string TurnedAwayNotice::Line() const {
  std::string line;
  const int closed = counted_.refused + counted_.evicted;
  if (closed > 0) {
    line = std::to_string(closed) + " connection" + (closed == 1 ? "" : "s") +
           " not logged on turned away to keep room for logons (" + std::to_string(counted_.refused) +
           " sent no message the server takes)";
  }
  if (acceptFailures_ > 0) {
    if (!line.empty()) line += "; ";
    line += "accepting a connection failed " + std::to_string(acceptFailures_) + " time" +
            (acceptFailures_ == 1 ? "" : "s") + ": " + std::strerror(acceptError_);
  }
  return line;
}

void TurnedAwayNotice::Report(ServerConsole& console, Clock::time_point now) {
  if (reported_ && now - last_ < interval_) return;
  const std::string line = Line();
  if (line.empty()) return;
  reported_ = true;
  last_ = now;
  counted_ = ConnectionLobby::TurnedAway{};
  acceptFailures_ = 0;
  console.AddStatusLine(line);
}
