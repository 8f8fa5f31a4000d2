#pragma once
// Connections the listener has accepted but not yet served, held as bare
// transports (no thread; over TLS the session's buffers) while the places for connections not logged on are
// taken. Each is looked at without taking its bytes: those that closed, and those
// that sent what no first message begins with, leave at once; the rest are
// served in order of what they sent (a whole logon first, then another whole
// message, the start of one, nothing), the longest waiting first. Bounded: a
// newcomer to a full lobby takes the place of the noisiest (a message begun and
// not finished) or, failing that, the quietest, the longest waiting first; a
// connection waits at most the logon time bound. A TLS handshake runs while a
// connection waits: until it is done the connection counts as quiet. Looks at TLS
// connections (each may run a handshake step) are spread over a few threads. Quiet
// connections, and TLS ones with a begun message, are looked at again only once
// one poll over all of them says they can be read (or TLS holds bytes of theirs already).
#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

#include "platform/Transport.h"
#include "platform/WorkerGroup.h"
#include "server/engine/FirstMessagePeek.h"

class ConnectionLobby {
 public:
  using Arrival = FirstMessagePeek::Arrival;
  using Clock = std::chrono::steady_clock;
  using Look = std::function<Arrival(platform::Transport&)>;

  struct Waiting {
    platform::Transport socket;
    Clock::time_point since;
    Arrival arrival = Arrival::Quiet;
    bool readable = false;   // quiet, and bytes or its end arrived since it was looked at (or never looked at)
  };

  // Connections this lobby closed itself since the last TakeTurnedAway.
  struct TurnedAway {
    int refused = 0;   // sent bytes no first message begins with
    int evicted = 0;   // made room for a newcomer or waited too long
  };

  // `look` tells what a waiting connection has sent, from any of `lookers`
  // threads besides the lobby's own; `longest` is the longest a connection may wait.
  ConnectionLobby(std::size_t capacity, Look look, std::chrono::milliseconds longest, std::size_t lookers = 0);

  void Add(platform::Transport socket, Clock::time_point now);
  // Sleeps until a listening socket (`tls` may be closed) or a quiet waiting
  // connection can be read, at most `idleMs`, or `busyMs` while one waits that has
  // sent something (a begun message, read again each turn, or a whole one waiting
  // for a place).
  void WaitForNews(const platform::Socket& listening, const platform::Socket& tls, int idleMs, int busyMs);
  // Looks again at every waiting connection that began a message or became
  // readable: closed ones and refused ones leave, so do those that waited longer
  // than allowed.
  void Refresh(Clock::time_point now);
  bool IsEmpty() const { return waiting_.empty(); }
  std::size_t Size() const { return waiting_.size(); }
  std::size_t Capacity() const { return capacity_; }
  // What the connection served next has sent; Quiet when the lobby is empty.
  Arrival NextArrival() const;
  // The connection to serve next; not open when the lobby is empty.
  platform::Transport TakeNext();
  TurnedAway TakeTurnedAway();

 private:
  // The index of the waiting connection ranked first by `better` (the longest
  // waiting among equals), or Size() when none waits.
  std::size_t Best(bool (*better)(Arrival, Arrival)) const;
  // Looks again at every connection that began a message or became readable.
  void LookAgain();

  std::size_t capacity_;
  Look look_;
  std::chrono::milliseconds longest_;
  std::vector<Waiting> waiting_;   // longest waiting first
  TurnedAway turnedAway_;
  platform::WorkerGroup lookers_;
};
