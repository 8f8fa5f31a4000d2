#include "platform/TlsContext.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace platform {
namespace {

constexpr std::size_t kReadAheadBytes = 64 * 1024;

SSL_CTX* NewTls13Context(const SSL_METHOD* method) {
  SSL_CTX* context = SSL_CTX_new(method);
  if (context == nullptr) return nullptr;
  if (SSL_CTX_set_min_proto_version(context, TLS1_3_VERSION) != 1 ||
      SSL_CTX_set_max_proto_version(context, TLS1_3_VERSION) != 1) {
    SSL_CTX_free(context);
    return nullptr;
  }
  // Reads and writes are retried by callers that may have moved their buffer, and a
  // send may take part of what it is given, as a plain socket's does.
  SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  // Room for several records read ahead at once (see Transport).
  SSL_CTX_set_default_read_buffer_len(context, kReadAheadBytes);
  // AES-128-GCM first: the fastest on processors with AES instructions, and as strong as needed.
  if (SSL_CTX_set_ciphersuites(context, "TLS_AES_128_GCM_SHA256:TLS_CHACHA20_POLY1305_SHA256:TLS_AES_256_GCM_SHA384") !=
      1) {
    SSL_CTX_free(context);
    return nullptr;
  }
  // A peer that closes without the TLS farewell has closed, as on the plain wire.
  SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
  return context;
}

}  // namespace

std::string TlsContext::TakeError(const std::string& otherwise) {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return otherwise;
  char text[256] = {};
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

std::shared_ptr<const TlsContext> TlsContext::ForServer(const std::string& certificatePath,
                                                        const std::string& keyPath, std::string& error) {
  ERR_clear_error();
  SSL_CTX* context = NewTls13Context(TLS_server_method());
  if (context == nullptr) {
    error = TakeError("no TLS context");
    return nullptr;
  }
  std::shared_ptr<const TlsContext> made(new TlsContext(context, Role::Server));
  if (SSL_CTX_use_certificate_chain_file(context, certificatePath.c_str()) != 1) {
    error = "the certificate " + certificatePath + " cannot be used: " + TakeError("unreadable");
    return nullptr;
  }
  if (SSL_CTX_use_PrivateKey_file(context, keyPath.c_str(), SSL_FILETYPE_PEM) != 1) {
    error = "the key " + keyPath + " cannot be used: " + TakeError("unreadable");
    return nullptr;
  }
  if (SSL_CTX_check_private_key(context) != 1) {
    error = "the key " + keyPath + " does not belong to the certificate " + certificatePath;
    ERR_clear_error();
    return nullptr;
  }
  // One stateless ticket per handshake: a client resumes with it, and the server
  // keeps no session of its own.
  SSL_CTX_set_num_tickets(context, 1);
  SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_OFF);
  return made;
}

std::shared_ptr<const TlsContext> TlsContext::ForClient(std::string& error) {
  ERR_clear_error();
  SSL_CTX* context = NewTls13Context(TLS_client_method());
  if (context == nullptr) {
    error = TakeError("no TLS context");
    return nullptr;
  }
  SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
  return std::shared_ptr<const TlsContext>(new TlsContext(context, Role::Client));
}

TlsContext::~TlsContext() { SSL_CTX_free(context_); }

}  // namespace platform
