#pragma once
// The server application: the counters the connection threads share (connection
// threads alive, the number of the next connection), the application's key list
// (settings key 0, certificate key 1), the handler that requests are passed to,
// and the order of start-up and exit: document start-up, then the console; at
// exit the console's shutdown, the document's save, then the wait for threads.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "common/Codec.h"
#include "common/Msg.h"

class CWexmoorDoc;
class RTE;
class ServerConsole;

class CWexmoorApp {
 public:
  // Receives every request an engine takes from its inbound queue (5002 aside);
  // true keeps the connection, false ends it.
  using MessageHandler = std::function<bool(RTE& engine, const Msg& request)>;

  struct StartOptions {
    std::string workingFolder;  // holds "WexmoorRootPath.wxf"; empty: the process's
    std::string lockFolder;     // instance-guard lock files; empty: the platform's default
    std::string rootPath;       // library root used only when the root-path file is missing or empty
  };

  // How long the exit waits for connection threads at most (10000 x 5 ms).
  static constexpr std::chrono::milliseconds kThreadWaitBound{50000};

  CWexmoorApp();
  // Runs ExitInstance when the application is still running.
  ~CWexmoorApp();
  CWexmoorApp(const CWexmoorApp&) = delete;
  CWexmoorApp& operator=(const CWexmoorApp&) = delete;

  // Start-up: counters, the two built-in keys, the document and its start-up, then
  // the console. False (nothing left running) when the document refuses to start.
  bool InitInstance(const StartOptions& options);
  // Exit: console shutdown, document save, wait for the connection threads.
  void ExitInstance();
  // Gives a new installation the root it was started with: writes the root-path
  // file of `workingFolder` only when it is missing or empty.
  static void SeedRootPathFile(const std::string& workingFolder, const std::string& rootPath);

  // The server document, or null when none is set.
  static CWexmoorDoc* GetDocument();
  ServerConsole* GetConsole() { return console_.get(); }
  Codec& GetCodec() { return codec_; }

  // What runs beside the console while the server runs (the administration
  // socket): made once the console has started, dropped before it shuts down.
  using Companion = std::shared_ptr<void>;
  using CompanionStarter = std::function<Companion(CWexmoorApp& app)>;
  void SetCompanionStarter(CompanionStarter starter) { companionStarter_ = std::move(starter); }

  // Install before the console starts; engines call it from their threads.
  void SetMessageHandler(MessageHandler handler) { handler_ = std::move(handler); }
  const MessageHandler& GetMessageHandler() const { return handler_; }

  void IncrementThreadCount();
  void DecrementThreadCount();
  int GetThreadCount() const;
  // Waits until no connection thread is counted; false after `bound`.
  bool WaitForThreadCount(int count, std::chrono::milliseconds bound) const;
  // The number for the next accepted connection (1, 2, ...).
  std::int32_t TakeConnectionNumber();

 private:
  mutable std::mutex countMutex_;
  mutable std::condition_variable countChanged_;
  int threadCount_ = 0;
  std::int32_t connectionNumber_ = 1;

  Codec codec_;
  MessageHandler handler_;
  std::unique_ptr<CWexmoorDoc> document_;
  std::unique_ptr<ServerConsole> console_;
  CompanionStarter companionStarter_;
  Companion companion_;
};
