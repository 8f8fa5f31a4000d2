#pragma once
// A numbered list of keys for scrambling message headers, bodies and files. A key
// is addressed by the order in which it was added, from 0; indexes never change
// while the list lives. Type 1 keys XOR the data with the key bytes repeated from
// key byte 0 on every call, type 2 keys leave data unchanged, any other type fails.
#include <cstdint>
#include <string>
#include <vector>

struct CodecKey {
  int length = 0;                     // 1 or more
  std::vector<unsigned char> bytes;   // the key bytes
  int nType = 0;
  // The key repeated up to a multiple of 8 bytes, so the XOR can run word-wise.
  std::vector<unsigned char> pattern;
};

class Codec {
 public:
  // Files are transformed in blocks of the largest multiple of the key length
  // not above this size.
  static constexpr int kMaxFileBlock = 65535;

  Codec() = default;
  // Deep copies: the copy never shares key bytes with its source.
  Codec(const Codec& other);
  Codec& operator=(const Codec& other);

  // Empties the list.
  void Reset();

  // Appends a copy of length bytes; returns the new index, or -1 when length is
  // below 1 or memory runs out.
  int Add(int length, const unsigned char* c, int nType);
  // Appends a key given as hexadecimal text of 2*length characters (a last, odd
  // character is ignored; case does not matter; characters are not checked).
  // Returns the new index, or -1 when length is below 1 or the text's length
  // halved (rounded down) differs from length.
  int Add(int length, const std::string& c, int nType);

  // Transform length bytes of buffer in place. False, leaving the buffer alone,
  // when the index is out of range or the key type is neither 1 nor 2. Encode and
  // Decode are the same transform.
  bool Encode(int keyIndex, std::int64_t length, void* buffer) const;
  bool Decode(int keyIndex, std::int64_t length, void* buffer) const;

  // Transform an existing file in place, block by block, exactly as if its whole
  // content were one buffer. False when the index is out of range, the key is
  // longer than kMaxFileBlock, the file does not open (it is never created) or a
  // read or write fails.
  bool EncodeFile(int keyIndex, const std::string& path) const;
  bool DecodeFile(int keyIndex, const std::string& path) const;

  // The key's length; throws std::bad_alloc for an index out of range.
  int GetKeyLength(int keyIndex) const;

 private:
  const CodecKey* KeyAt(int keyIndex) const;
  bool TransformFile(int keyIndex, const std::string& path) const;

  std::vector<CodecKey> m_keys;
};
