#pragma once
// The TLS side of the listener, shared by the listener thread and the
// administration so that a change of the library's TLS settings serves at once:
// the listener thread owns the listening socket and the context new handshakes
// use; a change opens what it needs (the context from the root's key files, the
// new port) before it saves anything and hands them over, to be taken at the
// listener's next turn. Whether plain logons are refused is read at each logon.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Socket.h"
#include "server/store/TlsSettings.h"

namespace platform {
class TlsContext;
}

class TlsListener {
 public:
  // What the listener thread serves TLS with: both empty while TLS is not served.
  struct Serving {
    platform::Socket socket;
    std::shared_ptr<const platform::TlsContext> context;
  };

  // Listener thread, before its first turn: what the settings in `rootPath` serve
  // for a library listening on `libraryPort`. `report` gets the console line on
  // what is served, or on what stops TLS from being served. Settings that cannot
  // be read serve nothing and refuse plain logons still.
  Serving Start(const std::string& rootPath, int libraryPort, const std::function<void(const std::string&)>& report);
  // Listener thread, each turn: takes the change made since, if any, into `serving`
  // (the socket replaced is closed).
  void TakeChange(Serving& serving);
  // Listener thread, at its end: changes are saved only, from now on.
  void Stop();

  // The administration: serves `settings` at once when the listener runs. Opens
  // the context and, when the TLS port changes, listens on the new port first,
  // then calls `save`; when any of them fails nothing changes. Empty when done,
  // else why not. `applied` tells whether a running listener took the change
  // (waiting for its next turn, within a bound).
  std::string Change(const TlsSettings& settings, const std::string& rootPath, const std::function<bool()>& save,
                     bool& applied);

  // True while a plain logon must be refused.
  const std::atomic<bool>& PlainRefused() const { return plainRefused_; }

 private:
  struct Handover {
    Serving serving;
    bool keepSocket = false;   // the listener's socket already listens on the port
    int port = 0;
  };

  // What `settings` serve; why not in `error` (nothing is opened then).
  std::optional<Handover> Open(const TlsSettings& settings, const std::string& rootPath, std::string& error) const;

  std::mutex mutex_;
  std::condition_variable taken_;   // the listener took the handover, or stopped
  bool running_ = false;
  int libraryPort_ = 0;
  int heldPort_ = 0;   // the port of the listener thread's socket; 0: none
  std::optional<Handover> pending_;   // at most one, taken before the next change opens anything
  std::atomic<bool> plainRefused_{false};
};
