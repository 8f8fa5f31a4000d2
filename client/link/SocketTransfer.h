#pragma once
// Moves whole byte ranges over a non-blocking socket (plain or TLS) for one side of a link: sends
// in calls of at most 60000 bytes, reads exactly what is asked. A wait that finds
// the socket not ready counts one retry (at most 10 ms each); bytes moving reset
// the count; the stop flag is looked at before every call. Counts its send calls.
#include <atomic>
#include <cstddef>

#include "platform/Transport.h"

class SocketTransfer {
 public:
  static constexpr std::size_t kMaxCallBytes = 60000;
  static constexpr int kRetryWaitMs = 10;

  enum class Outcome {
    Done,       // every byte moved
    Idle,       // a read allowed to be idle found nothing at all to read
    Closed,     // the peer closed before every byte moved
    Failed,     // the socket reported an error
    Stopped,    // the stop flag was set
    Exhausted   // the retry limit was reached without progress
  };

  // The socket and flag must outlive the transfer.
  SocketTransfer(platform::Transport& socket, const std::atomic<bool>& stop, int retryLimit)
      : socket_(socket), stop_(stop), retryLimit_(retryLimit) {}

  // Sends `length` bytes, each call taking at most kMaxCallBytes; the rest of a
  // partial send goes first in the next call.
  Outcome Write(const char* data, std::size_t length);
  // Reads exactly `length` bytes. With `idleWaitMs` >= 0 the read first waits that
  // long for data and returns Idle when no byte has arrived; afterwards (and with
  // a negative value) waiting counts retries.
  Outcome Read(char* buffer, std::size_t length, int idleWaitMs = -1);

  long long SendCalls() const { return sendCalls_; }

 private:
  platform::Transport& socket_;
  const std::atomic<bool>& stop_;
  int retryLimit_;
  long long sendCalls_ = 0;
};
