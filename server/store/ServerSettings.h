#pragma once
// The library's name, the server's address and port, the pre-logon default key,
// five mail settings and the user table, all kept in one scrambled file
// "WXUsers.wxf" in the library root. Plain text before scrambling: a header line
//   "library name",user count,next user id,"server address",port,"mail 1",...,
//   "mail 5","default key hex",default key length\n
// then one UserAccount line per user, then for each account whose last used logon
// code still serves (UserAccount::AcceptLogonCode) a line
//   "previous code",user id,"code"\n
// which readers that know only the counted account lines leave alone; the whole
// text is XORed with the users-file key (given at construction) and written
// without a terminating zero.
//
// Every value is guarded by one reader/writer latch: look-ups take it shared and
// return copies; changes take it exclusive. Saves are serialised with each other.
// Changes that must be on disk before they are answered (logons) are saved in
// groups: those made while a save runs all wait for the next one.
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/BuiltInKeys.h"
#include "common/Codec.h"
#include "platform/CriticalSection.h"
#include "server/store/SectionRank.h"
#include "server/store/UserAccount.h"

struct UsersSaveGroup;

class ServerSettings {
 public:
  static constexpr const char* kUsersFileName = "WXUsers.wxf";
  static constexpr const char* kDefaultLibraryName = "Default Library Name";
  // The server address of a new users file: one no administrator has set, which the
  // server replaces by the host's name at every start.
  static constexpr const char* kNewLibraryServerAddress = "127.0.0.1";

  // `usersFileKey` scrambles and unscrambles "WXUsers.wxf".
  explicit ServerSettings(const BuiltInKey& usersFileKey);
  ServerSettings(const ServerSettings&) = delete;
  ServerSettings& operator=(const ServerSettings&) = delete;

  // --- the user table (copies in, copies out) ---
  int GetUserCount() const;
  std::optional<UserAccount> GetUser(int index) const;   // none for an index out of range
  int FindUserIndex(int id) const;                      // -1 when absent
  std::optional<UserAccount> FindUser(int id) const;    // none when absent
  // Gives the account the server address and port and the mail settings
  // (1-4 as server mail fields 1-4, 5 as dial-in field 4), then appends it.
  void AddUser(UserAccount account);
  // Applies `change` to the account with that id under the exclusive latch; false
  // (nothing called) when there is none. The only way to change a stored account.
  bool UpdateUser(int id, const std::function<void(UserAccount&)>& change);
  void RemoveUser(int id);   // nothing when absent
  void RemoveAllUsers();

  // Index of the first account that the candidate would duplicate, or -1: same id,
  // or same name and connection type with, for TCP/IP, equal or empty IP address,
  // for e-mail equal e-mail address, for RAS and dial-in equal dial-in field 2.
  int FindDuplicate(const UserAccount& candidate) const;
  // Adds a validated account the way the administration does: an id of -1 first
  // gets AllocateUserId (written back into `account`); a duplicate is refused; the
  // users file is saved in the settings' root path. False when refused or not
  // saved; a failed save takes the account out of the table again.
  bool AddUserChecked(UserAccount& account);

  // --- values (string setters trim) ---
  std::string GetLibraryName() const;
  void SetLibraryName(const std::string& name);
  std::string GetServerAddress() const;
  void SetServerAddress(const std::string& address);   // also into every account
  int GetPort() const;
  void SetPort(int port);                              // also into every account
  std::string GetMailSetting1() const;
  std::string GetMailSetting2() const;
  std::string GetMailSetting3() const;
  std::string GetMailSetting4() const;
  std::string GetMailSetting5() const;
  std::string GetDefaultKey() const;
  int GetDefaultKeyLength() const;
  void SetDefaultKeyLength(int length);
  // A new default key: default-key-length random bytes as upper-case hex text.
  void GenerateDefaultKey();
  std::string GetRootPath() const;
  void SetRootPath(const std::string& rootPath);
  int GetNextUserId() const;   // the last id handed out

  // --- the users file in a library root (a full path) ---
  // True when the file exists and opens. Only when it does not exist are the
  // defaults of a new library made and saved (result of the save); a file that
  // exists but cannot be opened gives false and is left alone.
  bool EnsureUsersFile(const std::string& rootPath);
  // Appends the file's users to the table and takes its header values. False when
  // the file cannot be read or its header lacks a field (the settings are then
  // unchanged). An account that cannot be used is left out and named to `leftOut`
  // (a console line), or in a message box when there is none.
  bool LoadUsers(const std::string& rootPath, const std::function<void(const std::string&)>& leftOut = nullptr);
  // Replaces the file atomically with the current settings; false when not written.
  bool SaveUsers(const std::string& rootPath) const;
  // Held by every write of the users file, from taking what it writes to the
  // rename: a backup holding it meets neither a write in flight nor one out of order.
  platform::CriticalSection& GetSaveSection() const { return saveSection_; }

