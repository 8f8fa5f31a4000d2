#pragma once
// An engine's byte stream over an accepted TCP connection, plain or TLS.
#include "platform/Socket.h"
#include "platform/Transport.h"
#include "server/engine/EngineSocket.h"

class TcpEngineSocket : public EngineSocket {
 public:
  explicit TcpEngineSocket(platform::Socket socket) : socket_(std::move(socket)) {}
  explicit TcpEngineSocket(platform::Transport transport) : socket_(std::move(transport)) {}

  platform::IoResult Send(const void* data, std::size_t length) override { return socket_.Send(data, length); }
  platform::IoResult Receive(void* buffer, std::size_t length) override { return socket_.Receive(buffer, length); }
  bool WaitReadable(int timeoutMs) override { return socket_.WaitReadable(timeoutMs); }
  bool WaitWritable(int timeoutMs) override { return socket_.WaitWritable(timeoutMs); }
  void Close() override { socket_.Close(); }

 private:
  platform::Transport socket_;
};
