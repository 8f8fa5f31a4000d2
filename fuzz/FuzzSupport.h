#pragma once
// What the fuzz targets share: the entry point's signature, a check that ends the
// run with a message (a finding in libFuzzer, a failed test in the replay), and a
// look at which files an operation left behind.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/MessageIds.h"
#include "platform/Notifier.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

#define FUZZ_CHECK(condition)                                                                  \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                            \
    }                                                                                          \
  } while (0)

namespace fuzz {

inline std::string Text(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// One frame of a stream target's input: a selector byte, a 2-byte little-endian
// length and that many content bytes (fewer at the input's end).
struct Frame {
  unsigned char selector = 0;
  std::string content;
};

inline std::vector<Frame> SplitFrames(const std::string& input) {
  std::vector<Frame> frames;
  for (std::size_t at = 0; at + 3 <= input.size();) {
    const std::size_t length = static_cast<unsigned char>(input[at + 1]) |
                               static_cast<std::size_t>(static_cast<unsigned char>(input[at + 2])) << 8;
    frames.push_back({static_cast<unsigned char>(input[at]), input.substr(at + 3, length)});
    at += 3 + length;
  }
  return frames;
}

// The first four bytes of `bytes` (fewer when it is shorter) as a little-endian number.
inline std::uint32_t LittleEndian32(const std::string& bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4 && i < bytes.size(); ++i) {
    value |= std::uint32_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
  }
  return value;
}

// The frame bytes SplitFrames reads back as one frame (content over 65,535 bytes is cut).
inline std::string FrameBytes(unsigned char selector, const std::string& content) {
  const std::size_t length = std::min<std::size_t>(content.size(), 0xFFFF);
  return std::string{static_cast<char>(selector), static_cast<char>(length & 0xFF), static_cast<char>(length >> 8)} +
         content.substr(0, length);
}

// The ids fuzz_client_replies picks from by index: every reply, and the goodbye.
inline std::vector<MessageId> ClientReplyIds() {
  std::vector<MessageId> ids;
  for (MessageId id = kFirstMessageId; id <= kLastMessageId; ++id) {
    if (IsReplyId(id) || id == MSGID_BYE) ids.push_back(id);
  }
  return ids;
}

// Every question is answered Yes without a word, as a user who agrees to everything.
inline void AnswerYesQuietly() {
  platform::SetNotifyHandler([](const platform::Notification&) { return platform::NotifyAnswer::Yes; });
}

// The names of the entries of `folder` (none when it does not exist).
inline std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

}  // namespace fuzz
