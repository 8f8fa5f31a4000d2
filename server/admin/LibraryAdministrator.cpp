#include "server/admin/LibraryAdministrator.h"

#include <algorithm>
#include <iomanip>

#include "common/PathParser.h"
#include "platform/CriticalSection.h"
#include "server/admin/CheckedOutList.h"
#include "server/admin/LibraryBackup.h"
#include "server/admin/ProjectPlaces.h"
#include "server/admin/RunningServer.h"
#include "server/admin/LibraryVerifier.h"
#include "server/admin/ServerValues.h"
#include "server/admin/TlsAdministration.h"
#include "server/admin/UserAdministration.h"
#include "server/admin/UserCertificateIssuer.h"
#include "server/admin/UserDetails.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/StoreFilePaths.h"
#include "server/store/ServerSettings.h"

namespace {

constexpr const char* kInvalidDetails = "User details are invalid.";

// Whether the account is valid once it has an id (any id will do for the check: a new
// account gets its id only when nothing refuses it).
bool IsValidNewAccount(UserAccount account) {
  account.SetId(0);
  return account.Validate();
}

// Applies the details to `account`; why they cannot be stored, empty when they can.
std::string ApplyDetails(const UserDetails& details, UserAccount& account) {
  const std::string refusal = details.Refusal();
  if (refusal.empty() && details.ApplyTo(account) && IsValidNewAccount(account)) return "";
  return std::string(kInvalidDetails) + (refusal.empty() ? "" : "\n\n" + refusal);
}

}  // namespace

struct LibraryAdministrator::Command {
  const char* name;
  std::size_t minArguments;
  std::size_t maxArguments;
  Needs needs;
  int (LibraryAdministrator::*run)(const Arguments&);
};

