#pragma once
// The byte stream an engine talks over: a non-blocking connection whose calls say
// "try again" instead of waiting, plus bounded waits for readiness. The engine uses
// a TCP socket in production; tests put a scripted or recording stream in its place.
#include <cstddef>

#include "platform/Socket.h"

class EngineSocket {
 public:
  virtual ~EngineSocket() = default;

  virtual platform::IoResult Send(const void* data, std::size_t length) = 0;
  virtual platform::IoResult Receive(void* buffer, std::size_t length) = 0;
  // Wait up to timeoutMs until the next call may move bytes (or report an error);
  // false on time-out.
  virtual bool WaitReadable(int timeoutMs) = 0;
  virtual bool WaitWritable(int timeoutMs) = 0;
  virtual void Close() = 0;
};
