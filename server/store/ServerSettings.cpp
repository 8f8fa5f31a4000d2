#include "server/store/ServerSettings.h"

#include <fstream>
#include <optional>
#include <utility>

#include "common/RecordFields.h"
#include "common/StringHelpers.h"
#include "platform/AtomicFile.h"
#include "platform/Notifier.h"
#include "platform/fs.h"

namespace {

constexpr int kUsersFileKeyIndex = 0;
constexpr int kNewLibraryPort = 6000;
constexpr int kNewLibraryNextUserId = 1;
constexpr const char* kPreviousCodeMarker = "previous code";

std::string Trimmed(const std::string& value) {
  std::string copy = value;
  TrimString(copy);
  return copy;
}

bool IsDuplicateOf(const UserAccount& existing, const UserAccount& candidate) {
  if (existing.GetId() == candidate.GetId()) return true;
  if (existing.GetName() != candidate.GetName()) return false;
  if (existing.GetConnectionType() != candidate.GetConnectionType()) return false;
  switch (candidate.GetConnectionType()) {
    case UserAccount::kTcpIp:
      return existing.GetIpAddress() == candidate.GetIpAddress() || existing.GetIpAddress().empty() ||
             candidate.GetIpAddress().empty();
    case UserAccount::kEmail:
      return existing.GetEmailAddress() == candidate.GetEmailAddress();
    case UserAccount::kRas:
    case UserAccount::kDialIn:
      return existing.GetDialInField2() == candidate.GetDialInField2();
    default:
      return false;
  }
}

int FirstDuplicate(const std::vector<UserAccount>& users, const UserAccount& candidate) {
  for (std::size_t i = 0; i < users.size(); ++i) {
    if (IsDuplicateOf(users[i], candidate)) return static_cast<int>(i);
  }
  return -1;
}

int IndexOfId(const std::vector<UserAccount>& users, int id) {
  for (std::size_t i = 0; i < users.size(); ++i) {
    if (users[i].GetId() == id) return static_cast<int>(i);
  }
  return -1;
}

// The header values of the users file, parsed before anything is taken over.
struct UsersFileHeader {
  std::string libraryName;
  int userCount = 0;
  int nextUserId = 0;
  std::string serverAddress;
  int port = 0;
  std::string mailSettings[5];
  std::string defaultKey;
  int defaultKeyLength = 0;
};

// Every header field must find text left in front of it.
bool ParseHeader(std::string& text, UsersFileHeader& header) {
  const auto readString = [&text](std::string& value) {
    if (text.empty()) return false;
    text = ReadStringField(value, text);
    return true;
  };
  const auto readInt = [&text](int& value) {
    if (text.empty()) return false;
    text = ReadIntField(value, text);
    return true;
  };
  bool ok = readString(header.libraryName) && readInt(header.userCount) && readInt(header.nextUserId) &&
            readString(header.serverAddress) && readInt(header.port);
  for (std::string& setting : header.mailSettings) ok = ok && readString(setting);
  return ok && readString(header.defaultKey) && readInt(header.defaultKeyLength);
}

// The lines behind the counted accounts: each gives an account back the code it
// last used. Reading stops at the first other line.
void ReadPreviousCodes(std::string text, std::vector<UserAccount>& accounts) {
  while (!text.empty()) {
    std::string marker;
    std::string rest = ReadStringField(marker, text);
    if (marker != kPreviousCodeMarker) return;
    int id = -1;
    std::string code;
    rest = ReadStringField(code, ReadIntField(id, rest));
    for (UserAccount& account : accounts) {
      if (account.GetId() == id) account.RestoreLogonCodes({account.GetLogonCode(), code});
    }
    if (rest.size() >= text.size()) return;
    text = std::move(rest);
  }
}

}  // namespace

// Changes that one save of the users file carries. `ended` is guarded by the group
// mutex; until it is set, the rest is guarded by the settings' latch. Its waiters
// wait on `changed` alone, so the end of one save wakes only those it concerns.
struct UsersSaveGroup {
  struct Undo {
    int id;
    UserAccount::LogonCodes before;
    std::string codeAfter;
    std::optional<std::string> codeKept;
  };
  std::vector<Undo> undo;
  std::size_t changes = 0;
  bool saved = false;
  bool ended = false;
  std::condition_variable changed;   // ended, or no save runs while this group is open
};

