#include "platform/TlsCredentials.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>

#include <memory>

#include "platform/TlsContext.h"

namespace platform {
namespace {

template <typename T, void (*Free)(T*)>
struct Freer {
  void operator()(T* p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>>;
using CertificatePtr = std::unique_ptr<X509, Freer<X509, X509_free>>;
using BioPtr = std::unique_ptr<BIO, Freer<BIO, BIO_free_all>>;

std::string BioText(BIO* bio) {
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

// A random positive serial number, so a renewed certificate never repeats one.
bool SetRandomSerial(X509* certificate) {
  unsigned char bytes[16];
  if (RAND_bytes(bytes, sizeof bytes) != 1) return false;
  bytes[0] &= 0x7F;
  BIGNUM* number = BN_bin2bn(bytes, sizeof bytes, nullptr);
  const bool set = number != nullptr && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate)) != nullptr;
  BN_free(number);
  return set;
}

bool SelfSign(X509* certificate, EVP_PKEY* key, const std::string& commonName) {
  X509_NAME* name = X509_get_subject_name(certificate);
  const auto* text = reinterpret_cast<const unsigned char*>(commonName.c_str());
  return X509_set_version(certificate, 2) == 1 && SetRandomSerial(certificate) &&
         X509_gmtime_adj(X509_getm_notBefore(certificate), 0) != nullptr &&
         X509_gmtime_adj(X509_getm_notAfter(certificate), 60L * 60 * 24 * TlsCredentials::kValidDays) != nullptr &&
         X509_set_pubkey(certificate, key) == 1 &&
         X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, text, -1, -1, 0) == 1 &&
         X509_set_issuer_name(certificate, name) == 1 && X509_sign(certificate, key, EVP_sha256()) > 0;
}

}  // namespace

bool TlsCredentials::Make(const std::string& commonName, std::string& certificatePem, std::string& keyPem,
                          std::string& error) {
  const KeyPtr key(EVP_EC_gen("P-256"));
  const CertificatePtr certificate(X509_new());
  const BioPtr keyText(BIO_new(BIO_s_mem()));
  const BioPtr certificateText(BIO_new(BIO_s_mem()));
  if (!key || !certificate || !keyText || !certificateText ||
      !SelfSign(certificate.get(), key.get(), commonName.empty() ? "wexmoor" : commonName) ||
      PEM_write_bio_PrivateKey(keyText.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
      PEM_write_bio_X509(certificateText.get(), certificate.get()) != 1) {
    error = TlsContext::TakeError("the key could not be made");
    return false;
  }
  keyPem = BioText(keyText.get());
  certificatePem = BioText(certificateText.get());
  return true;
}

std::string TlsCredentials::FingerprintOfPem(const std::string& certificatePem) {
  const BioPtr text(BIO_new_mem_buf(certificatePem.data(), static_cast<int>(certificatePem.size())));
  if (!text) return "";
  const CertificatePtr certificate(PEM_read_bio_X509(text.get(), nullptr, nullptr, nullptr));
  TlsContext::TakeError("");
  return FingerprintOf(certificate.get());
}

std::string TlsCredentials::FingerprintOf(const x509_st* certificate) {
  if (certificate == nullptr) return "";
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1) return "";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    if (i > 0) text += ':';
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 0x0F];
  }
  return text;
}

}  // namespace platform
