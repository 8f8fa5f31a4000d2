#pragma once
// The administration socket of a running server: a Unix-domain socket in its working
// folder (made 0600; refused in a folder others may write) on which "wexmoor admin"
// hands in one command at a time. Only the user the server runs as may use it:
// every connection's peer credentials are checked and anyone else is refused with a
// line saying so. The command runs on the
// live document through LibraryAdministrator, under the same locks as the windows'
// dialogs. One thread serves the socket, and a backup runs on one of its own, so the
// commands after it are answered meanwhile; stopping wakes the one, waits for the
// backup to end, joins both and removes the socket file. A socket file left by a server that was killed is replaced at start.
#include <sys/types.h>

#include <atomic>
#include <string>
#include <thread>

#include "server/admin/AdminWire.h"
#include "server/engine/CWexmoorApp.h"

class AdminTrust;
class CWexmoorDoc;
class ServerConsole;

class AdminChannel {
 public:
  // Commands run on `document`; `console` tells who is connected and records each change.
  AdminChannel(CWexmoorDoc& document, ServerConsole& console);
  ~AdminChannel();
  AdminChannel(const AdminChannel&) = delete;
  AdminChannel& operator=(const AdminChannel&) = delete;

  // Listens in `workingFolder` and starts the thread: empty when it listens,
  // otherwise why not (nothing is left running or on disk then).
  std::string Start(const std::string& workingFolder);

 private:
  void Serve();
  // Answers the command on `connection`; true when a thread of its own took the
  // connection over (and closes it), false when the caller closes it.
  bool Answer(int connection);
  // Runs the command for the peer of user id `peer`.
  AdminWire::Reply Run(const AdminWire::Request& request, uid_t peer);
  void Close();

  CWexmoorDoc& document_;
  ServerConsole& console_;
  std::string path_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::thread backup_;  // the backup being made, if any
  std::atomic<bool> backupRunning_{false};
};

// The companion that gives a running server (`app`, started) its administration
// socket; one that cannot be made is said on the console and the server serves on.
CWexmoorApp::Companion StartAdminChannel(CWexmoorApp& app);

// What "wexmoor admin" does first: hands the request to the server running in
// `workingFolder`. NoServer when none listens there (no socket, or one that nobody
// answers on, left by a server that was killed); Failed, with why, when the socket
// or the program listening on it is not one `trust` trusts (nothing is sent then),
// or the request did not get through or no whole reply came back.
enum class AdminReach { Answered, NoServer, Failed };
AdminReach AskRunningServer(const std::string& workingFolder, const AdminTrust& trust,
                            const AdminWire::Request& request, AdminWire::Reply& reply, std::string& error);