ServerSettings::ServerSettings(const BuiltInKey& usersFileKey) : openGroup_(std::make_shared<UsersSaveGroup>()) {
  usersFileCodec_.Add(static_cast<int>(usersFileKey.size()), usersFileKey.data(), 1);
}

// --- user table ---

int ServerSettings::GetUserCount() const {
  std::shared_lock lock(latch_);
  return static_cast<int>(users_.size());
}

std::optional<UserAccount> ServerSettings::GetUser(int index) const {
  std::shared_lock lock(latch_);
  if (index < 0 || index >= static_cast<int>(users_.size())) return std::nullopt;
  return users_[static_cast<std::size_t>(index)];
}

int ServerSettings::FindUserIndex(int id) const {
  std::shared_lock lock(latch_);
  return IndexOfId(users_, id);
}

std::optional<UserAccount> ServerSettings::FindUser(int id) const {
  std::shared_lock lock(latch_);
  const int index = IndexOfId(users_, id);
  if (index < 0) return std::nullopt;
  return users_[static_cast<std::size_t>(index)];
}

void ServerSettings::CopySettingsIntoLocked(UserAccount& account) const {
  account.SetServerAddress(serverAddress_);
  account.SetServerPort(port_);
  account.SetServerMailField1(mailSettings_[0]);
  account.SetServerMailField2(mailSettings_[1]);
  account.SetServerMailField3(mailSettings_[2]);
  account.SetServerMailField4(mailSettings_[3]);
  account.SetDialInField4(mailSettings_[4]);
}

void ServerSettings::AddUser(UserAccount account) {
  std::unique_lock lock(latch_);
  CopySettingsIntoLocked(account);
  users_.push_back(std::move(account));
}

bool ServerSettings::UpdateUser(int id, const std::function<void(UserAccount&)>& change) {
  std::unique_lock lock(latch_);
  const int index = IndexOfId(users_, id);
  if (index < 0) return false;
  change(users_[static_cast<std::size_t>(index)]);
  return true;
}

void ServerSettings::RemoveUser(int id) {
  std::unique_lock lock(latch_);
  const int index = IndexOfId(users_, id);
  if (index >= 0) users_.erase(users_.begin() + index);
}

void ServerSettings::RemoveAllUsers() {
  std::unique_lock lock(latch_);
  users_.clear();
}

int ServerSettings::FindDuplicate(const UserAccount& candidate) const {
  std::shared_lock lock(latch_);
  return FirstDuplicate(users_, candidate);
}

bool ServerSettings::AddUserChecked(UserAccount& account) {
  if (account.GetId() == -1) {
    const int id = AllocateUserId();
    if (id == -1) return false;
    account.SetId(id);
  }
  platform::CriticalSection::Lock save(saveSection_);
  std::string plainText;
  std::string rootPath;
  {
    std::unique_lock lock(latch_);
    if (FirstDuplicate(users_, account) != -1) return false;
    UserAccount stored = account;
    CopySettingsIntoLocked(stored);
    users_.push_back(std::move(stored));
    plainText = BuildPlainTextLocked();
    rootPath = rootPath_;
  }
  if (WriteUsersFile(rootPath, plainText)) return true;
  RemoveUser(account.GetId());  // the id was unique, so this is the account just added
  return false;
}

// --- values ---

std::string ServerSettings::GetLibraryName() const { return ReadShared(libraryName_); }

void ServerSettings::SetLibraryName(const std::string& name) {
  std::unique_lock lock(latch_);
  libraryName_ = Trimmed(name);
}

std::string ServerSettings::GetServerAddress() const { return ReadShared(serverAddress_); }

void ServerSettings::SetServerAddress(const std::string& address) {
  std::unique_lock lock(latch_);
  serverAddress_ = Trimmed(address);
  for (UserAccount& account : users_) account.SetServerAddress(serverAddress_);
}

int ServerSettings::GetPort() const { return ReadShared(port_); }

void ServerSettings::SetPort(int port) {
  std::unique_lock lock(latch_);
  port_ = port;
  // Certificates are made from the account, so existing users must see the new port too.
  for (UserAccount& account : users_) account.SetServerPort(port_);
}

std::string ServerSettings::GetMailSetting1() const { return ReadShared(mailSettings_[0]); }

