#pragma once
// Connections the listener has accepted but not yet served, held as bare sockets
// (no thread, no memory) while the bound for connections not logged on is full.
// Bounded: a newcomer to a full lobby takes the place of the one that has waited
// longest without sending a byte.
#include <cstddef>
#include <deque>

#include "platform/Socket.h"

class ConnectionLobby {
 public:
  explicit ConnectionLobby(std::size_t capacity) : capacity_(capacity) {}

  void Add(platform::Socket socket);
  bool IsEmpty() const { return waiting_.empty(); }
  std::size_t Size() const { return waiting_.size(); }
  std::size_t Capacity() const { return capacity_; }
  // The connection to serve next: the one that has waited longest among those
  // whose peer has sent something, else the one that has waited longest. Not
  // open when the lobby is empty.
  platform::Socket TakeNext();

 private:
  // The first (longest waiting) connection whose peer has, or has not, sent
  // something; waiting_.end() when none.
  std::deque<platform::Socket>::iterator FirstWhere(bool hasSent);

  std::size_t capacity_;
  std::deque<platform::Socket> waiting_;   // longest waiting first
};
