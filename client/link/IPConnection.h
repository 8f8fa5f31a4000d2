#pragma once
// The client's link to one library server: one TCP socket (TLS, to the pinned
// server certificate only, when the library's entry pins one), a send thread and a
// receive thread, three message lists (outbound, inbound, awaiting a reply), the
// library key (key 0, logon header only) and the user's key (key 1, everything
// else), the logon, logoff, supervision, reconnect and close logic. The owner's
// connection thread runs Connect for the life of the link; any thread may queue,
// take, log off or ask the link to stop.
#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "client/link/Connection.h"
#include "client/link/LinkEnd.h"
#include "client/link/TransferProgress.h"
#include "client/records/LibraryConnection.h"
#include "common/Codec.h"
#include "common/UserIdentity.h"
#include "platform/Socket.h"
#include "platform/Transport.h"

struct FileRequestBody;
class SocketTransfer;
namespace platform {
class TlsContext;
}

class IPConnection : public Connection {
 public:
  // Results of the operations.
  static constexpr int kDone = 0;
  static constexpr int kNotLoggedOn = 50001;
  static constexpr int kNotConnected = 50002;
  static constexpr int kNothingToDo = 50003;
  static constexpr int kNotServed = 50004;
  static constexpr int kWriteFailed = 50004;
  static constexpr int kReceiveFailed = 50006;
  // Logon states.
  static constexpr int kLogonConnected = 50005;
  static constexpr int kLoggedOff = 50007;
  static constexpr int kLogonSent = 50011;
  static constexpr int kLoggedOn = 50012;
  static constexpr int kLogonRefused = 50014;
  // Link states.
  static constexpr int kLinkDrained = 50009;
  static constexpr int kLinkConnected = 50010;
  static constexpr int kLinkConnectFailed = 50013;
  // Socket states.
  static constexpr int kSocketConnected = 1;
  static constexpr int kSocketConnecting = 2;
  static constexpr int kSocketClosed = 3;
  static constexpr int kSocketError = 4;

  // Consecutive waits without progress (10 ms each) before a transfer gives up.
  static constexpr int kMaxSocketErrorCount = 12000;

  // What the owner supplies. Every hook may run on the link's own threads.
  struct Hooks {
    // A logon was accepted with a new code for the account (library name and user
    // number name it); the owner keeps it for the next logon of the account.
    std::function<void(const std::string& libraryName, int userNumber, const std::string& code)> logonCodeChanged;
    // Requests written but unanswered when the link broke, and extension requests
    // a server reached again no longer announces; they are never resent.
    std::function<void(std::vector<Msg> requests)> requestsAbandoned;
    // A new temporary file path for a received file; empty refuses the file.
    std::function<std::string()> temporaryFileName;
    // A lost link was reconnected and logged on again.
    std::function<void()> linkRestored;
  };

  explicit IPConnection(Hooks hooks, int retryLimit = kMaxSocketErrorCount);
  // Stops and joins the link's threads. The owner's connection thread must have
  // left Connect (RequestStop makes it leave promptly).
  // Deletes the received files of replies nobody took.
  ~IPConnection() override;
  IPConnection(const IPConnection&) = delete;
  IPConnection& operator=(const IPConnection&) = delete;

  // Takes the account and the library's entry; call before Connect. False, with
  // nothing to send and the previous settings kept, when there is no entry, its
  // name differs from the account's library, either key is not 2 * length hex
  // digits (length 1-60000), the server's address does not resolve or a pinned
  // entry's TLS port is outside 1-65535.
  bool SetConnection(const LibraryConnection& connection, const LibraryEntry* entry) override;
  // The codec of the account's keys (library key 0, user key 1); none when
  // SetConnection would refuse the keys or the entry.
  static std::optional<Codec> MakeCodec(const LibraryConnection& connection, const LibraryEntry* entry);

  // Queues a copy of `message` with the link's identity and the next stamp, which
  // is also written into `message`. kNotLoggedOn before the logon (only 5003 may
  // go then) and after a logoff; kNotConnected while closing or closed;
  // kNotServed for an extension request the server did not announce.
  int SendMessage(Msg& message) override;
  // Takes the oldest received message; kNothingToDo when none waits. A reply
  // with files (5022, 5024) names each received file's temporary path in its
  // row (FileReplyBody); the owner moves or deletes those files.
  int ReceiveMessage(Msg& message) override;

  // The connection thread's run: connect, log on, supervise (repairing a lost link
  // by reconnecting with the current logon code), close. Returns after the link
  // closed: true when it had been logged on, false when it never got that far
  // (no keys, no server, refused).
  bool Connect() override;
  // Queues the logoff (5008); true at once when already logged off.
  bool Logoff() override;
  // Joins the link's threads and closes the socket; true. Connect calls it when
  // the link is over; the owner may call it after Connect returned.
  bool Close() override;
  WireCapabilities GetServerCapabilities() const override;

  // Ends every wait of the link within about 20 ms: Connect then closes and
  // returns. Final: no reconnect follows and Connect cannot run again.
  void RequestStop();

