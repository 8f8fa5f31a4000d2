#pragma once
// How the library serves TLS, kept in "WXTls.wxf" in the library root beside the
// users file: one line "mode",port\n with mode off, optional or required and the
// TLS port (0: the library's port + 1). A library without the file (every library
// made before TLS) is off. The server's certificate and private key are PEM files
// in the root too, the key readable by its owner only; backups copy all three.
#include <optional>
#include <string>

class TlsSettings {
 public:
  enum class Mode { Off, Optional, Required };
  static constexpr const char* kFileName = "WXTls.wxf";
  static constexpr const char* kCertificateFileName = "WXTlsCertificate.pem";
  static constexpr const char* kKeyFileName = "WXTlsKey.pem";

  // The settings of the library in `rootPath`; off when it has no file, none when
  // the file cannot be read or names no mode.
  static std::optional<TlsSettings> Load(const std::string& rootPath);
  // Replaces the file atomically; false when it could not be written.
  bool Save(const std::string& rootPath) const;

  static const char* ModeText(Mode mode);
  static std::optional<Mode> ParseMode(const std::string& text);

  static std::string CertificatePath(const std::string& rootPath);
  static std::string KeyPath(const std::string& rootPath);
  // The fingerprint of the root's certificate (platform::TlsCredentials); empty when there is none.
  static std::string Fingerprint(const std::string& rootPath);

  // The record (CertificatePin) that certificates of the library in `rootPath`
  // carry while it serves TLS; empty while it is off or has no certificate.
  static std::string CertificatePinRecord(const std::string& rootPath, int libraryPort);

  Mode GetMode() const { return mode_; }
  void SetMode(Mode mode) { mode_ = mode; }
  // The port the TLS listener takes for a library that listens on `libraryPort`.
  int PortFor(int libraryPort) const { return port_ != 0 ? port_ : libraryPort + 1; }
  int GetPort() const { return port_; }   // 0: the library's port + 1
  void SetPort(int port) { port_ = port; }

 private:
  Mode mode_ = Mode::Off;
  int port_ = 0;
};
