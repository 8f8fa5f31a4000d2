#pragma once
// One client connection: the socket, the inbound queue (requests for the connection
// thread) and the outbound queue (replies for the writer), the connection's key list
// (key 0 = the library's pre-logon key, then one key per identified user), the
// logged-on state and the user's identity. Three threads work on it: the connection
// thread in Run, which passes requests to the application's handler, and the reader
// and writer threads that Run starts and joins.
//
// Wire: a 52-byte header, then body-length body bytes; behind 5018 / 5026 (inbound)
// and 5022 / 5024 (outbound) the listed files' bytes. Headers, bodies and files are
// each XORed with a key from their own first byte.
//
// What a peer can make the connection hold is bounded: a body's memory grows with
// the bytes that arrive, a begun message and the logon must complete within the
// time bound, and the reader takes nothing more while queued work is at its bound.
// Bodies being received and queued, and queued replies, are charged to the
// server's TransferBudget until handled or sent: the reader waits while it is spent.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>

#include "common/Codec.h"
#include "common/Msg.h"
#include "common/UserIdentity.h"
#include "common/WireCapabilities.h"
#include "platform/Socket.h"
#include "server/engine/EngineSocket.h"
#include "server/engine/TransferBudget.h"

class CWexmoorApp;
struct ReceivedFile;

class RTE {
 public:
  static constexpr std::size_t kMaxSendCall = 60000;   // bytes per socket call, both ways
  static constexpr int kMaxSocketErrorCount = 12000;   // consecutive send retries before giving up
  static constexpr int kIdleWaitMs = 20;               // reader / writer idle bound
  static constexpr int kQueueWaitMs = 10;              // connection thread idle bound
  static constexpr int kRetryWaitMs = 10;              // wait after a would-block
  static constexpr int kFarewellWaitMs = 1500;         // Disconnect's wait for the outbound queue
  // Longest body a peer may announce before logon: room for name, password and code.
  static constexpr std::uint32_t kMaxLogonBodyLength = 4096;
  // A header, and each 64 KiB of a body or file, must arrive within this once
  // begun; a connection must be logged on within it of being accepted.
  static constexpr int kTimeBoundMs = 60000;
  // The reader takes no further request while the requests and replies queued on
  // the connection reach either bound, so a peer that pipelines requests or does
  // not read its replies holds a bounded amount of memory.
  static constexpr std::size_t kMaxPendingMessages = 16;
  static constexpr std::size_t kMaxPendingBytes = 16u * 1024u * 1024u;

  // Adds the library's default key (from the server document) as key 0.
  explicit RTE(CWexmoorApp& app);
  // Ends the connection when it is still connected.
  ~RTE();
  RTE(const RTE&) = delete;
  RTE& operator=(const RTE&) = delete;

  // Takes an accepted stream as the connection.
  void Attach(std::unique_ptr<EngineSocket> socket);

  // The connection's whole life, on the connection thread; returns after the
  // reader and writer have been joined and the socket closed, with IsFinished true.
  void Run();
  // Asks Run to end the connection (a logged-on user gets 5002 first).
  void Stop();
  bool IsFinished() const { return finished_; }
  bool IsConnected() const { return connected_; }
  bool IsLoggedOn() const { return loggedOn_; }
  bool IsStopRequested() const { return stopRequested_; }
  // How long the peer has sent nothing and nothing of it was handled; zero until
  // the reader runs and while one of its requests is queued or being handled.
  std::chrono::milliseconds QuietFor() const;
  // True while the reader waits for the rest of a message the peer has begun.
  bool IsWaitingMidMessage() const { return waitingMidMessage_; }
  UserIdentity GetUserIdentity() const;

  // The logon's last step: the identity becomes the engine's, the user's key is
  // used from now on and the connection counts as logged on. False (nothing
  // changed) when no account has the identity's user number.
  bool CompleteLogon(const UserIdentity& identity);
  // The protocol extensions the peer announced in its accepted logon (connection thread).
  void SetPeerCapabilities(WireCapabilities capabilities) { peerCapabilities_ = capabilities; }
  WireCapabilities GetPeerCapabilities() const { return peerCapabilities_; }

  // Passes a request to the application's handler; with none installed every
  // request ends the connection. False ends the connection.
  bool ProcessMessage(const Msg& request);
  // The message handlers fill to build a reply (connection thread only).
  Msg& GetReplyMessage() { return reply_; }
  // Appends a copy to the outbound queue; always true.
  bool QueueMessage(const Msg& message);
  // Moves the message to the outbound queue with the charge that counted it, made to
  // count exactly its body; always true.
  bool QueueMessage(Msg&& message, TransferBudget::Charge charge);
  // A charge for a reply being built, and the flag that ends its waits for room.
  TransferBudget::Charge NewReplyCharge() { return TransferBudget::Charge(*budget_); }
  const std::atomic<bool>& ReplyStopFlag() const { return writerStop_; }
  // 2 for the first reply of a connection, then 3, 4, ...
  std::int32_t NextReplyNumber();
  // Queues 5002 with an empty body and clears logged on.
  bool Logoff();
  // Ends the connection: farewell when logged on, waits up to 1.5 s for the
  // outbound queue to empty (or the writer to end), stops and joins reader and
  // writer, closes the socket. True when it closed a socket. Connection thread only.
  bool Disconnect();

  // With `generate`: a new name "<root>/TemporaryFiles/Temp<user>_<n>.wxf";
  // otherwise the name made last.
  std::string GetTempFileName(bool generate = true);

  void IncrementThreadCount();
  void DecrementThreadCount();

