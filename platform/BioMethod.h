#pragma once
// A TLS byte source and sink of our own (a socket, a link in memory), for OpenSSL.
#include <openssl/bio.h>

#include <cstddef>

namespace platform {

// A new method with these calls; null when OpenSSL could not make one. Made once
// per kind by its caller and never freed.
BIO_METHOD* NewSourceSinkMethod(const char* name, int (*write)(BIO*, const char*, std::size_t, std::size_t*),
                                int (*read)(BIO*, char*, std::size_t, std::size_t*),
                                long (*control)(BIO*, int, long, void*));

}  // namespace platform
