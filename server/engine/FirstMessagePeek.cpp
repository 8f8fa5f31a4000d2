#include "server/engine/FirstMessagePeek.h"

#include <array>

#include "common/Codec.h"
#include "common/MessageIds.h"
#include "common/Msg.h"
#include "server/engine/RTE.h"
#include "server/store/ServerSettings.h"

namespace {

constexpr int kXorKey = 1;

}  // namespace

FirstMessagePeek::FirstMessagePeek(const ServerSettings& settings) : settings_(settings) {}

FirstMessagePeek::Arrival FirstMessagePeek::Look(platform::Transport& connection) const {
  std::array<unsigned char, Msg::kHeaderSize + RTE::kMaxLogonBodyLength> bytes;
  const platform::IoResult peeked = connection.Peek(bytes.data(), bytes.size());
  if (peeked.status == platform::IoStatus::WouldBlock) return Arrival::Quiet;
  if (peeked.status != platform::IoStatus::Ok) return Arrival::Closed;
  if (peeked.bytes < Msg::kHeaderSize) return Arrival::Begun;

  Codec codec;
  const int key = codec.Add(settings_.GetDefaultKeyLength(), settings_.GetDefaultKey(), kXorKey);
  if (key < 0 || !codec.Encode(key, Msg::kHeaderSize, bytes.data())) return Arrival::Refused;
  Msg header;
  const std::uint32_t length = header.ReadHeader(bytes.data());
  const std::uint32_t userId = header.GetUserIdentity().GetUserId();
  if (length > RTE::kMaxLogonBodyLength || IsRequestWithFiles(header.GetMessageId()) || userId > 0x7fffffffu ||
      !settings_.FindUser(static_cast<int>(userId))) {
    return Arrival::Refused;
  }
  if (peeked.bytes < Msg::kHeaderSize + length) return Arrival::Begun;
  return header.GetMessageId() == MSGID_LOGON ? Arrival::Logon : Arrival::Message;
}