  bool IsLoggedOn() const { return logonState_ == kLoggedOn; }
  int GetSocketState() const { return socketState_; }
  int GetLinkState() const { return linkState_; }
  int GetLogonState() const { return logonState_; }

  // Why the link ended or never came up: the first cause seen since the last logon
  // (kNone while up, and when the owner ended it). A lost link that could not be
  // restored keeps its cause; GetReconnectEnd says why the new link failed.
  LinkEnd GetEnd() const { return end_; }
  LinkEnd GetReconnectEnd() const { return reconnectEnd_; }
  // The system's error number of the last failed connection attempt; 0 when none.
  int GetConnectError() const { return connectError_; }
  // The text of the last refusal of a logon; empty when the server sent none.
  std::string GetRefusalText() const;
  // The fingerprint the library's entry pins (empty: plain) and the one the server
  // presented when it was refused (LinkEnd::kServerNotTrusted).
  std::string GetExpectedFingerprint() const;
  std::string GetPresentedFingerprint() const;
  // A logon of this link was accepted at least once.
  bool WasLoggedOn() const { return wasLoggedOn_; }
  // The bytes of the file being received so far and its size; any thread may ask.
  TransferProgress::Counts GetFileProgress() const { return fileProgress_.Get(); }

 private:
  enum Side { kNoSide = 0, kSendSide = 1, kReceiveSide = 2 };
  static constexpr int kLibraryKey = 0;
  static constexpr int kUserKey = 1;

  // Opens the socket; false with the cause when it could not (kNone when stopped).
  bool OpenSocket(LinkEnd& cause);
  // The TLS handshake over `opened` and the check of the server's certificate;
  // false with the cause when either failed.
  bool ShakeHands(platform::Socket opened, LinkEnd& cause);
  // Keeps the first cause of the link's end; none while stopping.
  void NoteEnd(LinkEnd cause);
  // The cause of a logon that did not end logged on by `deadline`.
  LinkEnd LogonEnd(std::chrono::steady_clock::time_point deadline) const;
  bool Logon();
  bool Supervise();
  bool Reconnect();
  void HandBackAwaited();

  bool StartThread(std::thread& thread, std::atomic<bool>& stop, std::atomic<bool>& ended, void (IPConnection::*run)());
  void StopThreads();
  void SendThreadRun();
  void ReceiveThreadRun();
  void ThreadEnded(Side side, int result);
  // Socket state 4, remembering which side saw the link fail first.
  void MarkBroken(Side side);
  // Waits up to `ms` or until a stop is requested; false when stopping.
  bool Pause(int ms);

  int WriteNextMessage();
  bool SendFiles(SocketTransfer& transfer, const FileRequestBody& files);
  bool SendFile(SocketTransfer& transfer, const std::string& path, std::int64_t size);
  int ReadNextMessage();
  // kNone when every file arrived; else the cause, with the files made so far deleted.
  LinkEnd ReceiveFiles(SocketTransfer& transfer, Msg& message);
  LinkEnd ReceiveFile(SocketTransfer& transfer, const std::string& path, std::int64_t size);
  int TakeLogonReply(const Msg& reply);
  int FileBlockSize() const;

  Hooks hooks_;
  const int retryLimit_;

  sockaddr_in address_{};
  bool keysSet_ = false;
  Codec codec_;
  platform::Transport socket_;
  std::string tlsFingerprint_;   // guarded by mutex_, set before Connect
  std::shared_ptr<const platform::TlsContext> tlsContext_;   // connection thread only

  std::atomic<int> socketState_{kSocketClosed};
  std::atomic<int> linkState_{0};
  std::atomic<int> logonState_{0};
  std::atomic<LinkEnd> end_{LinkEnd::kNone};
  std::atomic<LinkEnd> reconnectEnd_{LinkEnd::kNone};
  std::atomic<int> connectError_{0};
  std::atomic<bool> wasLoggedOn_{false};

  // Guarded by mutex_.
  LibraryConnection connection_;
  UserIdentity identity_;
  std::string refusalText_;
  WireCapabilities serverCapabilities_;
  std::string presentedFingerprint_;
  std::uint32_t stampCounter_ = 0;   // the last stamp given
  std::deque<Msg> outbound_;
  std::deque<Msg> inbound_;
  std::deque<Msg> awaiting_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;   // lists, stop and thread ends changed

  std::atomic<bool> stop_{false};
  std::atomic<bool> sendStop_{true};
  std::atomic<bool> receiveStop_{true};
  std::atomic<bool> sendEnded_{true};
  std::atomic<bool> receiveEnded_{true};
  std::atomic<int> sendResult_{kDone};
  std::atomic<int> receiveResult_{kDone};
  std::atomic<int> brokenBy_{kNoSide};   // the side whose failure broke the socket
  std::atomic<int> writtenCount_{0};
  TransferProgress fileProgress_;
  std::thread sendThread_;
  std::thread receiveThread_;
};
