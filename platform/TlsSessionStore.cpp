#include "platform/TlsSessionStore.h"

#include <openssl/ssl.h>

#include "platform/TlsCredentials.h"

namespace platform {

TlsSessionStore::~TlsSessionStore() {
  for (auto& [target, kept] : kept_) SSL_SESSION_free(kept.session);
}

void TlsSessionStore::Keep(const std::string& target, const std::string& fingerprint, ssl_session_st* session) {
  const bool usable = session != nullptr && !fingerprint.empty() && SSL_SESSION_is_resumable(session) == 1 &&
                      TlsCredentials::FingerprintOf(SSL_SESSION_get0_peer(session)) == fingerprint;
  std::lock_guard lock(mutex_);
  DropLocked(target);
  if (!usable || SSL_SESSION_up_ref(session) != 1) return;
  kept_[target] = Kept{fingerprint, session};
}

ssl_session_st* TlsSessionStore::Find(const std::string& target, const std::string& fingerprint) {
  std::lock_guard lock(mutex_);
  const auto found = kept_.find(target);
  if (found == kept_.end()) return nullptr;
  if (found->second.fingerprint != fingerprint || SSL_SESSION_up_ref(found->second.session) != 1) {
    DropLocked(target);
    return nullptr;
  }
  return found->second.session;
}

void TlsSessionStore::DropLocked(const std::string& target) {
  const auto found = kept_.find(target);
  if (found == kept_.end()) return;
  SSL_SESSION_free(found->second.session);
  kept_.erase(found);
}

}  // namespace platform
