// Requests through the server's dispatcher on the seeded library. The first byte
// picks the request (fuzz::kRequests), the rest is its body; behind 5018 and 5026
// follow the files its rows announce, as the server reads them (none when it cannot
// read the body, and the input is passed over when they exceed 1 MiB). Every
// request must be answered with a reply carrying its stamp, the goodbye of a logoff,
// or the end of the connection (the server then takes a new logon); no received
// file outlives its request.
#include "fuzz/SeededLibrary.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static fuzz::SeededLibrary library;
  const MessageId id = fuzz::kRequests[data[0] % std::size(fuzz::kRequests)];
  const std::string body = library.Named(fuzz::Text(data + 1, size - 1));
  const std::optional<std::vector<std::string>> files =
      IsRequestWithFiles(id) ? fuzz::AnnouncedFiles(body) : std::vector<std::string>{};
  if (!files) return 0;
  const bool answered = library.Ask(id, body, nullptr, *files).has_value();
  // A connection the server ended may still be closing; an answered request is over.
  FUZZ_CHECK(library.NoReceivedFileLeft(answered ? std::chrono::seconds(0) : std::chrono::seconds(10)));
  return 0;
}
