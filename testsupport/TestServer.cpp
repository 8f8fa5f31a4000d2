#include "testsupport/TestServer.h"

#include <algorithm>

#include "common/BuiltInKeys.h"
#include "common/CertificateFile.h"
#include "platform/CriticalSection.h"
#include "platform/fs.h"
#include "server/engine/ServerConsole.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ServerSettings.h"
#include "server/store/StoreFilePaths.h"
#include "server/store/TlsIdentityFiles.h"
#include "testsupport/FreePort.h"

namespace {

constexpr std::chrono::milliseconds kListenerStartBound{10000};

}  // namespace

TestServer::TestServer() : work_(scratch_ / "work"), root_(scratch_ / "library"), locks_(scratch_ / "locks") {
  for (const std::string& folder : {work_, root_, locks_}) platform::fs::CreateFolder(folder);
}

TestServer::~TestServer() { Stop(); }

bool TestServer::WriteUsersFileWithFreePort() {
  port_ = testsupport::FreeListeningPort();
  ServerSettings settings(CertificateBuiltInKey());
  if (port_ == 0 || !settings.EnsureUsersFile(root_) || !settings.LoadUsers(root_)) return false;
  settings.SetRootPath(root_);
  settings.SetPort(port_);
  return settings.SaveUsers(root_);
}

bool TestServer::Start() {
  if (app_) return true;
  if (port_ == 0 && !WriteUsersFileWithFreePort()) return false;
  auto app = std::make_unique<CWexmoorApp>();
  app->SetMessageHandler([this](RTE& engine, const Msg& request) { return dispatcher_.Dispatch(engine, request); });
  app->SetCompanionStarter(companion_);
  if (!app->InitInstance(CWexmoorApp::StartOptions{work_, locks_, root_})) return false;
  app_ = std::move(app);
  if (app_->GetConsole()->WaitForListener(kListenerStartBound) == ServerConsole::ListenerState::Listening) return true;
  Stop();
  return false;
}

CWexmoorApp::StartOptions TestServer::PrepareLibrary() {
  if (port_ == 0) WriteUsersFileWithFreePort();
  return CWexmoorApp::StartOptions{work_, locks_, root_};
}

bool TestServer::WriteCertificate(int id, const std::string& path) const {
  ServerSettings& settings = Document().GetSettings();
  const int index = settings.FindUserIndex(id);
  std::string text;
  if (index < 0 || !settings.BuildCertificateText(index, text)) return false;
  return CertificateFile::Write(path, text + TlsSettings::CertificatePinRecord(root_, settings.GetPort()));
}

bool TestServer::EnableTls(TlsSettings::Mode mode) {
  if (port_ == 0 && !WriteUsersFileWithFreePort()) return false;
  if (tlsPort_ == 0) tlsPort_ = testsupport::FreeListeningPort();
  TlsSettings settings;
  settings.SetMode(mode);
  settings.SetPort(tlsPort_);
  const bool keyed = TlsIdentityFiles::Exists(root_) || TlsIdentityFiles::Make(root_, "127.0.0.1", false).empty();
  return tlsPort_ != 0 && keyed && settings.Save(root_);
}

std::string TestServer::TlsFingerprint() const { return TlsSettings::Fingerprint(root_); }

void TestServer::Stop() {
  if (!app_) return;
  app_->ExitInstance();
  app_.reset();
}

CWexmoorDoc& TestServer::Document() const { return *CWexmoorApp::GetDocument(); }

namespace {

UserAccount NewTcpAccount(const std::string& name, const std::string& password, bool lockoutTrap) {
  UserAccount account;
  account.SetName(name);
  account.SetPassword(password);
  account.SetConnectionType(UserAccount::kTcpIp);
  account.SetLockoutTrap(lockoutTrap);
  account.GenerateKeyText();
  return account;
}

}  // namespace

std::optional<UserAccount> TestServer::AddUser(const std::string& name, const std::string& password, bool lockoutTrap) {
  UserAccount account = NewTcpAccount(name, password, lockoutTrap);
  if (!Document().AddUser(account) || !JoinPublishers({account})) return std::nullopt;
  return Document().GetSettings().FindUser(account.GetId());
}

std::vector<UserAccount> TestServer::AddUsers(const std::vector<std::string>& names, const std::string& password) {
  platform::CriticalSection::Lock hold(Document().GetUserTableSection());
  ServerSettings& settings = Document().GetSettings();
  // Ids first, while the table is small: each id is saved, the accounts only once.
  std::vector<UserAccount> accounts;
  for (const std::string& name : names) {
    accounts.push_back(NewTcpAccount(name, password, false));
    accounts.back().SetId(settings.AllocateUserId());
    if (accounts.back().GetId() == -1) return {};
  }
  for (const UserAccount& account : accounts) settings.AddUser(account);
  if (!settings.SaveUsers(root_) || !JoinPublishers(accounts)) return {};
  std::vector<UserAccount> added;
  for (const UserAccount& account : accounts) added.push_back(*settings.FindUser(account.GetId()));
  return added;
}

bool TestServer::JoinPublishers(const std::vector<UserAccount>& accounts) const {
  return Document().GetGroups().Change([&accounts](GroupTable& table) {
    Group* publishers = table.Find(LibraryGroups::kPublishers);
    if (publishers == nullptr) return false;
    for (const UserAccount& account : accounts) {
      if (!publishers->HasMember(account.GetId())) publishers->members.push_back(account.GetId());
      table.placedUpTo = std::max(table.placedUpTo, account.GetId());
    }
    return true;
  });
}

std::unique_ptr<TestClient> TestServer::MakeClient(const UserAccount& account) const {
  return std::make_unique<TestClient>(static_cast<std::uint32_t>(account.GetId()),
                                      Document().GetSettings().GetDefaultKey(), account.GetKeyText());
}

std::optional<FileStatistics> TestServer::StoredDocument(const std::string& projectInternalName,
                                                         const std::string& name) const {
  const std::string folder = Document().GetProjectFolderPath(projectInternalName) + "/";
  ProjectFileList list;
  if (!list.Load(ProjectFileListPath(folder, projectInternalName)) || !list.Contains(name)) return std::nullopt;
  FileStatistics statistics;
  int lines = 0;
  if (statistics.Load(StatisticsPath(folder, list.Lookup(name)), lines) != 0) return std::nullopt;
  return statistics;
}

std::optional<UserAccount> TestServer::StoredUser(int id) const {
  ServerSettings settings(CertificateBuiltInKey());
  if (!settings.LoadUsers(root_)) return std::nullopt;
  return settings.FindUser(id);
}
