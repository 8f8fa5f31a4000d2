#include "server/engine/ConnectionLobby.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace {

using Arrival = FirstMessagePeek::Arrival;

// The order of serving: a whole logon first, nothing sent last.
int ServeRank(Arrival arrival) {
  switch (arrival) {
    case Arrival::Logon: return 0;
    case Arrival::Message: return 1;
    case Arrival::Begun: return 2;
    case Arrival::Quiet: return 3;
    case Arrival::Refused:
    case Arrival::Closed: break;
  }
  return 4;
}

// The order of closing to make room: a begun message first, a whole logon last.
int EvictRank(Arrival arrival) {
  switch (arrival) {
    case Arrival::Refused:
    case Arrival::Closed: return 0;
    case Arrival::Begun: return 1;
    case Arrival::Quiet: return 2;
    case Arrival::Message: return 3;
    case Arrival::Logon: return 4;
  }
  return 4;
}

bool ServedBefore(Arrival a, Arrival b) { return ServeRank(a) < ServeRank(b); }
bool EvictedBefore(Arrival a, Arrival b) { return EvictRank(a) < EvictRank(b); }

}  // namespace

ConnectionLobby::ConnectionLobby(std::size_t capacity, Look look, std::chrono::milliseconds longest,
                                 std::size_t lookers)
    : capacity_(capacity), look_(std::move(look)), longest_(longest), lookers_(lookers) {
  waiting_.reserve(capacity_);
}

void ConnectionLobby::Add(platform::Transport socket, Clock::time_point now) {
  if (capacity_ == 0) return;
  // A TLS arrival's first look runs its handshake's first step: it is looked at
  // with the others in the next Refresh.
  const bool tls = socket.IsTls();
  const Arrival arrival = tls ? Arrival::Quiet : look_(socket);
  // One that has closed or sent garbage takes no one's place.
  if (arrival == Arrival::Refused) ++turnedAway_.refused;
  if (arrival == Arrival::Refused || arrival == Arrival::Closed) return;
  if (waiting_.size() >= capacity_) {
    const auto evicted = waiting_.begin() + static_cast<std::ptrdiff_t>(Best(&EvictedBefore));
    evicted->socket.Close();
    waiting_.erase(evicted);
    ++turnedAway_.evicted;
  }
  waiting_.push_back(Waiting{std::move(socket), now, arrival, tls});
}

void ConnectionLobby::WaitForNews(const platform::Socket& listening, const platform::Socket& tls, int idleMs,
                                  int busyMs) {
  std::vector<const platform::Socket*> sockets{&listening};
  if (tls.IsOpen()) sockets.push_back(&tls);
  const std::size_t listeners = sockets.size();
  std::vector<Waiting*> polled;   // looked at again once the poll says they can be read
  bool busy = false;
  for (Waiting& entry : waiting_) {
    // A look at a TLS connection took its bytes off the socket, so a poll of the
    // socket tells when more of a begun message arrive; a plain socket still holds
    // them and reads as ready, so a begun plain message is looked at each turn.
    if (entry.socket.IsTls() && entry.arrival == Arrival::Begun) {
      sockets.push_back(&entry.socket.GetSocket());
      polled.push_back(&entry);
    } else if (entry.arrival != Arrival::Quiet) {
      busy = true;
    } else if (entry.socket.IsTls() && entry.socket.WaitReadable(0)) {
      // Bytes TLS already decrypted are not seen by a poll of the socket.
      entry.readable = true;
      busy = true;
    } else {
      sockets.push_back(&entry.socket.GetSocket());
      polled.push_back(&entry);
    }
  }
  std::vector<char> ready;
  platform::Socket::WaitAnyReadable(sockets, busy ? busyMs : idleMs, ready);
  for (std::size_t i = 0; i < polled.size(); ++i) polled[i]->readable = ready[i + listeners] != 0;
}

void ConnectionLobby::LookAgain() {
  // A whole first message stays what it is until it is served; a quiet one
  // until it can be read.
  std::vector<Waiting*> due;
  bool tls = false;
  for (Waiting& entry : waiting_) {
    if (entry.arrival != Arrival::Begun && !entry.readable) continue;
    due.push_back(&entry);
    tls = tls || entry.socket.IsTls();
  }
  const auto lookAt = [this, &due](std::size_t i) { due[i]->arrival = look_(due[i]->socket); };
  if (tls) {
    lookers_.RunAll(due.size(), lookAt);
  } else {
    // Plain looks only copy what arrived: quicker than waking a thread.
    for (std::size_t i = 0; i < due.size(); ++i) lookAt(i);
  }
}

void ConnectionLobby::Refresh(Clock::time_point now) {
  LookAgain();
  std::size_t kept = 0;
  for (Waiting& entry : waiting_) {
    entry.readable = false;
    const bool expired = now - entry.since > longest_;
    if (entry.arrival == Arrival::Refused) ++turnedAway_.refused;
    else if (expired && entry.arrival != Arrival::Closed) ++turnedAway_.evicted;
    if (entry.arrival == Arrival::Refused || entry.arrival == Arrival::Closed || expired) {
      entry.socket.Close();
      continue;
    }
    if (&waiting_[kept] != &entry) waiting_[kept] = std::move(entry);
    ++kept;
  }
  waiting_.resize(kept);
}

ConnectionLobby::Arrival ConnectionLobby::NextArrival() const {
  const std::size_t next = Best(&ServedBefore);
  return next == waiting_.size() ? Arrival::Quiet : waiting_[next].arrival;
}

platform::Transport ConnectionLobby::TakeNext() {
  const std::size_t next = Best(&ServedBefore);
  if (next == waiting_.size()) return platform::Transport();
  platform::Transport taken = std::move(waiting_[next].socket);
  waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(next));
  return taken;
}

ConnectionLobby::TurnedAway ConnectionLobby::TakeTurnedAway() { return std::exchange(turnedAway_, TurnedAway{}); }

std::size_t ConnectionLobby::Best(bool (*better)(Arrival, Arrival)) const {
  std::size_t best = 0;
  for (std::size_t i = 1; i < waiting_.size(); ++i) {
    if (better(waiting_[i].arrival, waiting_[best].arrival)) best = i;
  }
  return waiting_.empty() ? waiting_.size() : best;
}
