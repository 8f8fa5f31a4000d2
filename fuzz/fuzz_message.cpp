// The wire header and the scrambling codec. A header read and written again gives
// the same 52 bytes but the body length, which always follows the body held; a body
// scrambled with any key and unscrambled again is unchanged.
#include <algorithm>
#include <cstring>

#include "common/Codec.h"
#include "common/Msg.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr std::size_t kLengthOffset = 48;

void CheckHeaderRoundTrip(const std::uint8_t* header, const std::string& rest) {
  Msg message;
  const std::uint32_t announced = message.ReadHeader(header);
  const std::uint32_t length = static_cast<std::uint32_t>(std::min<std::size_t>(announced, rest.size()));
  FUZZ_CHECK(message.SetBody(rest.data(), length));
  const Msg copy(message);
  FUZZ_CHECK(copy.GetBodyText() == rest.substr(0, length));
  unsigned char written[Msg::kHeaderSize];
  copy.WriteHeader(written);
  FUZZ_CHECK(std::memcmp(written, header, kLengthOffset) == 0);
  for (std::size_t i = 0; i < 4; ++i) FUZZ_CHECK(written[kLengthOffset + i] == ((length >> (8 * i)) & 0xFF));
}

// The first byte picks the key length, the key bytes follow; the rest is scrambled
// with that key and with the rest itself read as a hex key.
void CheckCodecRoundTrip(const std::string& input) {
  if (input.size() < 2) return;
  const std::size_t keyLength = std::min<std::size_t>(1 + static_cast<unsigned char>(input[0]) % 96, input.size() - 1);
  const std::string body = input.substr(1 + keyLength);
  Codec codec;
  FUZZ_CHECK(codec.Add(static_cast<int>(keyLength), reinterpret_cast<const unsigned char*>(input.data() + 1), 1) == 0);
  const int hexKey = codec.Add(static_cast<int>(body.size() / 2), body, 1);
  FUZZ_CHECK(hexKey == (body.size() >= 2 ? 1 : -1));
  for (int key = 0; key <= hexKey || key == 0; ++key) {
    std::string scrambled = body;
    FUZZ_CHECK(codec.Encode(key, static_cast<std::int64_t>(scrambled.size()), scrambled.data()));
    FUZZ_CHECK(codec.Decode(key, static_cast<std::int64_t>(scrambled.size()), scrambled.data()));
    FUZZ_CHECK(scrambled == body);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input = fuzz::Text(data, size);
  if (size >= Msg::kHeaderSize) CheckHeaderRoundTrip(data, input.substr(Msg::kHeaderSize));
  CheckCodecRoundTrip(input);
  return 0;
}