const LibraryAdministrator::Command* LibraryAdministrator::Find(const std::string& name) {
  static const Command kCommands[] = {
      {"users", 0, 0, {}, &LibraryAdministrator::Users},
      {"add-user", 1, 2, {true, 1}, &LibraryAdministrator::AddUser},
      {"set-password", 1, 1, {true, -1}, &LibraryAdministrator::SetPassword},
      {"unlock", 1, 1, {}, &LibraryAdministrator::Unlock},
      {"delete-user", 1, 1, {}, &LibraryAdministrator::DeleteUser},
      {"certificate", 2, 2, {false, 1}, &LibraryAdministrator::Certificate},
      {"set-library-name", 1, 1, {}, &LibraryAdministrator::SetLibraryName},
      {"set-port", 1, 1, {}, &LibraryAdministrator::SetPort},
      {"set-address", 1, 1, {}, &LibraryAdministrator::SetAddress},
      {"checked-out", 0, 0, {false, -1, true}, &LibraryAdministrator::CheckedOut},
      {"backup", 1, 1, {false, 0, true}, &LibraryAdministrator::Backup},
      {"release", 2, 2, {false, -1, true}, &LibraryAdministrator::Release},
      {"show", 0, 0, {false, -1, true}, &LibraryAdministrator::Show},
      {"status", 0, 0, {}, &LibraryAdministrator::Status},
      {"verify", 0, 0, {}, &LibraryAdministrator::Verify},
      {"tls-init", 0, 1, {}, &LibraryAdministrator::TlsInit},
      {"tls-import", 2, 2, {false, 0, false, 2}, &LibraryAdministrator::TlsImport},
      {"set-tls", 1, 2, {}, &LibraryAdministrator::SetTls},
      {"groups", 0, 0, {false, -1, true}, &LibraryAdministrator::Groups},
      {"group-add", 2, 2 + LibraryGroups::kMaxSubtrees, {false, -1, true}, &LibraryAdministrator::GroupAdd},
      {"group-delete", 1, 1, {false, -1, true}, &LibraryAdministrator::GroupDelete},
      {"group-set", 2, 2 + LibraryGroups::kMaxSubtrees, {false, -1, true}, &LibraryAdministrator::GroupSet},
      {"join", 2, 2, {false, -1, true}, &LibraryAdministrator::Join},
      {"leave", 2, 2, {false, -1, true}, &LibraryAdministrator::Leave},
      {"rights", 1, 2, {false, -1, true}, &LibraryAdministrator::Rights},
      {"set-default-group", 1, 1, {false, -1, true}, &LibraryAdministrator::SetDefaultGroup},
  };
  for (const Command& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

bool LibraryAdministrator::Check(const std::vector<std::string>& command, Needs& needs, std::string& error) {
  const Command* found = command.empty() ? nullptr : Find(command.front());
  if (found == nullptr) {
    error = command.empty() ? "no command" : "unknown command " + command.front();
    return false;
  }
  const std::size_t arguments = command.size() - 1;
  if (arguments < found->minArguments || arguments > found->maxArguments) {
    error = "wrong arguments for " + command.front();
    return false;
  }
  needs = found->needs;
  return true;
}

int LibraryAdministrator::Run(const std::vector<std::string>& command) {
  Needs needs;
  std::string error;
  if (!Check(command, needs, error)) {
    err_ << error << std::endl;
    return kUsage;
  }
  return (this->*(Find(command.front())->run))(Arguments(command.begin() + 1, command.end()));
}

int LibraryAdministrator::Users(const Arguments&) {
  const std::vector<std::string> connected =
      server_ != nullptr ? server_->ConnectedNames() : std::vector<std::string>{};
  platform::CriticalSection::Lock hold(document_.GetUserTableSection());
  const ServerSettings& settings = document_.GetSettings();
  out_ << std::left << std::setw(24) << "Name" << std::setw(12) << "Connection" << std::setw(12) << "Locked out"
       << "Connected now\n";
  for (int index = 0; index < settings.GetUserCount(); ++index) {
    const std::optional<UserAccount> account = settings.GetUser(index);
    // Only TCP/IP accounts can log on.
    const bool on = account->GetConnectionType() == UserAccount::kTcpIp &&
                    std::find(connected.begin(), connected.end(), account->GetName()) != connected.end();
    out_ << std::setw(24) << account->GetName() << std::setw(12)
         << UserAdministration::ConnectionTypeText(account->GetConnectionType()) << std::setw(12)
         << (account->IsLockedOut() ? "yes" : "no") << (on ? "yes" : "no") << '\n';
  }
  return kDone;
}

int LibraryAdministrator::AddUser(const Arguments& arguments) {
  const std::optional<std::string> password = password_();
  if (!password) return Refuse("No password was given");
  UserDetails details;
  details.name = arguments[0];
  details.password = *password;
  details.connectionType = UserAccount::kTcpIp;
  UserAccount account;
  account.SetId(-1);   // allocated by the addition, once nothing refuses it
  if (const std::string refusal = ApplyDetails(details, account); !refusal.empty()) return Refuse(refusal);
  switch (UserAdministration(document_).Add(account)) {
    case UserAdministration::Result::Done:
      break;
    case UserAdministration::Result::Duplicate:
      return Refuse(UserAdministration::DuplicateText(account.GetName()));
    default:
      return Refuse(UserAdministration::kSaveFailedText);
  }
  std::string told;
  // An account without the certificate asked for is of no use: it goes again.
  if (arguments.size() > 1 && !IssueCertificate(account.GetId(), arguments[1], told)) {
    const bool removed = UserAdministration(document_).Remove(account.GetId()) == UserAdministration::Result::Done;
    return Refuse(told + "\n" +
                  (removed ? "User " + account.GetName() + " was not added"
                           : std::string(UserAdministration::kSaveFailedText) + ": delete-user " + account.GetName() +
                                 " once it can be saved"));
  }
  return Done("User " + account.GetName() + " added" + (told.empty() ? "" : "\n" + told));
}

int LibraryAdministrator::SetPassword(const Arguments& arguments) {
  const std::optional<UserAccount> account = FindByName(arguments[0]);
  if (!account) return NoSuchUser(arguments[0]);
  const std::optional<std::string> password = password_();
  if (!password) return Refuse("No password was given");
  UserDetails details = UserDetails::FromAccount(*account);
  details.password = *password;
  UserAccount edited = *account;
  if (const std::string refusal = ApplyDetails(details, edited); !refusal.empty()) return Refuse(refusal);
  return Change(*account, "password set", [&details](UserAccount& stored) { details.ApplyTo(stored); });
}

int LibraryAdministrator::Unlock(const Arguments& arguments) {
  const std::optional<UserAccount> account = FindByName(arguments[0]);
  if (!account) return NoSuchUser(arguments[0]);
  return Change(*account, "unlocked", [](UserAccount& stored) { stored.Unlock(); });
}

int LibraryAdministrator::DeleteUser(const Arguments& arguments) {
  const std::optional<UserAccount> account = FindByName(arguments[0]);
  if (!account) return NoSuchUser(arguments[0]);
  if (UserAdministration(document_).Remove(account->GetId()) != UserAdministration::Result::Done) {
    return Refuse(UserAdministration::kSaveFailedText);
  }
  return Done("User " + account->GetName() + " deleted");
}

int LibraryAdministrator::Certificate(const Arguments& arguments) {
  const std::optional<UserAccount> account = FindByName(arguments[0]);
  if (!account) return NoSuchUser(arguments[0]);
  std::string told;
  return IssueCertificate(account->GetId(), arguments[1], told) ? Done(told) : Refuse(told);
}

int LibraryAdministrator::SetLibraryName(const Arguments& arguments) {
  const std::string& name = arguments[0];
  if (const std::string refusal = ServerValues::LibraryNameRefusal(name); !refusal.empty()) return Refuse(refusal);
  if (!ServerValues::SaveLibraryName(document_, name, /*tellUser=*/false)) {
    return Refuse(UserAdministration::kSaveFailedText);
  }
  return Done("The library is named " + document_.GetSettings().GetLibraryName());
}

int LibraryAdministrator::SetPort(const Arguments& arguments) {
  return SetAddressAndPort(document_.GetSettings().GetServerAddress(), arguments[0]);
}

int LibraryAdministrator::SetAddress(const Arguments& arguments) {
  if (arguments[0] == ServerSettings::kNewLibraryServerAddress) {
    return Refuse(std::string(ServerSettings::kNewLibraryServerAddress) +
                  " stands for this machine's host name, which the server puts in its place at every start; " +
                  "for certificates that reach this machine only, set localhost");
  }
  return SetAddressAndPort(arguments[0], std::to_string(document_.GetSettings().GetPort()));
}

int LibraryAdministrator::CheckedOut(const Arguments&) {
  const std::vector<CheckedOutDocument> rows = ListCheckedOut(document_);
  if (rows.empty()) {
    out_ << "No document is checked out" << std::endl;
    return kDone;
  }
  out_ << "Project\tDocument\tHolder\tChecked out\n";
  for (const CheckedOutDocument& row : rows) {
    out_ << row.projectPath << '\t' << row.document << '\t' << row.holder << '\t' << row.since << '\n';
  }
  out_.flush();
  return kDone;
}

int LibraryAdministrator::Backup(const Arguments& arguments) {
  const std::string folder = PathParser::FullPath(arguments[0]);
  if (const std::string problem = LibraryBackup(document_).Make(folder); !problem.empty()) return Refuse(problem);
  out_ << "The library is backed up in " << folder << "; to serve the copy: wexmoor --headless --workdir " << folder
       << std::endl;
  return kDone;
}

int LibraryAdministrator::Release(const Arguments& arguments) {
  const std::string& path = arguments[0];
  const std::string& name = arguments[1];
  const std::string project = FindProjectByPath(document_, path);
  if (project.empty()) return Refuse("No project is shown as " + path + " (write the path as \"checked-out\" shows it)");
  std::string holder;
  switch (const int code = document_.ReleaseCheckOut(project, name, holder)) {
    case 0:
      return Done("The check-out of " + name + " in " + path + " by " + holder + " is released; no version was made");
    case FileStatistics::kNothingCheckedOut:
      return Refuse(name + " in " + path + " is not checked out");
    case CWexmoorDoc::kDocumentNotListed:
      return Refuse("The project " + path + " holds no document named " + name);
    case CWexmoorDoc::kProjectNotFound:
      return Refuse("No project is shown as " + path);
    default:
      return Refuse("The check-out of " + name + " in " + path + " was not released: a record of it or of a " +
                    "reference checked out with it could not be read or written (code " + std::to_string(code) +
                    "); nothing changed");
  }
}

int LibraryAdministrator::Show(const Arguments&) {
  const std::vector<ProjectPlace> places = ListProjectPlaces(document_);
  long long documents = 0;
  RecordCache& records = document_.GetRecordCache();
  for (const ProjectPlace& place : places) {
    const RecordCache::ListRecord list = records.List(ProjectFileListPath(place.folder, place.internalName));
    if (!list->LoadFailed()) documents += list->GetCount();
  }
  std::string library;
  std::string address;
  int port = 0;
  int users = 0;
  {
    platform::CriticalSection::Lock hold(document_.GetUserTableSection());
    const ServerSettings& settings = document_.GetSettings();
    library = settings.GetLibraryName();
    address = settings.GetServerAddress();
    port = settings.GetPort();
    users = settings.GetUserCount();
  }
  out_ << std::left << std::setw(16) << "Library" << library << '\n'
       << std::setw(16) << "Address" << address << '\n'
       << std::setw(16) << "Port" << port << '\n'
       << std::setw(16) << "TLS" << TlsAdministration(document_, server_).Summary() << '\n'
       << std::setw(16) << "Root" << document_.GetRootPath() << '\n'
       << std::setw(16) << "Projects" << places.size() << '\n'
       << std::setw(16) << "Documents" << documents << '\n'
       << std::setw(16) << "Users" << users << '\n'
       << std::setw(16) << "Connected now";
  if (server_ != nullptr) {
    out_ << server_->ConnectedNames().size() << '\n';
  } else {
    out_ << "no server runs\n";
  }
  out_.flush();
  return kDone;
}

int LibraryAdministrator::Status(const Arguments&) {
  if (server_ == nullptr) {
    err_ << "No server runs on the library of " << document_.GetWorkingFolder() << std::endl;
    return kNotRunning;
  }
  const std::vector<std::string> connected = server_->ConnectedNames();
  out_ << "The server of " << document_.GetSettings().GetLibraryName() << " answers. " << server_->UpTime() << ".\n"
       << "Connected now: " << connected.size() << (connected.empty() ? "" : " (") ;
  for (std::size_t i = 0; i < connected.size(); ++i) out_ << (i == 0 ? "" : ", ") << connected[i];
  out_ << (connected.empty() ? "" : ")") << '\n';
  const std::vector<std::string> start = document_.GetNotes().GetStartLines();
  if (start.empty()) {
    out_ << "Its start found nothing to finish or move.\n";
  } else {
    out_ << "Its start:\n";
    for (const std::string& line : start) out_ << "  " << line << '\n';
  }
  out_.flush();
  return kDone;
}

int LibraryAdministrator::Verify(const Arguments&) {
  // A served library changes while it is read, and its journal is in use.
  if (server_ != nullptr) {
    return Refuse("verify checks a stopped library or a backup: stop the server, or back the library up and "
                  "verify the backup with wexmoor admin --workdir DIR verify");
  }
  const LibraryVerifier::Report report = LibraryVerifier(document_).Verify();
  out_ << "Checked " << document_.GetRootPath() << ": " << report.projects << " projects, " << report.documents
       << " documents, " << report.versions << " versions\n";
  for (const std::string& problem : report.problems) out_ << "  " << problem << '\n';
  if (report.problems.empty()) {
    out_ << "No problem found" << std::endl;
    return kDone;
  }
  out_ << report.problems.size() << " problem(s) found" << std::endl;
  return kRefused;
}

int LibraryAdministrator::TlsInit(const Arguments& arguments) {
  if (!arguments.empty() && arguments[0] != "--renew") return Refuse("tls-init takes only --renew");
  const TlsAdministration::Outcome outcome = TlsAdministration(document_, server_).MakeKey(!arguments.empty());
  return outcome.done ? Done(outcome.text) : Refuse(outcome.text);
}

int LibraryAdministrator::TlsImport(const Arguments& arguments) {
  const TlsAdministration::Outcome outcome = TlsAdministration(document_, server_).ImportKey(
      PathParser::FullPath(arguments[0]), PathParser::FullPath(arguments[1]));
  return outcome.done ? Done(outcome.text) : Refuse(outcome.text);
}

int LibraryAdministrator::SetTls(const Arguments& arguments) {
  const TlsAdministration::Outcome outcome =
      TlsAdministration(document_, server_).SetMode(arguments[0], arguments.size() > 1 ? arguments[1] : "");
  return outcome.done ? Done(outcome.text) : Refuse(outcome.text);
}

int LibraryAdministrator::Groups(const Arguments&) {
  for (const GroupAdministration::GroupView& group : GroupAdministration(document_).List()) {
    out_ << group.name << (group.isDefault ? " (default)" : "") << '\t' << GroupRoleText(group.role) << '\t';
    if (group.subtrees.empty()) out_ << "whole library";
    for (std::size_t i = 0; i < group.subtrees.size(); ++i) out_ << (i == 0 ? "" : ", ") << group.subtrees[i];
    out_ << '\t';
    for (std::size_t i = 0; i < group.members.size(); ++i) out_ << (i == 0 ? "" : ", ") << group.members[i];
    out_ << '\n';
  }
  out_.flush();
  return kDone;
}

int LibraryAdministrator::GroupAdd(const Arguments& arguments) {
  return Told(GroupAdministration(document_).Add(arguments[0], arguments[1], Arguments(arguments.begin() + 2, arguments.end())));
}

int LibraryAdministrator::GroupDelete(const Arguments& arguments) {
  return Told(GroupAdministration(document_).Delete(arguments[0]));
}

int LibraryAdministrator::GroupSet(const Arguments& arguments) {
  return Told(GroupAdministration(document_).Set(arguments[0], arguments[1], Arguments(arguments.begin() + 2, arguments.end())));
}

int LibraryAdministrator::Join(const Arguments& arguments) {
  return Told(GroupAdministration(document_).Join(arguments[0], arguments[1]));
}

int LibraryAdministrator::Leave(const Arguments& arguments) {
  return Told(GroupAdministration(document_).Leave(arguments[0], arguments[1]));
}

int LibraryAdministrator::Rights(const Arguments& arguments) {
  const GroupAdministration groups(document_);
  if (arguments.size() == 2) {
    GroupAdministration::RightView right;
    if (const GroupAdministration::Outcome outcome = groups.RightIn(arguments[0], arguments[1], right); !outcome.done) {
      return Refuse(outcome.text);
    }
    out_ << arguments[0] << " is " << GroupRoleText(right.role) << " in " << arguments[1]
         << (right.group.empty() ? " (no group of the account covers it)" : " through group " + right.group)
         << ": may " << GroupAdministration::RoleAbilities(right.role) << std::endl;
    return kDone;
  }
  std::vector<GroupAdministration::RightView> rows;
  if (const GroupAdministration::Outcome outcome = groups.Rights(arguments[0], rows); !outcome.done) {
    return Refuse(outcome.text);
  }
  if (rows.empty()) out_ << arguments[0] << " is in no group and sees no project\n";
  for (const GroupAdministration::RightView& row : rows) {
    out_ << GroupRoleText(row.role) << '\t' << (row.subtree.empty() ? "whole library" : row.subtree) << '\t'
         << row.group << '\n';
  }
  out_.flush();
  return kDone;
}

int LibraryAdministrator::SetDefaultGroup(const Arguments& arguments) {
  return Told(GroupAdministration(document_).SetDefault(arguments[0]));
}

int LibraryAdministrator::Told(const GroupAdministration::Outcome& outcome) {
  return outcome.done ? Done(outcome.text) : Refuse(outcome.text);
}

int LibraryAdministrator::Refuse(const std::string& reason) {
  err_ << reason << std::endl;
  return kRefused;
}

// The TCP/IP account of that name (the only kind that can connect).
std::optional<UserAccount> LibraryAdministrator::FindByName(const std::string& name) const {
  platform::CriticalSection::Lock hold(document_.GetUserTableSection());
  const ServerSettings& settings = document_.GetSettings();
  for (int index = 0; index < settings.GetUserCount(); ++index) {
    std::optional<UserAccount> account = settings.GetUser(index);
    if (account->GetName() == name && account->GetConnectionType() == UserAccount::kTcpIp) return account;
  }
  return std::nullopt;
}

int LibraryAdministrator::Change(const UserAccount& account, const std::string& done,
                                 const std::function<void(UserAccount&)>& change) {
  switch (UserAdministration(document_).Change(account.GetId(), change)) {
    case UserAdministration::Result::Done:
      return Done("User " + account.GetName() + ' ' + done);
    case UserAdministration::Result::Absent:
      return NoSuchUser(account.GetName());
    default:
      return Refuse(UserAdministration::kSaveFailedText);
  }
}

bool LibraryAdministrator::IssueCertificate(int id, const std::string& file, std::string& told) {
  const std::string path = PathParser::FullPath(file);
  std::string reason;
  switch (UserCertificateIssuer(document_).Issue(id, path, reason)) {
    case UserCertificateIssuer::Result::Written:
      told = UserCertificateIssuer::WrittenText(path);
      return true;
    case UserCertificateIssuer::Result::UserAbsent:
      told = "The user is absent from the user table";
      break;
    case UserCertificateIssuer::Result::UsersNotSaved:
      told = UserAdministration::kSaveFailedText;
      break;
    case UserCertificateIssuer::Result::FileNotWritten:
      told = UserCertificateIssuer::NotWrittenText(path, reason);
      break;
    case UserCertificateIssuer::Result::FileNotWrittenUsersNotRestored:
      told = UserCertificateIssuer::NotWrittenText(path, reason) + "\n" + UserAdministration::kSaveFailedText;
      break;
  }
  return false;
}

int LibraryAdministrator::Done(const std::string& done) {
  out_ << done << std::endl;
  if (server_ != nullptr) server_->RecordChange(done);
  return kDone;
}

int LibraryAdministrator::SetAddressAndPort(const std::string& address, const std::string& portText) {
  const int before = document_.GetSettings().GetPort();
  int port = 0;
  if (const std::string refusal = ServerValues::AddressRefusal(address, portText, port); !refusal.empty()) {
    return Refuse(refusal);
  }
  if (!ServerValues::SaveAddressAndPort(document_, address, port, /*tellUser=*/false)) {
    return Refuse(UserAdministration::kSaveFailedText);
  }
  const int listening = server_ != nullptr ? server_->ListeningPort() : 0;
  const std::string notice = ServerValues::PortNotice(port, before, listening);
  return Done("Server address " + address + ", port " + std::to_string(port) + (notice.empty() ? "" : "\n" + notice));
}
