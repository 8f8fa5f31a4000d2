#include "common/Codec.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <numeric>

#include "common/TraceError.h"

namespace {

// Patterns are at least this long so the word loop runs over long stretches.
constexpr std::size_t kMinPatternLength = 512;
constexpr std::size_t kWord = sizeof(std::uint64_t);

// The key repeated to a length that is a multiple of both the key length and the
// word size, so every pattern-sized stretch of data starts again at key byte 0.
std::vector<unsigned char> MakePattern(const std::vector<unsigned char>& key) {
  std::size_t unit = std::lcm(key.size(), kWord);
  std::size_t length = unit * ((kMinPatternLength + unit - 1) / unit);
  std::vector<unsigned char> pattern(length);
  for (std::size_t i = 0; i < length; ++i) pattern[i] = key[i % key.size()];
  return pattern;
}

void XorWithPattern(unsigned char* data, std::size_t n, const std::vector<unsigned char>& pattern) {
  const unsigned char* pat = pattern.data();
  const std::size_t p = pattern.size();
  std::size_t done = 0;
  for (; n - done >= p; done += p) {
    unsigned char* chunk = data + done;
    for (std::size_t j = 0; j < p; j += kWord) {
      std::uint64_t a;
      std::uint64_t b;
      std::memcpy(&a, chunk + j, kWord);
      std::memcpy(&b, pat + j, kWord);
      a ^= b;
      std::memcpy(chunk + j, &a, kWord);
    }
  }
  for (std::size_t j = 0; done < n; ++j, ++done) data[done] ^= pat[j];
}

// Values of one hexadecimal character, unchecked: codes up to '9' (as a signed
// byte) count from '0', everything else from 'A' - 10.
int HexValue(char c) {
  int code = static_cast<signed char>(c);
  return code <= '9' ? code - '0' : code - 'A' + 10;
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool ReadFully(int fd, unsigned char* buffer, std::size_t count, off_t offset) {
  while (count > 0) {
    ssize_t got = pread(fd, buffer, count, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    buffer += got;
    count -= static_cast<std::size_t>(got);
    offset += got;
  }
  return true;
}

bool WriteFully(int fd, const unsigned char* buffer, std::size_t count, off_t offset) {
  while (count > 0) {
    ssize_t put = pwrite(fd, buffer, count, offset);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    buffer += put;
    count -= static_cast<std::size_t>(put);
    offset += put;
  }
  return true;
}

CodecKey MakeKey(const unsigned char* bytes, int length, int nType) {
  CodecKey key;
  key.length = length;
  key.bytes.assign(bytes, bytes + length);
  key.nType = nType;
  key.pattern = MakePattern(key.bytes);
  return key;
}

}  // namespace

Codec::Codec(const Codec& other) { *this = other; }

Codec& Codec::operator=(const Codec& other) {
  if (this == &other) return *this;
  Reset();
  for (const CodecKey& key : other.m_keys) {
    try {
      m_keys.push_back(key);
    } catch (const std::bad_alloc&) {
      TraceError("Exception in Codec::operator=(Codec &c)");
    }
  }
  return *this;
}

void Codec::Reset() { m_keys.clear(); }

int Codec::Add(int length, const unsigned char* c, int nType) {
  if (length < 1 || c == nullptr) return -1;
  try {
    m_keys.push_back(MakeKey(c, length, nType));
  } catch (const std::bad_alloc&) {
    TraceError("Exception in Codec::Add(int length, unsigned char *c, int nType)");
    return -1;
  }
  return static_cast<int>(m_keys.size()) - 1;
}

int Codec::Add(int length, const std::string& c, int nType) {
  if (length < 1 || c.size() / 2 != static_cast<std::size_t>(length)) return -1;
  std::vector<unsigned char> bytes;
  try {
    bytes.resize(static_cast<std::size_t>(length));
  } catch (const std::bad_alloc&) {
    TraceError("Exception in Codec::Add(int length, CString &c, int nType)");
    return -1;
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    int high = HexValue(AsciiUpper(c[2 * i]));
    int low = HexValue(AsciiUpper(c[2 * i + 1]));
    bytes[i] = static_cast<unsigned char>(((high * 16) & 0xFF) | (low & 0xFF));
  }
  return Add(length, bytes.data(), nType);
}

const CodecKey* Codec::KeyAt(int keyIndex) const {
  if (keyIndex < 0 || static_cast<std::size_t>(keyIndex) >= m_keys.size()) return nullptr;
  return &m_keys[static_cast<std::size_t>(keyIndex)];
}

bool Codec::Encode(int keyIndex, std::int64_t length, void* buffer) const {
  const CodecKey* key = KeyAt(keyIndex);
  if (key == nullptr) return false;
  switch (key->nType) {
    case 1:
      if (length > 0) XorWithPattern(static_cast<unsigned char*>(buffer), static_cast<std::size_t>(length), key->pattern);
      return true;
    case 2:
      return true;
    default:
      return false;
  }
}

bool Codec::Decode(int keyIndex, std::int64_t length, void* buffer) const { return Encode(keyIndex, length, buffer); }

bool Codec::EncodeFile(int keyIndex, const std::string& path) const { return TransformFile(keyIndex, path); }

bool Codec::DecodeFile(int keyIndex, const std::string& path) const { return TransformFile(keyIndex, path); }

bool Codec::TransformFile(int keyIndex, const std::string& path) const {
  const CodecKey* key = KeyAt(keyIndex);
  if (key == nullptr || key->length > kMaxFileBlock) return false;
  // Blocks are whole multiples of the key, so the key position runs on unbroken.
  const std::size_t blockSize = static_cast<std::size_t>((kMaxFileBlock / key->length) * key->length);

  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = true;
  off_t size = lseek(fd, 0, SEEK_END);
  if (size < 0) ok = false;
  std::vector<unsigned char> block;
  try {
    if (ok) block.resize(blockSize);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  for (off_t position = 0; ok && position < size; position += static_cast<off_t>(blockSize)) {
    std::size_t count = static_cast<std::size_t>(std::min<off_t>(static_cast<off_t>(blockSize), size - position));
    ok = ReadFully(fd, block.data(), count, position);
    if (ok) {
      // A key type that transforms nothing leaves the block as it was.
      Decode(keyIndex, static_cast<std::int64_t>(count), block.data());
      ok = WriteFully(fd, block.data(), count, position);
    }
  }
  if (close(fd) != 0) ok = false;
  return ok;
}

int Codec::GetKeyLength(int keyIndex) const {
  const CodecKey* key = KeyAt(keyIndex);
  if (key == nullptr) throw std::bad_alloc();
  return key->length;
}
