#include "client/document/FileComparison.h"

#include <algorithm>
#include <fstream>
#include <vector>

namespace {

constexpr std::streamsize kBlockSize = 65536;

// The stream's size; the stream is left at its start. -1 when it cannot be told.
std::streamoff SizeOf(std::ifstream& in) {
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  return in ? size : -1;
}

}  // namespace

bool FilesHaveSameContent(const std::string& first, const std::string& second) {
  std::ifstream a(first, std::ios::binary);
  std::ifstream b(second, std::ios::binary);
  if (!a.is_open() || !b.is_open()) return false;
  const std::streamoff size = SizeOf(a);
  if (size < 0 || size != SizeOf(b)) return false;
  std::vector<char> blockA(kBlockSize);
  std::vector<char> blockB(kBlockSize);
  for (std::streamoff left = size; left > 0;) {
    const std::streamsize count = left > kBlockSize ? kBlockSize : static_cast<std::streamsize>(left);
    if (!a.read(blockA.data(), count) || !b.read(blockB.data(), count)) return false;
    if (!std::equal(blockA.begin(), blockA.begin() + count, blockB.begin())) return false;
    left -= count;
  }
  return true;
}
