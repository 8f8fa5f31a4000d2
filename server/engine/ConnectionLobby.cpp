#include "server/engine/ConnectionLobby.h"

#include <algorithm>
#include <utility>

void ConnectionLobby::Add(platform::Socket socket) {
  if (capacity_ == 0) return;
  if (waiting_.size() >= capacity_) {
    auto closed = FirstWhere(false);
    if (closed == waiting_.end()) closed = waiting_.begin();
    closed->Close();
    waiting_.erase(closed);
  }
  waiting_.push_back(std::move(socket));
}

platform::Socket ConnectionLobby::TakeNext() {
  if (waiting_.empty()) return platform::Socket();
  auto next = FirstWhere(true);
  if (next == waiting_.end()) next = waiting_.begin();
  platform::Socket taken = std::move(*next);
  waiting_.erase(next);
  return taken;
}

std::deque<platform::Socket>::iterator ConnectionLobby::FirstWhere(bool hasSent) {
  return std::find_if(waiting_.begin(), waiting_.end(),
                      [hasSent](const platform::Socket& socket) { return socket.WaitReadable(0) == hasSent; });
}
