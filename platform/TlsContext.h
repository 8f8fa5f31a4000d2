#pragma once
// The TLS settings of one side of a connection: TLS 1.3 only. A server context
// holds the server's certificate (with its chain) and private key; a client context
// checks no certificate chain, because the client pins the server's certificate by
// its fingerprint (Transport::PeerFingerprint) instead of trusting an authority, and
// keeps the sessions its connections may resume. A server context gives each client
// one ticket to resume with; its ticket key lives as long as the context.
#include <memory>
#include <string>

#include "platform/TlsSessionStore.h"

struct ssl_ctx_st;

namespace platform {

class TlsContext {
 public:
  enum class Role { Server, Client };

  // From the PEM files of a certificate chain and its private key; null, with why
  // in `error`, when either cannot be read or the key does not match.
  static std::shared_ptr<const TlsContext> ForServer(const std::string& certificatePath, const std::string& keyPath,
                                                     std::string& error);
  static std::shared_ptr<const TlsContext> ForClient(std::string& error);

  ~TlsContext();
  TlsContext(const TlsContext&) = delete;
  TlsContext& operator=(const TlsContext&) = delete;

  Role GetRole() const { return role_; }
  ssl_ctx_st* Native() const { return context_; }
  // The sessions a client context's connections may resume (empty in a server's).
  TlsSessionStore& Sessions() const { return sessions_; }

  // The oldest error OpenSSL queued on this thread as text (the queue is emptied);
  // `otherwise` when none was queued.
  static std::string TakeError(const std::string& otherwise);

 private:
  TlsContext(ssl_ctx_st* context, Role role) : context_(context), role_(role) {}

  ssl_ctx_st* context_;
  Role role_;
  mutable TlsSessionStore sessions_;
};

}  // namespace platform