std::string ServerSettings::GetMailSetting2() const { return ReadShared(mailSettings_[1]); }

std::string ServerSettings::GetMailSetting3() const { return ReadShared(mailSettings_[2]); }

std::string ServerSettings::GetMailSetting4() const { return ReadShared(mailSettings_[3]); }

std::string ServerSettings::GetMailSetting5() const { return ReadShared(mailSettings_[4]); }

std::string ServerSettings::GetDefaultKey() const { return ReadShared(defaultKey_); }

int ServerSettings::GetDefaultKeyLength() const { return ReadShared(defaultKeyLength_); }

void ServerSettings::SetDefaultKeyLength(int length) {
  std::unique_lock lock(latch_);
  defaultKeyLength_ = length;
}

void ServerSettings::GenerateDefaultKey() {
  std::unique_lock lock(latch_);
  defaultKey_ = UserAccount::RandomKeyText(defaultKeyLength_);
}

std::string ServerSettings::GetRootPath() const { return ReadShared(rootPath_); }

void ServerSettings::SetRootPath(const std::string& rootPath) {
  std::unique_lock lock(latch_);
  rootPath_ = Trimmed(rootPath);
}

int ServerSettings::GetNextUserId() const { return ReadShared(nextUserId_); }

// --- users file ---

std::string ServerSettings::UsersFilePath(const std::string& rootPath) {
  return EnsureTrailingBackslash(rootPath) + kUsersFileName;
}

std::string ServerSettings::BuildPlainTextLocked() const {
  std::string text = AppendStringField(libraryName_, "");
  text = AppendIntField(static_cast<int>(users_.size()), std::move(text));
  text = AppendIntField(nextUserId_, std::move(text));
  text = AppendStringField(serverAddress_, std::move(text));
  text = AppendIntField(port_, std::move(text));
  for (const std::string& setting : mailSettings_) text = AppendStringField(setting, std::move(text));
  text = AppendStringField(defaultKey_, std::move(text));
  text = AppendIntField(defaultKeyLength_, std::move(text));
  text = EndRecord(std::move(text));
  for (const UserAccount& account : users_) text = account.Save(text);
  for (const UserAccount& account : users_) {
    const std::string previous = account.GetLogonCodes().previous;
    if (previous.empty()) continue;
    text = AppendStringField(kPreviousCodeMarker, std::move(text));
    text = EndRecord(AppendStringField(previous, AppendIntField(account.GetId(), std::move(text))));
  }
  return text;
}

bool ServerSettings::WriteUsersFile(const std::string& rootPath, const std::string& plainText) const {
  if (rootPath.empty()) return false;  // never relative to the process's current folder
  std::string scrambled = plainText;
  if (!usersFileCodec_.Encode(kUsersFileKeyIndex, static_cast<std::int64_t>(scrambled.size()), scrambled.data())) {
    return false;
  }
  return platform::AtomicFile::WriteOwnerOnly(UsersFilePath(rootPath), scrambled);
}

bool ServerSettings::SaveUsers(const std::string& rootPath) const {
  platform::CriticalSection::Lock save(saveSection_);
  std::string plainText;
  {
    std::shared_lock lock(latch_);
    plainText = BuildPlainTextLocked();
  }
  return WriteUsersFile(rootPath, plainText);
}

bool ServerSettings::EnsureUsersFile(const std::string& rootPath) {
  if (rootPath.empty()) return false;
  const std::string path = UsersFilePath(rootPath);
  if (std::ifstream(path, std::ios::binary).is_open()) return true;
  if (platform::fs::Exists(path)) return false;  // there but unreadable: keep the accounts
  {
    std::unique_lock lock(latch_);
    defaultKeyLength_ = UserAccount::kDefaultKeyLength;
    defaultKey_ = UserAccount::RandomKeyText(defaultKeyLength_);
    serverAddress_ = kNewLibraryServerAddress;
    port_ = kNewLibraryPort;
    nextUserId_ = kNewLibraryNextUserId;
    users_.clear();
  }
  return SaveUsers(rootPath);
}

