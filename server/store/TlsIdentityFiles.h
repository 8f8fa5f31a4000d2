#pragma once
// Puts the server's TLS certificate and private key into a library root (see
// TlsSettings), each file written atomically and readable by its owner only: a new
// ECDSA P-256 key with a self-signed certificate, or an administrator's own PEM
// certificate (a chain, say one an authority signed) and key. Both files change
// together: when the second cannot be written the first is put back.
#include <string>

class TlsIdentityFiles {
 public:
  // Makes a new key and certificate naming `serverName`. An existing pair is kept
  // unless `renew`. Empty when done; otherwise why not, with nothing changed.
  static std::string Make(const std::string& rootPath, const std::string& serverName, bool renew);
  // Copies the PEM files after checking that a TLS server can use them together.
  static std::string Import(const std::string& rootPath, const std::string& certificatePath,
                            const std::string& keyPath);
  static bool Exists(const std::string& rootPath);

 private:
  static std::string Place(const std::string& rootPath, const std::string& certificatePem, const std::string& keyPem);
};
