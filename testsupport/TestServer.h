#pragma once
// A whole server for end-to-end tests: a temporary working folder and library root,
// a users file that names a free port written before start-up, the request
// dispatcher installed, users added the way the administration adds them, and an
// orderly stop that waits for every connection. The folders live until destruction,
// so a test can stop the server and start it again on the same library. The server's
// document is the process's one, so one test server runs per process at a time.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ScratchFolder.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/RequestDispatcher.h"
#include "server/store/FileStatistics.h"
#include "server/store/TlsSettings.h"
#include "server/store/UserAccount.h"
#include "testsupport/TestClient.h"

class CWexmoorDoc;

class TestServer {
 public:
  TestServer();
  // Stops the server when it runs.
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  // Starts the server on the library (the first start picks a free port and writes
  // it into a new users file) and waits until it listens. False when the server
  // refused to start or does not listen within 10 s.
  bool Start();
  // The application's exit: console shutdown, document save, wait for threads.
  void Stop();
  bool IsRunning() const { return app_ != nullptr; }
  // For a server the test starts itself on this library: writes the users file
  // with a free port (first use only) and gives the start options; the port is 0
  // when the file could not be written.
  CWexmoorApp::StartOptions PrepareLibrary();

  // Adds a TCP/IP account with a fresh key and logon code through the document;
  // none when the document refused it. Accounts added here are publishers over the
  // whole library (besides their default group), as every account of an earlier library.
  std::optional<UserAccount> AddUser(const std::string& name, const std::string& password, bool lockoutTrap = true);
  // Adds many such accounts (no lock-out trap) with one save of the users file, for
  // tests that need hundreds; empty when an id or the save failed.
  std::vector<UserAccount> AddUsers(const std::vector<std::string>& names, const std::string& password);
  // Writes the account's connection certificate to `path` as the user
  // administration does (a new logon code and key for the account). False when the
  // account is unknown or the certificate was not made or written.
  bool WriteCertificate(int id, const std::string& path) const;
  // A client that speaks as `account` (its number and key, the library's default key).
  std::unique_ptr<TestClient> MakeClient(const UserAccount& account) const;
  // The account as "WXUsers.wxf" in the root holds it now (decoded and read back).
  std::optional<UserAccount> StoredUser(int id) const;
  // The record of the document `name` of the project as its files hold it now; none
  // when the project, the name or the record cannot be read. Running server only.
  std::optional<FileStatistics> StoredDocument(const std::string& projectInternalName, const std::string& name) const;

  // From the next start the library serves TLS in `mode` on a free port of its
  // own, with a new key (kept when it has one). False when not written.
  bool EnableTls(TlsSettings::Mode mode);
  // The TLS port and the fingerprint of the library's certificate; 0 and empty before EnableTls.
  std::uint16_t TlsPort() const { return tlsPort_; }
  std::string TlsFingerprint() const;

  std::uint16_t Port() const { return port_; }
  const std::string& RootPath() const { return root_; }
  // Running server only.
  CWexmoorDoc& Document() const;
  CWexmoorApp& App() const { return *app_; }
  // Handlers registered here before Start serve the next start.
  RequestDispatcher& Dispatcher() { return dispatcher_; }
  // What runs beside the console from the next start on (the administration socket).
  void SetCompanionStarter(CWexmoorApp::CompanionStarter starter) { companion_ = std::move(starter); }
  const std::string& WorkingFolder() const { return work_; }

 private:
  bool JoinPublishers(const std::vector<UserAccount>& accounts) const;
  bool WriteUsersFileWithFreePort();

  platform::ScratchFolder scratch_;
  std::string work_;
  std::string root_;
  std::string locks_;
  std::uint16_t port_ = 0;
  std::uint16_t tlsPort_ = 0;
  RequestDispatcher dispatcher_;
  CWexmoorApp::CompanionStarter companion_;
  std::unique_ptr<CWexmoorApp> app_;
};
