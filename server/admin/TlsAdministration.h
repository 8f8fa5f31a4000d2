#pragma once
// The administration of the library's TLS: its key and certificate (made or taken
// from the administrator's PEM files) and its mode and port, each saved under the
// user-table section with the texts the administrator is told. Shared by the
// command line and the server window. Changes serve from the server's next start.
#include <string>

#include "server/store/TlsSettings.h"

class CWexmoorDoc;

class TlsAdministration {
 public:
  struct Outcome {
    bool done = false;
    std::string text;   // what was done, or why not
  };

  explicit TlsAdministration(CWexmoorDoc& document) : document_(document) {}

  // A new key and self-signed certificate; an existing one is replaced only with `renew`.
  Outcome MakeKey(bool renew);
  // The administrator's certificate (chain) and key, checked to serve together.
  Outcome ImportKey(const std::string& certificatePath, const std::string& keyPath);
  // `modeText` is off, optional or required; `portText` the TLS port, empty to keep it.
  Outcome SetMode(const std::string& modeText, const std::string& portText);

  // One line on the mode, the ports and the fingerprint, as "show" and the window tell it.
  std::string Summary() const;

 private:
  // The fingerprint and, when TLS is on, the accounts whose certificates pin another key.
  std::string KeyMadeText(const std::string& what) const;

  CWexmoorDoc& document_;
};