bool ServerSettings::LoadUsers(const std::string& rootPath, const std::function<void(const std::string&)>& leftOut) {
  if (rootPath.empty()) return false;
  std::string text;
  if (!platform::fs::ReadWholeFile(UsersFilePath(rootPath), text)) return false;
  if (!usersFileCodec_.Decode(kUsersFileKeyIndex, static_cast<std::int64_t>(text.size()), text.data())) return false;
  text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));

  UsersFileHeader header;
  if (!ParseHeader(text, header)) return false;
  if (!UserAccount::IsUsableKeyLength(header.defaultKeyLength)) {
    platform::NotifyText(UsersFilePath(rootPath) + ": the library's key length " +
                             std::to_string(header.defaultKeyLength) + " is not between 1 and " +
                             std::to_string(UserAccount::kMaxKeyLength) + ".",
                         platform::NotifyIcon::Error);
    return false;
  }
  std::vector<UserAccount> loaded;
  for (int i = 0; i < header.userCount && !text.empty(); ++i) {
    UserAccount account;
    std::string rest = account.Load(text);
    if (rest.size() >= text.size()) break;  // nothing consumed: stop rather than loop
    text = std::move(rest);
    if (!UserAccount::IsUsableKeyLength(account.GetKeyLength())) {
      const std::string line = UsersFilePath(rootPath) + ": the account \"" + account.GetName() + "\" (number " +
                               std::to_string(account.GetId()) + ") is left out: its key length " +
                               std::to_string(account.GetKeyLength()) + " is not between 1 and " +
                               std::to_string(UserAccount::kMaxKeyLength) + ".";
      if (leftOut) {
        leftOut(line);
      } else {
        platform::NotifyText(line, platform::NotifyIcon::Warning);
      }
      continue;
    }
    loaded.push_back(std::move(account));
  }
  ReadPreviousCodes(std::move(text), loaded);

  std::unique_lock lock(latch_);
  libraryName_ = header.libraryName;
  nextUserId_ = header.nextUserId;
  serverAddress_ = header.serverAddress;
  port_ = header.port;
  for (int i = 0; i < 5; ++i) mailSettings_[i] = header.mailSettings[i];
  defaultKey_ = header.defaultKey;
  defaultKeyLength_ = header.defaultKeyLength;
  users_.insert(users_.end(), loaded.begin(), loaded.end());
  return true;
}

int ServerSettings::AllocateUserId() {
  platform::CriticalSection::Lock save(saveSection_);
  int id = 0;
  std::string plainText;
  std::string rootPath;
  {
    std::unique_lock lock(latch_);
    id = ++nextUserId_;
    plainText = BuildPlainTextLocked();
    rootPath = rootPath_;
  }
  return WriteUsersFile(rootPath, plainText) ? id : -1;
}

bool ServerSettings::BuildCertificateText(int index, std::string& text) {
  text.clear();
  platform::CriticalSection::Lock save(saveSection_);
  std::string certificate;
  std::string plainText;
  std::string rootPath;
  int id = -1;
  std::string previousCode;
  std::string previousKey;
  std::string issuedCode;
  {
    std::unique_lock lock(latch_);
    if (index < 0 || index >= static_cast<int>(users_.size())) return false;
    UserAccount& account = users_[static_cast<std::size_t>(index)];
    id = account.GetId();
    previousCode = account.GetLogonCode();
    previousKey = account.GetKeyText();
    certificate = AppendStringField(libraryName_, "");
    certificate = AppendIntField(defaultKeyLength_, std::move(certificate));
    certificate = AppendStringField(defaultKey_, std::move(certificate));
    certificate = EndRecord(std::move(certificate));
    certificate += account.BuildCertificateLine();
    issuedCode = account.GetLogonCode();
    plainText = BuildPlainTextLocked();
    rootPath = rootPath_;
  }
  if (WriteUsersFile(rootPath, plainText)) {
    text = std::move(certificate);
    return true;
  }
  std::unique_lock lock(latch_);
  const int current = IndexOfId(users_, id);
  if (current >= 0 && users_[static_cast<std::size_t>(current)].GetLogonCode() == issuedCode) {
    users_[static_cast<std::size_t>(current)].SetLogonCode(previousCode);
    users_[static_cast<std::size_t>(current)].SetKeyText(previousKey);
  }
  return false;
}

// --- account changes saved in groups ---

