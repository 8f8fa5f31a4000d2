#pragma once
// A server's TLS identity as PEM text: a new ECDSA P-256 private key with a
// self-signed certificate, and the SHA-256 fingerprint by which clients pin a
// certificate (32 bytes as upper-case hex pairs joined by colons).
#include <string>

struct x509_st;

namespace platform {

class TlsCredentials {
 public:
  static constexpr int kValidDays = 3650;

  // Makes a key and a certificate naming `commonName`, valid from now for
  // kValidDays; false, with why in `error`, when OpenSSL could not.
  static bool Make(const std::string& commonName, std::string& certificatePem, std::string& keyPem,
                   std::string& error);

  // The fingerprint of the first certificate in `certificatePem`; empty when it holds none.
  static std::string FingerprintOfPem(const std::string& certificatePem);
  static std::string FingerprintOf(const x509_st* certificate);
};

}  // namespace platform
