// Request bodies through the server's dispatcher on the seeded library. The first
// byte picks a request that carries no files, the rest is its body. Every request
// must be answered with a reply carrying its stamp, or end the connection; the
// server then takes a new logon.
#include "fuzz/SeededLibrary.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static fuzz::SeededLibrary library;
  const MessageId id = fuzz::kRequestsWithoutFiles[data[0] % std::size(fuzz::kRequestsWithoutFiles)];
  library.Ask(id, fuzz::Text(data + 1, size - 1));
  return 0;
}
