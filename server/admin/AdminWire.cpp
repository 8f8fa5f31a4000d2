#include "server/admin/AdminWire.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace AdminWire {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kLengthBytes = 4;

void AppendLength(std::string& out, std::size_t length) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((length >> shift) & 0xFF));
}

std::uint32_t LengthAt(const std::string& bytes, std::size_t at) {
  std::uint32_t length = 0;
  for (std::size_t i = 0; i < kLengthBytes; ++i) length = (length << 8) | static_cast<unsigned char>(bytes[at + i]);
  return length;
}

std::string Fields(const std::vector<std::string>& fields) {
  std::string body;
  for (const std::string& field : fields) {
    AppendLength(body, field.size());
    body += field;
  }
  return body;
}

// The fields of a body; false when it does not split into whole fields.
bool SplitFields(const std::string& body, std::vector<std::string>& fields) {
  fields.clear();
  for (std::size_t at = 0; at < body.size();) {
    if (body.size() - at < kLengthBytes) return false;
    const std::uint32_t length = LengthAt(body, at);
    at += kLengthBytes;
    if (length > body.size() - at) return false;
    fields.push_back(body.substr(at, length));
    at += length;
  }
  return true;
}

// Waits until `fd` is readable or the deadline passes.
bool WaitReadable(int fd, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd wait{fd, POLLIN, 0};
    const int ready = ::poll(&wait, 1, static_cast<int>(left));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

bool ReadExactly(int fd, char* data, std::size_t length, Clock::time_point deadline) {
  while (length > 0) {
    if (!WaitReadable(fd, deadline)) return false;
    const ssize_t got = ::recv(fd, data, length, 0);
    if (got == 0) return false;
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return false;
    }
    data += got;
    length -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

std::string Encode(const Request& request) {
  std::vector<std::string> fields{request.password ? "1" + *request.password : "0"};
  fields.insert(fields.end(), request.command.begin(), request.command.end());
  return Fields(fields);
}

std::string Encode(const Reply& reply) {
  const std::string status = std::to_string(reply.status);
  const std::size_t bytes = 3 * kLengthBytes + status.size() + reply.out.size() + reply.err.size();
  if (bytes <= kMaxReplyBytes) return Fields({status, reply.out, reply.err});
  return Fields({"1", "",
                 "The command ran, but its output of " + std::to_string(reply.out.size() + reply.err.size()) +
                     " bytes is longer than the administration socket carries (" + std::to_string(kMaxReplyBytes) +
                     " bytes); run it while the server is stopped to see it whole"});
}

bool Decode(const std::string& body, Request& request) {
  std::vector<std::string> fields;
  if (!SplitFields(body, fields) || fields.size() < 2 || fields.size() > kMaxWords + 1) return false;
  const std::string& password = fields.front();
  if (password.empty() || (password[0] != '0' && password[0] != '1') || (password[0] == '0' && password.size() > 1)) {
    return false;
  }
  request.password = password[0] == '1' ? std::optional<std::string>(password.substr(1)) : std::nullopt;
  request.command.assign(fields.begin() + 1, fields.end());
  return true;
}

bool Decode(const std::string& body, Reply& reply) {
  std::vector<std::string> fields;
  if (!SplitFields(body, fields) || fields.size() != 3) return false;
  const std::string& status = fields[0];
  if (status.empty() || status.size() > 3 || status.find_first_not_of("0123456789") != std::string::npos) return false;
  reply = Reply{std::stoi(status), fields[1], fields[2]};
  return true;
}

bool WriteFrame(int fd, const std::string& body) {
  if (body.size() > kMaxReplyBytes) return false;
  std::string frame;
  AppendLength(frame, body.size());
  frame += body;
  for (std::size_t sent = 0; sent < frame.size();) {
    const ssize_t wrote = ::send(fd, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    sent += static_cast<std::size_t>(wrote);
  }
  return true;
}

bool ReadFrame(int fd, std::string& body, std::size_t maxBytes, std::chrono::milliseconds bound) {
  const Clock::time_point deadline = Clock::now() + bound;
  std::string header(kLengthBytes, '\0');
  if (!ReadExactly(fd, header.data(), header.size(), deadline)) return false;
  const std::uint32_t length = LengthAt(header, 0);
  if (length > maxBytes) return false;
  body.assign(length, '\0');
  return ReadExactly(fd, body.data(), body.size(), deadline);
}

bool SocketPath(const std::string& workingFolder, std::string& path, std::string& reason) {
  path = workingFolder + (workingFolder.empty() || workingFolder.back() != '/' ? "/" : "") + kSocketName;
  if (path.size() < sizeof(sockaddr_un::sun_path)) return true;
  reason = "the administration socket's path " + path + " is longer than a socket address allows (" +
           std::to_string(sizeof(sockaddr_un::sun_path) - 1) + " bytes)";
  return false;
}

}  // namespace AdminWire
