#pragma once
// The extensions of the protocol a peer speaks, announced in the header's second
// time, which no message of the original protocol sets or reads. A client
// announces in its logon (5003), the server in its acceptance (5009); each side
// sends an extension's messages only when the other announced that extension, so
// an earlier peer never receives one. See docs/protocol-extensions.md.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/MessageIds.h"

// One bit each in the announcement; values are never reused.
enum class WireExtension : std::uint8_t {
  kRights = 0,
  kUndoCheckOut = 1,
};

class WireCapabilities {
 public:
  // Announcements are "WXC1" (client) or "WXS1" (server) followed by ten lowercase
  // hex digits of the extension bits; anything else announces nothing.
  enum class Side { kClient, kServer };

  // Announces nothing.
  WireCapabilities() = default;

  // Every extension this build speaks.
  static WireCapabilities Ours();

  bool Has(WireExtension extension) const;
  WireCapabilities With(WireExtension extension) const;
  bool IsEmpty() const { return bits_ == 0; }

  // The 14 characters `side` puts into a message's second time.
  std::string Announcement(Side side) const;
  // What a message's second time announces for `side`: nothing when it holds the
  // other side's announcement, zeros, a time or anything malformed.
  static WireCapabilities Announced(Side side, std::string_view secondTime);

  bool operator==(const WireCapabilities&) const = default;

 private:
  explicit WireCapabilities(std::uint64_t bits) : bits_(bits) {}
  std::uint64_t bits_ = 0;
};

// The extension an extension request belongs to; none for the ids of the original
// protocol and for unknown ids.
std::optional<WireExtension> ExtensionOfRequest(MessageId id);

// The extension request ids `capabilities` allow a peer to send.
bool MayRequest(const WireCapabilities& capabilities, MessageId id);
