#pragma once
// The client's link under test and a raw peer that plays its server byte by byte on
// 127.0.0.1: the link's own tests and the fuzz target of what servers send use both.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "client/link/IPConnection.h"
#include "client/link/SocketTransfer.h"
#include "client/records/LibraryEntry.h"
#include "common/Codec.h"
#include "common/MessageIds.h"
#include "platform/ScratchFolder.h"
#include "platform/Socket.h"
#include "platform/Transport.h"
#include "testsupport/TestClient.h"

namespace link_test {

using Clock = std::chrono::steady_clock;
using Outcome = SocketTransfer::Outcome;

constexpr auto kBound = std::chrono::seconds(20);

template <class Condition>
bool WaitUntil(Condition done, Clock::duration bound = kBound) {
  const Clock::time_point deadline = Clock::now() + bound;
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

inline Msg Request(MessageId id, const std::string& body) {
  Msg message;
  message.SetMessageId(id);
  message.SetBody(body);
  return message;
}

inline std::string BodyOf(const Msg& message) { return std::string(message.GetBody(), message.GetBodyLength()); }

// An IPConnection driven by its own connection thread, with what its hooks saw.
class Link {
 public:
  explicit Link(int retryLimit = IPConnection::kMaxSocketErrorCount)
      : connection(IPConnection::Hooks{
                       [this](const std::string& library, int user, const std::string& code) {
                         std::lock_guard lock(mutex_);
                         codes_.push_back(library + "/" + std::to_string(user) + "/" + code);
                       },
                       [this](std::vector<Msg> requests) {
                         std::lock_guard lock(mutex_);
                         for (Msg& request : requests) abandoned_.push_back(std::move(request));
                       },
                       [this] { return temporary_ / ("TemporaryFile_" + std::to_string(++named_) + ".wxf"); },
                       [this] { ++restored_; }},
                   retryLimit) {}
  ~Link() { StopAndJoin(); }

  bool Start(const LibraryConnection& account, const LibraryEntry& entry) {
    if (!connection.SetConnection(account, &entry)) return false;
    thread_ = std::thread([this] {
      loggedOn_ = connection.Connect();
      ended_ = true;
    });
    return true;
  }
  bool WaitLoggedOn() { return WaitUntil([this] { return connection.IsLoggedOn(); }); }
  bool Ended() const { return ended_; }
  bool WaitEnded(Clock::duration bound = kBound) {
    if (!WaitUntil([this] { return ended_.load(); }, bound)) return false;
    thread_.join();
    return true;
  }
  // Asks to stop and joins the connection thread; how long that took.
  Clock::duration StopAndJoin() {
    const Clock::time_point start = Clock::now();
    connection.RequestStop();
    if (thread_.joinable()) thread_.join();
    return Clock::now() - start;
  }

  // Queues `request` (which gets its stamp) and waits for the reply carrying it.
  std::optional<Msg> Ask(Msg& request) {
    if (connection.SendMessage(request) != IPConnection::kDone) return std::nullopt;
    return WaitMessage([&](const Msg& m) { return m.GetOriginalStamp() == request.GetOriginalStamp(); });
  }
  template <class Match>
  std::optional<Msg> WaitMessage(Match match) {
    Msg message;
    bool found = false;
    WaitUntil([&] {
      while (!found && connection.ReceiveMessage(message) == IPConnection::kDone) found = match(message);
      return found;
    });
    return found ? std::optional<Msg>(message) : std::nullopt;
  }

  int Restored() const { return restored_; }
  std::vector<std::string> Codes() {
    std::lock_guard lock(mutex_);
    return codes_;
  }
  std::vector<Msg> Abandoned() {
    std::lock_guard lock(mutex_);
    return abandoned_;
  }
  bool LoggedOnAtEnd() const { return loggedOn_; }
  const std::string& TemporaryFolder() const { return temporary_.Path(); }
  // Bytes in the link's temporary files so far.
  std::uintmax_t TemporaryBytes() const {
    std::uintmax_t bytes = 0;
    for (const auto& file : std::filesystem::directory_iterator(temporary_.Path())) bytes += file.file_size();
    return bytes;
  }

 private:
  platform::ScratchFolder temporary_;
  std::atomic<int> named_{0};
  std::atomic<int> restored_{0};
  std::mutex mutex_;
  std::vector<std::string> codes_;
  std::vector<Msg> abandoned_;
  std::atomic<bool> ended_{false};
  std::atomic<bool> loggedOn_{false};
  std::thread thread_;

 public:
  // Last: its threads end before the state its hooks write to goes.
  IPConnection connection;
};

// Plays the server byte by byte: takes the link's connection and logon, then sends
// whatever frames a test wants.
class RawPeer {
 public:
  static constexpr const char* kLibraryKey = "00112233445566778899AABBCCDDEEFF";
  static constexpr const char* kUserKey = "F0E1D2C3B4A5968778695A4B3C2D1E0F";

  explicit RawPeer(std::string userKey = kUserKey)
      : listener_(platform::Socket::Listen(0, 4, "127.0.0.1")), userKey_(std::move(userKey)) {
    codec_.Add(16, kLibraryKey, 1);
    codec_.Add(UserKeyLength(), userKey_, 1);
  }

  LibraryConnection Account() const {
    LibraryConnection account;
    account.SetName("Raw");
    account.SetHost("127.0.0.1");
    account.SetPort(listener_.LocalPort());
    account.SetUserNumber(7);
    account.SetUserText("ann");
    account.SetSecondLogonText("secret");
    account.SetLogonCode("CODE1");
    account.SetKeyText(userKey_);
    account.SetKeyLength(UserKeyLength());
    return account;
  }
  LibraryEntry Entry() const { return LibraryEntry("Raw", kLibraryKey, 16); }

  bool HasNewConnection(int waitMs) const { return listener_.WaitReadable(waitMs); }
  // Takes the next connection within `waitMs`. A wait a signal cut short, or a
  // connection that died while queued, is waited through.
  bool Accept(int waitMs = 10000) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    do {
      platform::Socket accepted;
      if (listener_.WaitReadable(10) && listener_.Accept(accepted) == platform::IoStatus::Ok) {
        peer_ = platform::Transport(std::move(accepted));
        return true;
      }
    } while (Clock::now() < deadline);
    return false;
  }

  std::optional<Msg> Read(int headerKey) {
    unsigned char header[Msg::kHeaderSize];
    if (Transfer().Read(reinterpret_cast<char*>(header), sizeof header) != Outcome::Done) return std::nullopt;
    codec_.Decode(headerKey, sizeof header, header);
    Msg message;
    const std::uint32_t length = message.ReadHeader(header);
    if (!message.SetBodyLength(length) || Transfer().Read(message.GetBody(), length) != Outcome::Done) {
      return std::nullopt;
    }
    codec_.Decode(1, length, message.GetBody());
    return message;
  }

  // Sends a header announcing `length` (the body's own length when none), the
  // body and then each file.
  bool Write(MessageId id, const std::string& body, const std::vector<std::string>& files = {},
             std::optional<std::uint32_t> length = std::nullopt, std::uint32_t stamp = 0) {
    Msg message = Request(id, body);
    UserIdentity identity;
    identity.SetUserId(7);
    message.SetUserIdentity(identity);
    message.SetOriginalStamp(stamp);
    std::string header(Msg::kHeaderSize, '\0');
    message.WriteHeader(reinterpret_cast<unsigned char*>(header.data()));
    if (length) TestClient::AnnounceLength(header, *length);
    std::vector<std::string> parts{header, body};
    parts.insert(parts.end(), files.begin(), files.end());
    return WriteParts(parts);
  }
  // Sends the parts in one go, each scrambled from its own first byte as the link
  // reads a header, a body or a file.
  bool WriteParts(const std::vector<std::string>& parts) {
    std::string wire;
    for (std::string part : parts) {
      codec_.Encode(1, static_cast<std::int64_t>(part.size()), part.data());
      wire += part;
    }
    return Transfer().Write(wire.data(), wire.size()) == Outcome::Done;
  }

  // `file` scrambled from its own first byte as it goes on the wire, and those
  // bytes sent as they are: a file can then go out in several writes.
  std::string Scrambled(std::string file) {
    codec_.Encode(1, static_cast<std::int64_t>(file.size()), file.data());
    return file;
  }
  bool WriteRaw(const std::string& wire) { return Transfer().Write(wire.data(), wire.size()) == Outcome::Done; }

  // Accepts the link, reads its 5003 and accepts the logon with `accepted` as body.
  bool LogOn(const std::string& accepted = "CODE2") {
    if (!Accept()) return false;
    const std::optional<Msg> logon = Read(0);
    logonBody = logon ? BodyOf(*logon) : "";
    logonSecondTime = logon ? std::string(logon->GetSecondTime()) : "";
    return logon && logon->GetMessageId() == MSGID_LOGON && Write(MSGID_LOGON_ACCEPTED, accepted);
  }
  // `size` bytes that follow a message, unscrambled from their own first byte.
  std::optional<std::string> ReadFile(std::size_t size) {
    std::string bytes(size, '\0');
    if (Transfer().Read(bytes.data(), size) != Outcome::Done) return std::nullopt;
    codec_.Decode(1, static_cast<std::int64_t>(size), bytes.data());
    return bytes;
  }
  void Hang() { peer_.Close(); }
  bool ClosedWithoutSending() {
    char byte = 0;
    return Transfer().Read(&byte, 1) == Outcome::Closed;
  }

  std::string logonBody;
  std::string logonSecondTime;

 private:
  SocketTransfer Transfer() { return SocketTransfer(peer_, never_, 1000); }
  int UserKeyLength() const { return static_cast<int>(userKey_.size() / 2); }

  std::atomic<bool> never_{false};
  platform::Socket listener_;
  std::string userKey_;
  platform::Transport peer_;
  Codec codec_;
};

}  // namespace link_test
