#include "common/Msg.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "common/DateTime.h"

namespace {

// Header offsets of the plain wire layout.
constexpr std::size_t kUserIdOffset = 0;
constexpr std::size_t kSecondWordOffset = 4;
constexpr std::size_t kMessageIdOffset = 8;
constexpr std::size_t kOriginalStampOffset = 12;
constexpr std::size_t kReplyStampOffset = 16;
constexpr std::size_t kSendTimeOffset = 20;
constexpr std::size_t kSecondTimeOffset = 34;
constexpr std::size_t kBodyLengthOffset = 48;

void PutWord(unsigned char* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t GetWord(const unsigned char* at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}

}  // namespace

Msg::Msg() {
  m_sendTime.fill('0');
  m_secondTime.fill('0');
}

Msg::Msg(const Msg& other)
    : m_identity(other.m_identity),
      m_messageId(other.m_messageId),
      m_originalStamp(other.m_originalStamp),
      m_replyStamp(other.m_replyStamp),
      m_sendTime(other.m_sendTime),
      m_secondTime(other.m_secondTime) {
  ReplaceBody(other.m_body.get(), other.m_bodyLength);
}

void Msg::CopyHeaderFrom(const Msg& other) {
  m_identity = other.m_identity;
  m_messageId = other.m_messageId;
  m_originalStamp = other.m_originalStamp;
  m_replyStamp = other.m_replyStamp;
  m_sendTime = other.m_sendTime;
  m_secondTime = other.m_secondTime;
}

Msg& Msg::operator=(const Msg& other) {
  if (this == &other) return *this;
  CopyHeaderFrom(other);
  ReplaceBody(other.m_body.get(), other.m_bodyLength);
  return *this;
}

Msg::Msg(Msg&& other) noexcept
    : m_identity(other.m_identity),
      m_messageId(other.m_messageId),
      m_originalStamp(other.m_originalStamp),
      m_replyStamp(other.m_replyStamp),
      m_sendTime(other.m_sendTime),
      m_secondTime(other.m_secondTime),
      m_bodyLength(std::exchange(other.m_bodyLength, 0)),
      m_body(std::move(other.m_body)) {}

Msg& Msg::operator=(Msg&& other) noexcept {
  if (this == &other) return *this;
  CopyHeaderFrom(other);
  m_bodyLength = std::exchange(other.m_bodyLength, 0);
  m_body = std::move(other.m_body);
  return *this;
}

void Msg::SetUserIdentity(const UserIdentity& identity) { m_identity = identity; }

UserIdentity Msg::GetUserIdentity() const { return m_identity; }

void Msg::SetMessageId(std::uint32_t id) { m_messageId = id; }

std::uint32_t Msg::GetMessageId() const { return m_messageId; }

void Msg::SetOriginalStamp(std::uint32_t stamp) { m_originalStamp = stamp; }

std::uint32_t Msg::GetOriginalStamp() const { return m_originalStamp; }

void Msg::SetReplyStamp(std::uint32_t stamp) { m_replyStamp = stamp; }

std::uint32_t Msg::GetReplyStamp() const { return m_replyStamp; }

void Msg::StampSendTime() {
  DateTime now;
  now.SetNow();
  std::string text = now.Format();
  text.resize(kTimeSize, '0');
  std::copy_n(text.begin(), kTimeSize, m_sendTime.begin());
}

std::string_view Msg::GetSendTime() const { return {m_sendTime.data(), kTimeSize}; }

std::string_view Msg::GetSecondTime() const { return {m_secondTime.data(), kTimeSize}; }

void Msg::SetSecondTime(std::string_view text) {
  m_secondTime.fill('0');
  std::copy_n(text.begin(), std::min(text.size(), kTimeSize), m_secondTime.begin());
}

void Msg::BodyFree::operator()(char* bytes) const { std::free(bytes); }

bool Msg::TakeBody(Body bytes, std::uint32_t n) {
  if (n > kMaxBodyLength || !bytes) {
    ReplaceBody(nullptr, 0);
    return false;
  }
  m_body = std::move(bytes);
  m_bodyLength = n;
  return true;
}

bool Msg::SetBodyLength(std::uint32_t n) { return ReplaceBody(nullptr, n); }

bool Msg::SetBody(const char* bytes, std::uint32_t n) { return ReplaceBody(n == 0 ? nullptr : bytes, n); }

bool Msg::SetBody(const std::string& text) { return ReplaceBody(text.data(), text.size()); }

std::uint32_t Msg::GetBodyLength() const { return m_bodyLength; }

const char* Msg::GetBody() const { return m_body.get(); }

char* Msg::GetBody() { return m_body.get(); }

std::string Msg::GetBodyText() const { return m_body ? std::string(m_body.get(), m_bodyLength) : std::string(); }

bool Msg::ReplaceBody(const char* bytes, std::size_t n) {
  m_body.reset();
  m_bodyLength = 0;
  if (n <= kMaxBodyLength) {
    // n + 1 cannot wrap: n is at most kMaxBodyLength.
    m_body.reset(static_cast<char*>(std::malloc(n + 1)));
  }
  if (!m_body) {
    // Keep the body consistent with length 0: one zero byte when memory allows.
    m_body.reset(static_cast<char*>(std::malloc(1)));
    if (m_body) m_body.get()[0] = '\0';
    return false;
  }
  if (bytes != nullptr) {
    std::memcpy(m_body.get(), bytes, n);
  } else {
    std::memset(m_body.get(), 0, n);
  }
  m_body.get()[n] = '\0';
  m_bodyLength = static_cast<std::uint32_t>(n);
  return true;
}

void Msg::WriteHeader(unsigned char* header) const {
  PutWord(header + kUserIdOffset, m_identity.GetUserId());
  PutWord(header + kSecondWordOffset, m_identity.GetSecondWord());
  PutWord(header + kMessageIdOffset, m_messageId);
  PutWord(header + kOriginalStampOffset, m_originalStamp);
  PutWord(header + kReplyStampOffset, m_replyStamp);
  std::memcpy(header + kSendTimeOffset, m_sendTime.data(), kTimeSize);
  std::memcpy(header + kSecondTimeOffset, m_secondTime.data(), kTimeSize);
  PutWord(header + kBodyLengthOffset, m_bodyLength);
}

std::uint32_t Msg::ReadHeader(const unsigned char* header) {
  m_identity.SetUserId(GetWord(header + kUserIdOffset));
  m_identity.SetSecondWord(GetWord(header + kSecondWordOffset));
  m_messageId = GetWord(header + kMessageIdOffset);
  m_originalStamp = GetWord(header + kOriginalStampOffset);
  m_replyStamp = GetWord(header + kReplyStampOffset);
  std::memcpy(m_sendTime.data(), header + kSendTimeOffset, kTimeSize);
  std::memcpy(m_secondTime.data(), header + kSecondTimeOffset, kTimeSize);
  return GetWord(header + kBodyLengthOffset);
}
