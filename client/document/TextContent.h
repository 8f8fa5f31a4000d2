#pragma once
// Whether a file holds text the client's comparison window can show: lead and
// continuation bytes of UTF-8 and no NUL byte in its first kSampleBytes.
#include <cstddef>
#include <string>

class TextContent {
 public:
  static constexpr std::size_t kSampleBytes = 64 * 1024;

  // True for bytes without NUL that are valid UTF-8; a sequence cut off by the end
  // of a sample (`cut`) still counts as text.
  static bool IsText(const std::string& bytes, bool cut);
  // IsText of the file's first kSampleBytes; false when it cannot be read.
  static bool IsTextFile(const std::string& path);
};
