#include "client/link/SocketTransfer.h"

#include <algorithm>

SocketTransfer::Outcome SocketTransfer::Write(const char* data, std::size_t length) {
  std::size_t done = 0;
  int retries = 0;
  while (done < length) {
    if (stop_.load()) return Outcome::Stopped;
    ++sendCalls_;
    const platform::IoResult result = socket_.Send(data + done, std::min(kMaxCallBytes, length - done));
    if (result.status == platform::IoStatus::Ok && result.bytes > 0) {
      done += result.bytes;
      retries = 0;
      continue;
    }
    if (result.status == platform::IoStatus::Failed || result.status == platform::IoStatus::Closed) {
      return Outcome::Failed;
    }
    if (++retries >= retryLimit_) return Outcome::Exhausted;
    socket_.WaitWritable(kRetryWaitMs);
  }
  return Outcome::Done;
}

SocketTransfer::Outcome SocketTransfer::Read(char* buffer, std::size_t length, int idleWaitMs) {
  std::size_t done = 0;
  int retries = 0;
  if (idleWaitMs >= 0 && length > 0 && !socket_.WaitReadable(idleWaitMs)) return Outcome::Idle;
  while (done < length) {
    if (stop_.load()) return Outcome::Stopped;
    const platform::IoResult result = socket_.Receive(buffer + done, std::min(kMaxCallBytes, length - done));
    switch (result.status) {
      case platform::IoStatus::Ok:
        done += result.bytes;
        retries = 0;
        continue;
      case platform::IoStatus::Closed:
        return Outcome::Closed;
      case platform::IoStatus::Failed:
        return Outcome::Failed;
      case platform::IoStatus::WouldBlock:
        break;
    }
    if (done == 0 && idleWaitMs >= 0) return Outcome::Idle;
    if (++retries >= retryLimit_) return Outcome::Exhausted;
    socket_.WaitReadable(kRetryWaitMs);
  }
  return Outcome::Done;
}
