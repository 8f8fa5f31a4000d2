#pragma once
// The client's application core for one run: the working folder and the login it
// serves, the single-instance guard on that folder, the library entries
// ("BKLibraryEntries.wxf"), the user profiles ("BKUsers.wxf"), the temporary
// files and the open libraries with their periodic pass. The windows sit on top.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client/document/OpenLibraries.h"
#include "client/document/ShownLocalFolders.h"
#include "client/document/TemporaryFiles.h"
#include "client/records/CertificateImport.h"
#include "client/records/LibraryEntry.h"
#include "client/records/UserProfiles.h"
#include "platform/InstanceGuard.h"
#include "platform/Process.h"

class CBrannockApp {
 public:
  static constexpr const char* kNoWorkingFolder = "_getcwd() error";
  static constexpr const char* kAlreadyRunning =
      "An instance of Brannock or BrannockPublisher is already running and using the resources in the same "
      "working directory.  Application aborting!";
  static constexpr int kInstanceWaitMs = 1000;
  static constexpr const char* kMergeNotSaved =
      "The list of libraries held two entries of one library for one user; they were merged for this session, "
      "but the merged list could not be saved in the working folder; the next start merges them again.";

  // `workingFolder` is absolute; `loginName` is the logged-on user's.
  explicit CBrannockApp(std::string workingFolder = platform::WorkingFolder(),
                        std::string loginName = platform::LoginName());
  // After a start-up that chose a user: keeps the main window's state in the
  // current profile and saves the profiles when they changed.
  ~CBrannockApp();
  CBrannockApp(const CBrannockApp&) = delete;
  CBrannockApp& operator=(const CBrannockApp&) = delete;

  // Start-up: the single-instance guard (waiting up to kInstanceWaitMs), the
  // library entries, the profiles (one connection per library and user, written
  // back when earlier builds had left duplicates) and the current user, an emptied
  // temporary folder. False ends the program; the guard and the working folder failures are
  // shown to the user.
  bool InitInstance();

  // The guard's name: "BK" and the working folder with ':', '/', '\' and '.'
  // turned into '_'.
  static std::string InstanceGuardName(const std::string& workingFolder);

  std::string GetWorkingDirectory() const { return workingFolder_; }

  // The publishing program ("brannockpublisher"); the plain client has publishing,
  // deletion and renaming off. Set before InitInstance; documents take it when made.
  void SetPublisher(bool publisher) { publisher_ = publisher; }
  bool IsPublisher() const { return publisher_; }

  // "<working folder>/TemporaryFiles/TemporaryFile_<n>.wxf"; any thread.
  std::string MakeTemporaryFileName() const { return temporaryFiles_.MakeTemporaryFileName(); }
  bool PurgeTemporaryFiles() const { return temporaryFiles_.PurgeTemporaryFiles(); }

  bool LoadLibraryEntries();
  const std::vector<LibraryEntry>& GetLibraryEntries() const { return entries_; }

  bool LoadUsers() { return profiles_.LoadUsers(loginName_); }
  bool SelectUserByLogin() { return profiles_.SelectUserByLogin(loginName_); }
  bool SaveUsers() { return profiles_.SaveUsers(); }
  // Every use of the current user (and every change of the profiles) holds this lock.
  platform::CriticalSection& GetProfileLock() { return profiles_.GetLock(); }
  UserProfile* GetCurrentUser() { return profiles_.GetCurrentUser(); }
  // A logon was accepted with a new code: see UserProfiles::UpdateLogonCode. Any thread.
  bool UpdateLogonCode(const std::string& libraryName, int userNumber, const std::string& code) {
    return profiles_.UpdateLogonCode(libraryName, userNumber, code);
  }

  // Imports the certificate file at `path` for the current user; the user sees
  // the outcome.
  CertificateImport::Result ImportCertificate(const std::string& path);

  // Where the notices of finished operations go (the main window's status bar);
  // without a hook they go to standard error.
  using StatusNoticeHook = std::function<void(const std::string& text)>;
  void SetStatusNoticeHook(StatusNoticeHook hook) { statusNotice_ = std::move(hook); }
  void ShowStatusNotice(const std::string& text) const;

  OpenLibraries& GetOpenLibraries() { return libraries_; }
  void DoProcessing() { libraries_.DoProcessing(); }
  // What each library's local file list showed last in this run.
  ShownLocalFolders& GetShownLocalFolders() { return shownLocalFolders_; }

 private:
  std::string EntriesPath() const;
  // DuplicateConnectionMerge over the loaded records, saved when it changed them;
  // a failed save is told (the merge stands for this run).
  void MergeDuplicateConnections();

  std::string workingFolder_;
  std::string loginName_;
  std::unique_ptr<platform::InstanceGuard> guard_;
  std::vector<LibraryEntry> entries_;
  UserProfiles profiles_;
  TemporaryFiles temporaryFiles_;
  OpenLibraries libraries_;
  ShownLocalFolders shownLocalFolders_;
  bool publisher_ = true;
  StatusNoticeHook statusNotice_;
};
