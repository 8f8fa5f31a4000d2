#pragma once
// The server's TLS identity as a connection certificate carries it: a record
//   "tls pin","fingerprint",TLS port\n
// behind the library's and the account's records, where readers that know only
// those two leave it alone. A client that finds it connects to the TLS port and
// accepts only a server whose certificate has that SHA-256 fingerprint.
#include <optional>
#include <string>

struct CertificatePin {
  std::string fingerprint;
  int port = 0;

  // The record, ending in a line feed.
  std::string Write() const;
  // The pin of a whole decoded certificate text: the first such record after its
  // first two lines; none when there is none or it holds no fingerprint or a port
  // outside 1-65535.
  static std::optional<CertificatePin> Find(const std::string& certificateText);
};
