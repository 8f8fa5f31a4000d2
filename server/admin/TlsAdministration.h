#pragma once
// The administration of the library's TLS: its key and certificate (made or taken
// from the administrator's PEM files) and its mode and port, each saved under the
// user-table section with the texts the administrator is told. Shared by the
// command line and the server window. On a running server a change serves at
// once (new handshakes only: connections made stay); what it needs, the new port
// above all, is opened before anything is saved, so a refused change leaves the
// settings as they were. Without one, changes serve from the server's next start.
#include <string>

#include "server/store/TlsSettings.h"

class CWexmoorDoc;
class RunningServer;

class TlsAdministration {
 public:
  struct Outcome {
    bool done = false;
    std::string text;   // what was done, or why not
  };

  // `server` holds the library and serves the changes at once; null for a stopped library.
  explicit TlsAdministration(CWexmoorDoc& document, const RunningServer* server = nullptr)
      : document_(document), server_(server) {}

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
  // Has the running server serve the key files now when TLS is on.
  Outcome KeyStored(const std::string& what);
  std::string KeyMadeText(const std::string& what, const char* when) const;
  // Saves `settings` (with `saveFailure` told when that fails) and, on a running
  // server, serves them first; empty when done, else why not.
  std::string Apply(const TlsSettings& settings, const std::string& saveFailure, bool& applied);

  CWexmoorDoc& document_;
  const RunningServer* server_;
};
