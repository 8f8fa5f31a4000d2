#include "common/CertificateFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "common/BuiltInKeys.h"
#include "common/Codec.h"
#include "platform/AtomicFile.h"
#include "platform/fs.h"

namespace {

// Type 1 is its own inverse, so one transform serves both directions.
std::string Transformed(std::string bytes) {
  const BuiltInKey key = CertificateBuiltInKey();
  Codec codec;
  const int index = codec.Add(static_cast<int>(key.size()), key.data(), 1);
  codec.Encode(index, static_cast<std::int64_t>(bytes.size()), bytes.data());
  return bytes;
}

}  // namespace

bool CertificateFile::Write(const std::string& path, const std::string& text, std::string* reason) {
  errno = 0;
  if (platform::AtomicFile::WriteOwnerOnly(path, Transformed(text))) return true;
  if (reason) *reason = errno != 0 ? std::strerror(errno) : "the file could not be written";
  return false;
}

CertificateFile::ReadResult CertificateFile::Read(const std::string& path, std::string& text) {
  text.clear();
  std::int64_t size = 0;
  if (!platform::fs::IsFile(path) || !platform::fs::FileSize(path, size)) return ReadResult::Unreadable;
  if (size > kMaxFileSize) return ReadResult::TooLarge;
  std::ifstream in(path, std::ios::binary);
  if (!in) return ReadResult::Unreadable;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return ReadResult::Unreadable;
  if (static_cast<std::int64_t>(bytes.size()) > kMaxFileSize) return ReadResult::TooLarge;  // grew meanwhile
  bytes = Transformed(std::move(bytes));
  text = bytes.substr(0, bytes.find('\0'));
  return ReadResult::Read;
}