ServerSettings::PendingSave ServerSettings::ChangeUserForSave(int id,
                                                              const std::function<UserChange(UserAccount&)>& change,
                                                              platform::CriticalSection& userTable) {
  std::size_t arrival = 0;
  {
    std::lock_guard group(groupMutex_);
    arrival = round_ % 2;
    ++waitingChanges_[arrival];
  }
  PendingSave pending;
  {
    platform::CriticalSection::Lock hold(userTable);
    std::unique_lock lock(latch_);
    const int index = IndexOfId(users_, id);
    UserAccount* account = index < 0 ? nullptr : &users_[static_cast<std::size_t>(index)];
    const UserChange done = account != nullptr ? change(*account) : UserChange{};
    if (done.save) {
      pending.group_ = openGroup_;
      ++openGroup_->changes;
      if (done.codesBefore) {
        pending.undoIndex_ = openGroup_->undo.size();
        openGroup_->undo.push_back({id, *done.codesBefore, account->GetLogonCode(), std::nullopt});
      }
    }
    // Still under the latch, so that a count never sees the change both made and waiting.
    std::lock_guard group(groupMutex_);
    if (--waitingChanges_[arrival] == 0) roundDrained_.notify_all();
  }
  return pending;
}

int ServerSettings::GetUnsavedChangeCount() {
  std::shared_lock lock(latch_);
  std::lock_guard group(groupMutex_);
  return static_cast<int>(openGroup_->changes + waitingChanges_[0] + waitingChanges_[1]);
}

ServerSettings::SaveOutcome ServerSettings::WaitForSave(const PendingSave& pending, const std::string& rootPath,
                                                        platform::CriticalSection& userTable) {
  if (!pending.IsNeeded()) return {true, std::nullopt};
  UsersSaveGroup& mine = *pending.group_;
  std::unique_lock group(groupMutex_);
  while (!mine.ended) {
    if (groupSaving_) {
      mine.changed.wait(group);
      continue;
    }
    // No save runs and this change is not saved yet, so it is in the open group.
    // The changes already queued for the section go first and join this save.
    groupSaving_ = true;
    const std::size_t previousRound = round_++ % 2;
    roundDrained_.wait(group, [&] { return waitingChanges_[previousRound] == 0; });
    group.unlock();
    const auto [done, next] = SaveOpenGroup(rootPath, userTable);
    group.lock();
    done->ended = true;
    groupSaving_ = false;
    done->changed.notify_all();
    // One waiter of the group now open saves it at once.
    next->changed.notify_one();
  }
  if (mine.saved || !pending.undoIndex_) return {mine.saved, std::nullopt};
  return {false, mine.undo[*pending.undoIndex_].codeKept};
}

std::pair<std::shared_ptr<UsersSaveGroup>, std::shared_ptr<UsersSaveGroup>> ServerSettings::SaveOpenGroup(
    const std::string& rootPath, platform::CriticalSection& userTable) {
  std::optional<platform::CriticalSection::Lock> table(std::in_place, userTable);
  platform::CriticalSection::Lock save(saveSection_);
  std::shared_ptr<UsersSaveGroup> group;
  std::shared_ptr<UsersSaveGroup> next = std::make_shared<UsersSaveGroup>();
  std::string plainText;
  {
    std::unique_lock lock(latch_);
    group = std::exchange(openGroup_, next);
    plainText = BuildPlainTextLocked();
  }
  // The next group's changes go on while this one is written.
  table.reset();
  group->saved = WriteUsersFile(rootPath, plainText);
  if (!group->saved) {
    std::unique_lock lock(latch_);
    PutBackCodesLocked(*group);
  }
  return {group, next};
}

void ServerSettings::PutBackCodesLocked(UsersSaveGroup& group) {
  // Newest first, so an account changed twice ends with the codes it had before
  // both; one whose code changed since (a certificate, a later logon) keeps it.
  std::vector<UserAccount*> putBack(group.undo.size(), nullptr);
  for (std::size_t i = group.undo.size(); i-- > 0;) {
    const int index = IndexOfId(users_, group.undo[i].id);
    if (index < 0) continue;
    UserAccount& account = users_[static_cast<std::size_t>(index)];
    if (account.GetLogonCode() != group.undo[i].codeAfter) continue;
    account.RestoreLogonCodes(group.undo[i].before);
    putBack[i] = &account;
  }
  for (std::size_t i = 0; i < putBack.size(); ++i) {
    if (putBack[i] != nullptr) group.undo[i].codeKept = putBack[i]->GetLogonCode();
  }
}
