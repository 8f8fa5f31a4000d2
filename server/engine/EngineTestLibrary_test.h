#pragma once
// Test support: a started library in a scratch folder with one account (user 7),
// the application object engines need, a peer that frames messages itself, and a
// bounded wait for conditions.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/BuiltInKeys.h"
#include "common/Codec.h"
#include "common/Msg.h"
#include "platform/ScratchFolder.h"
#include "platform/Socket.h"
#include "platform/fs.h"
#include "server/engine/CWexmoorApp.h"
#include "server/store/CWexmoorDoc.h"

namespace enginetest {

constexpr int kUserId = 7;
constexpr int kPeerKey0 = 0;     // index of the library's pre-logon key in the peer's codec
constexpr int kPeerUserKey = 1;  // index of the user's key

// Waits up to `bound` for `condition`, looking every millisecond.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds bound = std::chrono::milliseconds(10000)) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// `size` bytes that differ from file to file (`seed`) and from offset to offset.
inline std::string Content(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned value = seed * 2654435761u + 1;
  for (char& byte : bytes) {
    value = value * 1103515245u + 12345u;
    byte = static_cast<char>(value >> 16);
  }
  return bytes;
}

class Library {
 public:
  explicit Library(int userKeyLength = 16) {
    work_ = scratch_ / "work";
    root_ = scratch_ / "lib";
    const std::string locks = scratch_ / "locks";
    for (const std::string& folder : {work_, root_, locks}) EXPECT_TRUE(platform::fs::CreateFolder(folder));
    scratch_.Put("work/" + std::string(CWexmoorDoc::kRootPathFileName), "\"" + root_ + "\",\"\",0");
    document_ = std::make_unique<CWexmoorDoc>(CWexmoorDoc::Setup{work_, locks, CertificateBuiltInKey()});
    CWexmoorDoc::SetDocument(document_.get());
    started_ = document_->OnNewDocument();
    EXPECT_TRUE(started_);

    UserAccount account;
    account.SetId(kUserId);
    account.SetName("ann");
    account.SetKeyLength(userKeyLength);
    account.SetKeyText(UserAccount::RandomKeyText(userKeyLength));
    document_->GetSettings().AddUser(account);

    const ServerSettings& settings = document_->GetSettings();
    peerCodec_.Add(settings.GetDefaultKeyLength(), settings.GetDefaultKey(), 1);
    peerCodec_.Add(userKeyLength, account.GetKeyText(), 1);
  }

  CWexmoorDoc& Document() { return *document_; }
  CWexmoorApp& App() { return app_; }
  const Codec& PeerCodec() const { return peerCodec_; }
  const std::string& Root() const { return root_; }
  const std::string& Work() const { return work_; }
  std::string TemporaryFolder() const { return root_ + "/TemporaryFiles"; }
  std::string Put(const std::string& name, const std::string& content) { return scratch_.Put(name, content); }
  std::string ScratchPath(const std::string& name) const { return scratch_ / name; }

  // Names in the temporary-file folder.
  std::vector<std::string> TemporaryFiles() const {
    std::vector<platform::fs::FolderEntry> entries;
    platform::fs::ListFolder(TemporaryFolder(), entries);
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.name);
    return names;
  }

  // A message as the client puts it on the wire: header with key 0 before logon
  // (else the user's key), body with the user's key.
  std::string Frame(std::uint32_t id, const std::string& body, bool preLogon, std::uint32_t stamp = 0,
                    std::uint32_t announcedLength = UINT32_MAX) const {
    Msg message;
    UserIdentity identity;
    identity.SetUserId(kUserId);
    message.SetUserIdentity(identity);
    message.SetMessageId(id);
    message.SetOriginalStamp(stamp);
    message.SetBody(body);
    unsigned char header[Msg::kHeaderSize];
    message.WriteHeader(header);
    if (announcedLength != UINT32_MAX) {
      for (int i = 0; i < 4; ++i) header[48 + i] = static_cast<unsigned char>(announcedLength >> (8 * i));
    }
    peerCodec_.Encode(preLogon ? kPeerKey0 : kPeerUserKey, sizeof header, header);
    return std::string(reinterpret_cast<char*>(header), sizeof header) + Scramble(body);
  }
  // Bytes XORed with the user's key from their first byte.
  std::string Scramble(std::string bytes) const {
    peerCodec_.Encode(kPeerUserKey, static_cast<std::int64_t>(bytes.size()), bytes.data());
    return bytes;
  }
  // Reads a 52-byte header sent by the server (user's key).
  Msg DecodeHeader(std::string bytes) const {
    peerCodec_.Decode(kPeerUserKey, static_cast<std::int64_t>(bytes.size()), bytes.data());
    Msg message;
    message.ReadHeader(reinterpret_cast<const unsigned char*>(bytes.data()));
    return message;
  }

 private:
  platform::ScratchFolder scratch_;
  std::string work_;
  std::string root_;
  std::unique_ptr<CWexmoorDoc> document_;
  bool started_ = false;
  Codec peerCodec_;
  CWexmoorApp app_;
};

// A client end on loopback; by default with its own listening socket, whose
// connection an engine under test accepts.
struct Loopback {
  Loopback() : listening(platform::Socket::Listen(0, 5, "127.0.0.1")) {
    peer = platform::Socket::Connect("127.0.0.1", listening.LocalPort());
  }
  // A client of some other server.
  explicit Loopback(platform::Socket connected) : peer(std::move(connected)) {}
  // The server's end of the connection, accepted within a bound; not open when none came.
  platform::Socket Accepted() {
    platform::Socket accepted;
    if (listening.WaitReadable(10000)) listening.Accept(accepted);
    return accepted;
  }
  // Sends everything (bounded); false when the socket fails.
  bool Send(const std::string& bytes) {
    std::size_t sent = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (sent < bytes.size() && std::chrono::steady_clock::now() < deadline) {
      const platform::IoResult result = peer.Send(bytes.data() + sent, bytes.size() - sent);
      if (result.status == platform::IoStatus::Failed || result.status == platform::IoStatus::Closed) return false;
      if (result.status == platform::IoStatus::Ok) sent += result.bytes;
      if (sent < bytes.size()) peer.WaitWritable(100);
    }
    return sent == bytes.size();
  }
  // Receives exactly n bytes within the bound; fewer when the peer closes first.
  std::string Receive(std::size_t n, std::chrono::milliseconds bound = std::chrono::milliseconds(10000)) {
    std::string bytes(n, '\0');
    std::size_t got = 0;
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (got < n && std::chrono::steady_clock::now() < deadline) {
      peer.WaitReadable(50);
      const platform::IoResult result = peer.Receive(bytes.data() + got, n - got);
      if (result.status == platform::IoStatus::Closed || result.status == platform::IoStatus::Failed) break;
      if (result.status == platform::IoStatus::Ok) got += result.bytes;
    }
    bytes.resize(got);
    return bytes;
  }
  // True when the server closes the connection within the bound (bytes before the
  // close are dropped).
  bool ClosedByServer(std::chrono::milliseconds bound = std::chrono::milliseconds(10000)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
      peer.WaitReadable(50);
      const platform::IoResult result = peer.Receive(buffer, sizeof buffer);
      if (result.status == platform::IoStatus::Closed || result.status == platform::IoStatus::Failed) return true;
    }
    return false;
  }

  platform::Socket listening;
  platform::Socket peer;
};

}  // namespace enginetest