  // Runs at the start of the reader and writer threads (tests delay it).
  void SetThreadStartHook(std::function<void()> hook) { threadStartHook_ = std::move(hook); }
  // Replaces kTimeBoundMs (tests shorten it).
  void SetTimeBound(std::chrono::milliseconds bound) { timeBoundMs_ = bound.count(); }

  // A plain connection: its logon is refused, with a text that says TLS is
  // needed, while `refused` (which outlives the engine) holds.
  void SetPlainLogonRefusal(const std::atomic<bool>* refused) { plainLogonRefusal_ = refused; }
  bool LogonNeedsTls() const {
    const std::atomic<bool>* refused = plainLogonRefusal_;
    return refused != nullptr && *refused;
  }

  // The budget bodies and replies are charged to (tests give one of their own).
  void SetTransferBudget(TransferBudget& budget) { budget_ = &budget; }

  std::size_t InboundCount() const;
  std::size_t OutboundCount() const;
  // True while the reader waits for queued requests and replies to drain.
  bool IsReadingHeld() const { return readingHeld_; }

 private:
  enum class Transfer { Done, Nothing, Stopped, Failed, Closed, GaveUp, TimedOut };
  // A queued message with the budget its body holds; the message goes first, so
  // the charge's release finds its memory already freed.
  struct Queued {
    TransferBudget::Charge charge;
    std::unique_ptr<Msg> message;
  };

  // Starts reader and writer; false (nothing left running) when a thread cannot be made.
  bool StartThreads();
  void ReaderThread();
  // Waits up to kIdleWaitMs for the queues to fall below their bounds; true when
  // the reader may take the next request.
  bool WaitForRoom();
  bool HasRoomLocked() const;
  void WriterThread();
  bool ReadMessage();
  bool ReceiveFiles(Msg& message, std::uint32_t length, TransferBudget::Charge& charge);
  // A new empty owner-only file under a fresh temporary name, made without
  // following a link or reusing a name; empty, with errno set, when none could be made.
  std::string CreateTemporaryFile();
  // Receives one file in pieces of at most kMaxSendCall, decoding each as it
  // arrives, into a new temporary file named in `file`. A file the disk does not
  // take is read to its end and dropped: its temporary path is left empty and the
  // console is told. False only when the connection failed.
  bool ReceiveFile(ReceivedFile& file);
  void NoteFileNotStored(const std::string& name, int error);
  bool WriteMessage();
  bool SendFile(const std::string& path, std::int32_t expectedSize);
  // The oldest queued request, or one with a null message when none is queued.
  Queued TakeNextMessage();

  // Receives exactly `length` bytes within the message time bound; with
  // `idleIfNothing` a would-block before the first byte gives Nothing.
  Transfer ReceiveAll(char* buffer, std::size_t length, bool idleIfNothing);
  // Receives a body of `length` bytes, its room growing with the bytes that arrive
  // and charged to `charge` before it is taken.
  Transfer ReceiveBody(std::string& body, std::uint32_t length, TransferBudget::Charge& charge);
  // Receives and decodes the body into `message`; false ends the connection.
  bool ReceiveMessageBody(Msg& message, std::uint32_t length, TransferBudget::Charge& charge);
  // Sends `message` with this engine's identity and the send time, encoded a
  // piece at a time.
  bool SendMessage(Msg& message, int keyIndex);
  // Sends all bytes in calls of at most kMaxSendCall.
  Transfer SendAll(const char* data, std::size_t length);

  bool Transform(int keyIndex, void* buffer, std::size_t length) const;
  int AddUserKey(int userId);
  int KeyLength(int keyIndex) const;

  void StopThreads();
  void JoinThreads();
  void CloseSocket();
  void DeleteFilesOfUnhandledRequests();
  void Wake();
  void NoteHeard() { lastHeard_ = std::chrono::steady_clock::now().time_since_epoch().count(); }

  CWexmoorApp& app_;

  mutable std::mutex queueMutex_;
  std::condition_variable inboundReady_;
  std::condition_variable outboundReady_;
  std::condition_variable outboundDrained_;
  std::condition_variable roomReady_;
  std::deque<Queued> inbound_;
  std::deque<Queued> outbound_;
  TransferBudget* budget_ = &TransferBudget::Shared();

  Msg reply_;
  mutable std::mutex identityMutex_;
  UserIdentity identity_;
  WireCapabilities peerCapabilities_;
  std::unique_ptr<EngineSocket> socket_;

  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> loggedOn_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> connected_{false};
  std::atomic<bool> readerFinished_{true};
  std::atomic<bool> writerFinished_{true};
  std::atomic<bool> readerStop_{true};
  std::atomic<bool> readingHeld_{false};
  std::atomic<bool> writerStop_{true};
  std::atomic<bool> handling_{false};
  std::atomic<bool> waitingMidMessage_{false};
  std::atomic<bool> reading_{false};
  std::atomic<const std::atomic<bool>*> plainLogonRefusal_{nullptr};
  std::atomic<std::chrono::steady_clock::rep> lastHeard_{0};
  std::atomic<int> userKeyIndex_{-1};
  std::atomic<std::int32_t> replyCounter_{1};
  std::atomic<std::chrono::milliseconds::rep> timeBoundMs_{kTimeBoundMs};

  std::mutex tempNameMutex_;
  std::string lastTempFileName_;

  // The key list is shared by reader and writer: adding takes it exclusively.
  mutable std::shared_mutex codecLatch_;
  Codec codec_;

  std::function<void()> threadStartHook_;
  std::thread reader_;
  std::thread writer_;
};
