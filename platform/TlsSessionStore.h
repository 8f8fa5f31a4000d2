#pragma once
// The TLS sessions a client may resume: for each connection target (an address
// and port), the last session had there with the certificate pinned for it. A
// resumed handshake skips the certificate's signature and its check, the dearest
// part of a new connection. A session is only ever offered under the fingerprint
// it was made with, so a changed pin always gets a full handshake. Thread-safe.
#include <map>
#include <mutex>
#include <string>

struct ssl_session_st;

namespace platform {

class TlsSessionStore {
 public:
  TlsSessionStore() = default;
  ~TlsSessionStore();
  TlsSessionStore(const TlsSessionStore&) = delete;
  TlsSessionStore& operator=(const TlsSessionStore&) = delete;

  // Keeps `session` (a reference is taken) for `target` when it may be resumed and
  // its server's certificate has `fingerprint`; otherwise what was kept there goes.
  void Keep(const std::string& target, const std::string& fingerprint, ssl_session_st* session);
  // A new reference to the session kept for `target` under `fingerprint`, for the
  // caller to free; null when none is (one kept under another fingerprint is dropped).
  ssl_session_st* Find(const std::string& target, const std::string& fingerprint);

 private:
  struct Kept {
    std::string fingerprint;
    ssl_session_st* session = nullptr;
  };
  void DropLocked(const std::string& target);

  std::mutex mutex_;
  std::map<std::string, Kept> kept_;
};

}  // namespace platform
