#pragma once
// A certificate file (".wxc"): the certificate text, XORed byte by byte with the
// 90-byte certificate key (repeated), with nothing before or after it and no
// terminating zero. The server's user administration writes it; the clients read
// it back when they import it. Plain text: two comma-separated records, the
// library's (name, key length, key text) and the user's account line.
#include <cstdint>
#include <string>

class CertificateFile {
 public:
  // Larger files are no certificates and are not read.
  static constexpr std::int64_t kMaxFileSize = 64 * 1024;

  enum class ReadResult { Read, Unreadable, TooLarge };

  // Replaces the file at `path` atomically with the transformed text, readable by
  // its owner only (it holds the user's key); false (the old file, if any,
  // untouched) when it cannot be written, with the system's reason in `reason`
  // when one is given.
  static bool Write(const std::string& path, const std::string& text, std::string* reason = nullptr);

  // Reads and decodes the file; `text` is the decoded content up to its first zero
  // byte. Unreadable when the file does not exist or cannot be read, TooLarge above
  // kMaxFileSize; `text` is empty in both cases.
  static ReadResult Read(const std::string& path, std::string& text);
};
