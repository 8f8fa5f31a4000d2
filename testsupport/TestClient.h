#pragma once
// A protocol client for end-to-end tests, written from the wire format alone: each
// message is the 52-byte header (scrambled with the library's default key before
// logon, with the user's key after) and the body scrambled with the user's key;
// the files behind 5018/5026 and 5022/5024 follow their message, each scrambled
// from its own first byte. Every wait is bounded and fails cleanly.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/Codec.h"
#include "common/MessageIds.h"
#include "common/Msg.h"
#include "platform/Socket.h"
#include "platform/Transport.h"

class TestClient {
 public:
  static constexpr int kDefaultTimeoutMs = 10000;
  // Files larger than this in a reply are refused rather than held in memory.
  static constexpr std::int32_t kMaxReplyFileSize = 256 * 1024 * 1024;

  // Which key scrambles an outgoing header. Automatic follows the server: the
  // user's key from a received 5009 on, the default key again after a 5002.
  enum class HeaderKey { Automatic, Default, User };

  struct SendOptions {
    HeaderKey headerKey = HeaderKey::Automatic;
    std::size_t pieceSize = 0;            // bytes per socket write; 0: all at once
    int pauseMs = 0;                      // pause between two pieces
    std::optional<std::uint32_t> stamp;   // original stamp; none: the next request number
    std::optional<std::uint32_t> userId;  // user number in the header; none: the client's
    std::optional<std::uint32_t> announcedLength;  // body length in the header; none: the body's
    int timeoutMs = kDefaultTimeoutMs;    // for the whole stream to be taken
    std::string secondTime;               // the header's second time; empty: fourteen '0'
  };

  // One file row of a 5022/5024 as it travels: the server-side path is not on the wire.
  struct FileRow {
    std::string name;
    std::int32_t number = 0;
    bool sent = false;  // the file's bytes follow the message
    std::int32_t size = 0;
  };

  struct Reply {
    Msg message;
    std::string firstField;          // 5022/5024 only
    std::vector<FileRow> rows;       // 5022/5024 only
    std::vector<std::string> files;  // plain bytes of each sent row, in row order
  };

  enum class ReceiveStatus { Ok, Closed, TimedOut, Failed };

  // Overwrites the body length of a plain 52-byte header (the last four bytes).
  static void AnnounceLength(std::string& header, std::uint32_t length);

  // `defaultKeyHex` is the library's default key text, `userKeyHex` the user's
  // key text (two hex digits per byte); `userId` goes into every header.
  TestClient(std::uint32_t userId, const std::string& defaultKeyHex, const std::string& userKeyHex);

  // Connects to 127.0.0.1:port. False when nobody answers.
  bool Connect(std::uint16_t port);
  // The same over TLS, the handshake done within the time; false when it failed
  // (the connection is then closed). Without `pin` any certificate is taken:
  // ServerFingerprint names the one presented. With it, only a server showing that
  // fingerprint, and the session kept from the last such connection to the port is resumed.
  bool ConnectTls(std::uint16_t port, int timeoutMs = kDefaultTimeoutMs, const std::string& pin = "");
  // The same over a TLS end made already (say, one of Transport::MemoryPair).
  bool ConnectTls(platform::Transport transport, int timeoutMs = kDefaultTimeoutMs, const std::string& pin = "");
  // The client context of every TLS connection of test clients.
  static std::shared_ptr<const platform::TlsContext> ClientTlsContext();
  std::string ServerFingerprint() const { return socket_.PeerFingerprint(); }
  void Close();
  bool IsConnected() const { return socket_.IsOpen(); }
  // Whether the client believes the server reads its headers with the user's key.
  bool IsLoggedOn() const { return loggedOn_; }

  // The second time of every later 5003 (a protocol extension announcement);
  // without it the client speaks only the original protocol.
  void SetLogonSecondTime(std::string secondTime) { logonSecondTime_ = std::move(secondTime); }

  // Sends 5003 with the three fields as one record. Returns the original stamp, or
  // 0 when the bytes could not be sent.
  std::uint32_t SendLogon(const std::string& name, const std::string& password, const std::string& code);
  // SendLogon, then the answer: 5009 or 5010 (or none when the server closed).
  ReceiveStatus Logon(const std::string& name, const std::string& password, const std::string& code, Reply& reply,
                      int timeoutMs = kDefaultTimeoutMs);

  // Sends one request with `body`; returns its original stamp, 0 on failure.
  std::uint32_t Send(MessageId id, const std::string& body);
  std::uint32_t Send(MessageId id, const std::string& body, const SendOptions& options);
  // The same, followed by the plain bytes of each file (scrambled here).
  std::uint32_t SendWithFiles(MessageId id, const std::string& body, const std::vector<std::string>& files,
                              const SendOptions& options);

  // The next message from the server, with the files of a 5022/5024. Closed when
  // the server closed (or reset) the connection before a whole message arrived;
  // TimedOut when nothing complete came in time; Failed for a malformed message.
  ReceiveStatus Receive(Reply& reply, int timeoutMs = kDefaultTimeoutMs);

  // True when the server closes (or resets) the connection within the time
  // without sending another byte.
  bool WaitClosedWithoutMessage(int timeoutMs = kDefaultTimeoutMs);

 private:
  using Clock = std::chrono::steady_clock;

  std::uint32_t SendMessage(MessageId id, const std::string& body, const std::vector<std::string>& files,
                            const SendOptions& options);
  bool SendBytes(const std::string& bytes, const SendOptions& options);
  ReceiveStatus ReceiveBytes(char* buffer, std::size_t length, Clock::time_point deadline);
  ReceiveStatus ReceiveFiles(Reply& reply, Clock::time_point deadline);
  std::string Scrambled(int keyIndex, std::string bytes) const;

  static constexpr int kDefaultKey = 0;
  static constexpr int kUserKey = 1;

  std::uint32_t userId_;
  Codec codec_;
  platform::Transport socket_;
  std::uint32_t nextStamp_ = 1;
  bool loggedOn_ = false;
  std::string logonSecondTime_;
};
