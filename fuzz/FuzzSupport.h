#pragma once
// What the fuzz targets share: the entry point's signature, a check that ends the
// run with a message (a finding in libFuzzer, a failed test in the replay), and a
// look at which files an operation left behind.
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
