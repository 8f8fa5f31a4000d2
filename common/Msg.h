#pragma once
// One protocol message: the header fields (identity, message id, the requester's
// original stamp, the reply stamp, two 14-digit time texts, body length) and an
// owned text body of body-length bytes plus a terminating zero. On the wire the
// header is 52 bytes, every number little-endian, followed by exactly body-length
// body bytes (the zero is never sent).
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/UserIdentity.h"

class Msg {
 public:
  static constexpr std::size_t kHeaderSize = 52;
  static constexpr std::size_t kTimeSize = 14;
  // The largest body a message holds; receivers refuse headers announcing more.
  static constexpr std::uint32_t kMaxBodyLength = 64u * 1024u * 1024u;
  // A body's bytes, from std::malloc: a large body built in place can grow without a copy.
  struct BodyFree {
    void operator()(char* bytes) const;
  };
  using Body = std::unique_ptr<char, BodyFree>;

  // Identity 0/0, id 0, stamps 0, length 0, no body (GetBody gives null); both
  // time fields hold fourteen '0' characters until written.
  Msg();
  // The copy always owns a body (one zero byte when the source had none); if that
  // allocation fails the copy has length 0 and an empty body.
  Msg(const Msg& other);
  // Copies the header fields and the body (as SetBody with bytes and length).
  // Assigning a message to itself changes nothing.
  Msg& operator=(const Msg& other);
  // Takes the other's body without copying it; the other is left with none.
  Msg(Msg&& other) noexcept;
  Msg& operator=(Msg&& other) noexcept;

  void SetUserIdentity(const UserIdentity& identity);
  UserIdentity GetUserIdentity() const;
  void SetMessageId(std::uint32_t id);
  std::uint32_t GetMessageId() const;
  void SetOriginalStamp(std::uint32_t stamp);
  std::uint32_t GetOriginalStamp() const;
  void SetReplyStamp(std::uint32_t stamp);
  std::uint32_t GetReplyStamp() const;

  // Writes the current local date and time as YYYYMMDDhhmmss into the send time.
  void StampSendTime();
  // The 14 characters of each time field (no terminating zero).
  std::string_view GetSendTime() const;
  std::string_view GetSecondTime() const;
  // Fills the second time with `text`, cut or padded with '0' to 14 characters;
  // only the announcement of wire extensions uses it.
  void SetSecondTime(std::string_view text);

  // Replaces the body with n zero bytes plus the terminating zero. False, leaving
  // an empty body of length 0, when n exceeds kMaxBodyLength or memory runs out.
  bool SetBodyLength(std::uint32_t n);
  // Replaces the body with a copy of n bytes plus a terminating zero (nothing is
  // read when n is 0). Same failure rule as SetBodyLength.
  bool SetBody(const char* bytes, std::uint32_t n);
  // The text's characters become the body; an empty text gives the empty body.
  bool SetBody(const std::string& text);
  // Takes `bytes` as the body: n bytes and the terminating zero behind them. False
  // (the bytes freed, the body empty with length 0) when n exceeds kMaxBodyLength.
  bool TakeBody(Body bytes, std::uint32_t n);
  std::uint32_t GetBodyLength() const;
  // The zero-terminated body; null on a message never given a body.
  const char* GetBody() const;
  // Writable body, for receiving straight into the room made by SetBodyLength.
  char* GetBody();
  // The body's bytes as a text; empty without a body.
  std::string GetBodyText() const;

  // Writes the 52-byte plain header.
  void WriteHeader(unsigned char* header) const;
  // Takes every header field but the body length from a 52-byte plain header and
  // returns the body length it announces; the body is left as it is.
  std::uint32_t ReadHeader(const unsigned char* header);

 private:
  // Every header field but the body length.
  void CopyHeaderFrom(const Msg& other);
  // Replaces the body by a new one of n + 1 bytes, filled from bytes (or zeros
  // when bytes is null). On failure the body is empty with length 0.
  bool ReplaceBody(const char* bytes, std::size_t n);

  UserIdentity m_identity;
  std::uint32_t m_messageId = 0;
  std::uint32_t m_originalStamp = 0;
  std::uint32_t m_replyStamp = 0;
  std::array<char, kTimeSize> m_sendTime;
  std::array<char, kTimeSize> m_secondTime;
  std::uint32_t m_bodyLength = 0;
  Body m_body;
};