  // Advances the next user id and saves in the settings' root path: the new id,
  // or -1 when the save failed (the counter stays advanced).
  int AllocateUserId();
  // Certificate text for the account at `index`: a line of library name, default
  // key length and default key, then the account's certificate line (new logon code
  // and key). True only when the new code and key were saved; otherwise `text` is
  // emptied and the account keeps its previous code and key.
  bool BuildCertificateText(int index, std::string& text);

  // --- account changes saved in groups ---
  // What a change did: whether the users file must now be saved, and for a change
  // of codes the ones to put back should that save fail.
  struct UserChange {
    bool save = false;
    std::optional<UserAccount::LogonCodes> codesBefore;
  };
  // The save a change waits for; empty when the change needs none.
  class PendingSave {
   public:
    bool IsNeeded() const { return group_ != nullptr; }

   private:
    friend class ServerSettings;
    std::shared_ptr<UsersSaveGroup> group_;
    std::optional<std::size_t> undoIndex_;   // of its codes in the group, when it changed codes
  };
  // How the save of a change ended. Not saved, a change of codes that was put back
  // tells the code its account then has, the one the file holds.
  struct SaveOutcome {
    bool saved = false;
    std::optional<std::string> codeKept;
  };
  // Enters `userTable`, applies `change` to the account with that id under the
  // exclusive latch, like UpdateUser (nothing when there is none), and joins it to
  // the next save. A save that is about to start lets every change already
  // waiting for the section go first, so that changes queued behind one save
  // share the next one.
  PendingSave ChangeUserForSave(int id, const std::function<UserChange(UserAccount&)>& change,
                                platform::CriticalSection& userTable);
  // Changes whose save has not begun: those that asked for the user-table section
  // and are not made yet, and those made since the last save took its changes.
  int GetUnsavedChangeCount();
  // Returns once a save into `rootPath` that holds the change has ended. The first
  // waiter to find no save running saves every change made so far; the others wait
  // for it. The save takes what it writes inside `userTable`, the section that every
  // other writer of the users file holds from its change to its save (or its undo),
  // so it never holds a change that is undone; it writes under the save section
  // alone, so changes for the next save go on meanwhile, and saves reach the disk in
  // the order they were taken. The caller must not hold that section. A failed save
  // puts back, newest first, the codes of each change it held whose account still
  // has the code the change gave it.
  SaveOutcome WaitForSave(const PendingSave& pending, const std::string& rootPath,
                          platform::CriticalSection& userTable);

 private:
  template <typename T>
  T ReadShared(const T& field) const {
    std::shared_lock lock(latch_);
    return field;
  }
  static std::string UsersFilePath(const std::string& rootPath);
  std::string BuildPlainTextLocked() const;
  void CopySettingsIntoLocked(UserAccount& account) const;
  bool WriteUsersFile(const std::string& rootPath, const std::string& plainText) const;
  // Saves the changes of the open group and hands it back, its outcome set, with the
  // new group opened in its place (see WaitForSave).
  std::pair<std::shared_ptr<UsersSaveGroup>, std::shared_ptr<UsersSaveGroup>> SaveOpenGroup(
      const std::string& rootPath, platform::CriticalSection& userTable);
  void PutBackCodesLocked(UsersSaveGroup& group);

  Codec usersFileCodec_;   // holds the users-file key as key 0

  mutable std::shared_mutex latch_;   // guards everything below
  std::vector<UserAccount> users_;
  std::string serverAddress_;
  int port_ = 0;
  std::string mailSettings_[5];
  std::string defaultKey_;
  int defaultKeyLength_ = 0;
  std::string libraryName_ = kDefaultLibraryName;
  std::string rootPath_;
  int nextUserId_ = 0;
  std::shared_ptr<UsersSaveGroup> openGroup_;   // the changes the next group save takes

  // Taken after the user-table section and before latch_, never after either.
  mutable platform::CriticalSection saveSection_{SectionRank::kUsersSave, "users-save"};

  // Never held with saveSection_ or latch_.
  std::mutex groupMutex_;
  bool groupSaving_ = false;
  // Changes waiting for the user-table section, counted by the parity of the round
  // they arrived in; a save starts a new round and waits for the old one to drain.
  std::size_t waitingChanges_[2] = {0, 0};
  std::size_t round_ = 0;
  std::condition_variable roundDrained_;
};
