#include "client/document/TextContent.h"

#include <fstream>

namespace {

// The number of continuation bytes a UTF-8 lead byte announces; -1 for a byte that
// cannot begin a character.
int ContinuationCount(unsigned char lead) {
  if (lead < 0x80) return 0;
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return -1;
}

}  // namespace

bool TextContent::IsText(const std::string& bytes, bool cut) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead == 0) return false;
    const int following = ContinuationCount(lead);
    if (following < 0) return false;
    for (int k = 1; k <= following; ++k) {
      if (i + static_cast<std::size_t>(k) >= bytes.size()) return cut;
      if ((static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80) return false;
    }
    i += static_cast<std::size_t>(following) + 1;
  }
  return true;
}

bool TextContent::IsTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string sample(kSampleBytes, '\0');
  in.read(sample.data(), static_cast<std::streamsize>(sample.size()));
  if (in.bad()) return false;
  sample.resize(static_cast<std::size_t>(in.gcount()));
  const bool cut = sample.size() == kSampleBytes;
  return IsText(sample, cut);
}
