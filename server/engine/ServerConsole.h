#pragma once
// The server's console without a window: the fixed status lines, the up-time and
// active-user texts and the names of logged-on and locked-out users (refreshed by
// Tick), the list of connection engines with their connection threads, the active
// connection count, and the listener's thread and state. Ended connections are
// joined and deleted while the server runs; Shutdown stops the listener, stops
// every engine, joins every thread and deletes every engine.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/DateTime.h"
#include "platform/Socket.h"
#include "server/engine/TlsListener.h"

class CWexmoorApp;
class CWexmoorDoc;
class RTE;

class ServerConsole {
 public:
  // WaitingForPort: the port is in use and the listener tries it again from time to time.
  enum class ListenerState { NotStarted, Starting, Listening, WaitingForPort, Failed, Ended };

  ServerConsole(CWexmoorApp& app, CWexmoorDoc& document);
  // Shuts down when still running.
  ~ServerConsole();
  ServerConsole(const ServerConsole&) = delete;
  ServerConsole& operator=(const ServerConsole&) = delete;

  // Starts the listener thread, records the start time and fills the status lines
  // and texts. Does not wait for the listener.
  void Start();
  // The 2-second refresh: up time, user lines, active-user text; also joins and
  // deletes the engines of ended connections.
  void Tick();
  // Stops the listener and every engine, joins their threads and deletes the engines.
  void Shutdown();

  // Waits until the listener has left the Starting state (at most `bound`).
  ListenerState WaitForListener(std::chrono::milliseconds bound) const;
  ListenerState GetListenerState() const;
  // Why the listener does not run (port and reason); empty while it listens.
  std::string GetListenerFailure() const;

  std::vector<std::string> GetStatusLines() const;
  // The port Start gave the listener; the settings' port may have changed since.
  int GetListeningPort() const;
  std::string GetUpTimeText() const;
  std::string GetActiveUserText() const;
  std::vector<std::string> GetUserLines() const;
  // The account names of the logged-on connections that have not ended, read now.
  std::vector<std::string> GetLoggedOnUserNames() const;
  int GetActiveUserCount() const;
  // Engines in the list (running ones plus ended ones not yet deleted).
  std::size_t GetListedEngineCount() const;
  // Connection threads that have not ended.
  int GetLiveConnectionThreadCount() const;
  // Connections not logged on (nor asked to stop).
  int GetStrangerCount() const;
  // Stops a connection not logged on to make room: the one whose begun message
  // has stalled longest, for `stalled` at least, else the one quiet longest, for
  // `quiet` at least; false when none has.
  bool StopNoisiestStranger(std::chrono::milliseconds stalled, std::chrono::milliseconds quiet);

  // "Up Time is %d week(s), %d day(s), %d hour(s), %d minute(s)".
  static std::string FormatUpTime(unsigned minutes);

  // --- for the listener and the connection threads ---
  CWexmoorApp& GetApp() { return app_; }
  CWexmoorDoc& GetDocument() { return document_; }
  TlsListener& GetTlsListener() { return tlsListener_; }
  const std::atomic<bool>& ListenerStopFlag() const { return listenerStop_; }
  bool IsServerClosed() const { return serverClosed_; }
  void ChangeActiveUserCount(int delta);
  // Lists the engine of connection `number`; false when it cannot be listed.
  bool AddEngine(std::int32_t number, std::unique_ptr<RTE> engine);
  void AddConnectionThread(std::int32_t number, std::thread thread);
  // Deletes the listed engine of a connection whose thread could not be started.
  void DropUnstartedConnection(std::int32_t number);
  // The connection thread's last call: after it the thread touches nothing.
  void ConnectionEnded(std::int32_t number);
  // Joins the threads of ended connections and deletes their engines.
  void ReapEndedConnections();
  // The listener's reports. While a socket is registered, Shutdown shuts it so
  // that a waiting accept returns at once.
  void ReportListening(platform::Socket* listening);
  void ReportListenerFailure(const std::string& text);
  // The port is in use: a status line, and the state says the listener waits for it.
  void ReportPortBusy(const std::string& text);
  void ReportListenerEnded();
  void AddStatusLine(const std::string& line);
  // Waits up to `bound` unless a stop is asked for; false when stopping.
  bool PauseUnlessStopping(std::chrono::milliseconds bound);

 private:
  struct Connection {
    std::unique_ptr<RTE> engine;
    std::thread thread;
    bool ended = false;
  };
  using ConnectionMap = std::map<std::int32_t, Connection>;

  std::vector<ConnectionMap::node_type> TakeConnections(bool endedOnly);
  static void Finish(std::vector<ConnectionMap::node_type>& taken);

  CWexmoorApp& app_;
  CWexmoorDoc& document_;
  TlsListener tlsListener_;   // outlives the engines, which read whether plain logons are refused

  // The engine list and the active count live under the document's queue section.
  ConnectionMap connections_;
  int activeUserCount_ = 0;

  mutable std::mutex listenerMutex_;
  mutable std::condition_variable listenerChanged_;
  ListenerState listenerState_ = ListenerState::NotStarted;
  std::string listenerFailure_;
  platform::Socket* listeningSocket_ = nullptr;
  std::thread listener_;
  std::atomic<bool> listenerStop_{false};
  std::atomic<bool> serverClosed_{false};
  bool shutDown_ = false;

  mutable std::mutex textMutex_;
  DateTime startTime_;
  std::vector<std::string> statusLines_;
  int listeningPort_ = 0;
  std::string upTimeText_;
  std::string activeUserText_;
  std::vector<std::string> userLines_;
};
