#pragma once
// One library the client knows, with the library's own key (the key of the logon
// header): name, key text (two upper-case hex digits a byte) and key length in
// bytes. Its line in "BKLibraryEntries.wxf": "name","key text",key length\n; an
// entry whose certificate pinned the server's TLS key goes on with
// ,"fingerprint",TLS port before the line feed (earlier readers stop before it).
#include <string>

class LibraryEntry {
 public:
  LibraryEntry() = default;
  LibraryEntry(const std::string& name, const std::string& keyText, int keyLength);

  const std::string& GetName() const { return name_; }
  const std::string& GetKeyText() const { return keyText_; }
  int GetKeyLength() const { return keyLength_; }
  // Both trim surrounding white space.
  void SetName(const std::string& name);
  void SetKeyText(const std::string& keyText);
  void SetKeyLength(int keyLength) { keyLength_ = keyLength; }
  // The server's TLS certificate fingerprint and port; with one the client speaks
  // TLS only and only to that certificate. Empty and 0 for a plain library.
  const std::string& GetTlsFingerprint() const { return tlsFingerprint_; }
  int GetTlsPort() const { return tlsPort_; }
  void SetTlsPin(const std::string& fingerprint, int port);
  bool IsTlsPinned() const { return !tlsFingerprint_.empty(); }
  // Empties both texts (the length stays).
  void Clear();

  // The entry's line, ending in a line feed.
  std::string Write() const;
  // Reads name, key text and key length (untrimmed) from the front of `text` and
  // returns what follows; missing fields read as empty or 0.
  std::string Read(const std::string& text);

  bool operator==(const LibraryEntry&) const = default;

 private:
  std::string name_;
  std::string keyText_;
  int keyLength_ = 0;
  std::string tlsFingerprint_;
  int tlsPort_ = 0;
};
