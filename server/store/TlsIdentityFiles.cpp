#include "server/store/TlsIdentityFiles.h"

#include "platform/AtomicFile.h"
#include "platform/TlsContext.h"
#include "platform/TlsCredentials.h"
#include "platform/fs.h"
#include "server/store/TlsSettings.h"

bool TlsIdentityFiles::Exists(const std::string& rootPath) {
  return platform::fs::Exists(TlsSettings::CertificatePath(rootPath)) ||
         platform::fs::Exists(TlsSettings::KeyPath(rootPath));
}

std::string TlsIdentityFiles::Make(const std::string& rootPath, const std::string& serverName, bool renew) {
  if (!renew && Exists(rootPath)) {
    return "The library already has a TLS key (" + TlsSettings::KeyPath(rootPath) + "); to replace it: tls-init --renew";
  }
  std::string certificatePem, keyPem, error;
  if (!platform::TlsCredentials::Make(serverName, certificatePem, keyPem, error)) {
    return "No TLS key could be made: " + error;
  }
  return Place(rootPath, certificatePem, keyPem);
}

std::string TlsIdentityFiles::Import(const std::string& rootPath, const std::string& certificatePath,
                                     const std::string& keyPath) {
  std::string error;
  if (platform::TlsContext::ForServer(certificatePath, keyPath, error) == nullptr) {
    return "The files cannot serve TLS: " + error;
  }
  std::string certificatePem, keyPem;
  if (!platform::fs::ReadWholeFile(certificatePath, certificatePem) ||
      !platform::fs::ReadWholeFile(keyPath, keyPem)) {
    return "The certificate or the key cannot be read";
  }
  return Place(rootPath, certificatePem, keyPem);
}

std::string TlsIdentityFiles::Place(const std::string& rootPath, const std::string& certificatePem,
                                    const std::string& keyPem) {
  const std::string certificatePath = TlsSettings::CertificatePath(rootPath);
  std::string previousCertificate;
  const bool hadCertificate = platform::fs::ReadWholeFile(certificatePath, previousCertificate);
  if (!platform::AtomicFile::WriteOwnerOnly(certificatePath, certificatePem)) {
    return "The certificate " + certificatePath + " could not be written";
  }
  const std::string keyPath = TlsSettings::KeyPath(rootPath);
  if (platform::AtomicFile::WriteOwnerOnly(keyPath, keyPem)) return "";
  // A certificate without its key would serve nobody.
  if (hadCertificate) {
    platform::AtomicFile::WriteOwnerOnly(certificatePath, previousCertificate);
  } else {
    platform::fs::DeleteFile(certificatePath);
  }
  return "The key " + keyPath + " could not be written";
}
