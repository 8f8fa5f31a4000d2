#pragma once
// What travels over the administration socket of a running server: one request
// (the command's words and, for the commands that need one, the password) and one
// reply (the command's result, its output and its error text). Each is one frame:
// a 4-byte big-endian length, then that many bytes of fields, each field a 4-byte
// big-endian length and its bytes. Frames are bounded, so a peer can never make the
// other side hold more than kMaxRequestBytes (the server) or kMaxReplyBytes (the
// command, which reads only from a server it trusts); anything malformed is
// refused, never guessed at.
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace AdminWire {

constexpr std::size_t kMaxRequestBytes = 4 * 1024 * 1024;
// A reply may carry a long listing (every checked-out document of a large library).
constexpr std::size_t kMaxReplyBytes = 256 * 1024 * 1024;
constexpr std::size_t kMaxWords = 16;
// How long either side waits for the other's bytes before it gives up.
constexpr std::chrono::milliseconds kPeerBound{10000};

// The socket's name in the server's working folder.
constexpr const char* kSocketName = "wexmoor-admin.socket";

struct Request {
  std::vector<std::string> command;
  std::optional<std::string> password;
};

struct Reply {
  int status = 1;
  std::string out;
  std::string err;
};

std::string Encode(const Request& request);
// A reply whose frame would pass kMaxReplyBytes is encoded as a refusal that says so.
std::string Encode(const Reply& reply);
// False for a frame body that is not exactly one well-formed request (reply).
bool Decode(const std::string& body, Request& request);
bool Decode(const std::string& body, Reply& reply);

// Writes the frame of `body`; false when the peer went away or the body is longer
// than kMaxReplyBytes.
bool WriteFrame(int fd, const std::string& body);
// Reads one frame body; false when the peer went away, sent more than `maxBytes` or
// was silent longer than `bound`.
bool ReadFrame(int fd, std::string& body, std::size_t maxBytes, std::chrono::milliseconds bound);

// The socket's path in `workingFolder`; false (with the reason) when it does not
// fit a socket address.
bool SocketPath(const std::string& workingFolder, std::string& path, std::string& reason);

}  // namespace AdminWire
