#include "server/admin/AdminCommand.h"

#include <iomanip>
#include <memory>

#include "common/BuiltInKeys.h"
#include "common/FileHelpers.h"
#include "common/PathParser.h"
#include "platform/CriticalSection.h"
#include "platform/Notifier.h"
#include "server/admin/ServerValues.h"
#include "server/admin/UserAdministration.h"
#include "server/admin/UserCertificateIssuer.h"
#include "server/admin/UserDetails.h"
#include "server/engine/CWexmoorApp.h"
#include "server/store/CWexmoorDoc.h"

const char* const kAdminUsage =
    "usage: wexmoor admin [--workdir DIR] [--root DIR] COMMAND\n"
    "  users                      list the accounts\n"
    "  add-user NAME [FILE]       add a TCP/IP account (password on standard input) and,\n"
    "                             with FILE, write its connection certificate there\n"
    "  set-password NAME          give the account a new password (on standard input)\n"
    "  unlock NAME                unlock a locked-out account\n"
    "  delete-user NAME           delete the account\n"
    "  certificate NAME FILE      write the account's connection certificate (mode 0600)\n"
    "  set-library-name NAME      rename the library\n"
    "  set-port PORT              the listening port, from the server's next start\n"
    "  set-address ADDRESS        the server address that certificates carry\n";

namespace {

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kUsage = 64;

// Whether the account is valid once it has an id (any id will do for the check: a new
// account gets its id only when nothing refuses it).
bool IsValidNewAccount(UserAccount account) {
  account.SetId(0);
  return account.Validate();
}

// The messages the library's code would show in a box go to the command's error
// stream while it runs.
class NotificationsToStream {
 public:
  explicit NotificationsToStream(std::ostream& err) {
    platform::SetNotifyHandler([&err](const platform::Notification& notification) {
      err << notification.text << std::endl;
      return platform::IsAnsweredByYes(notification.buttons) ? platform::NotifyAnswer::Yes : platform::NotifyAnswer::Ok;
    });
  }
  ~NotificationsToStream() { platform::SetNotifyHandler(nullptr); }
  NotificationsToStream(const NotificationsToStream&) = delete;
  NotificationsToStream& operator=(const NotificationsToStream&) = delete;
};

// One command on an opened library.
class LibraryAdministrator {
 public:
  LibraryAdministrator(CWexmoorDoc& document, const PasswordSource& password, std::ostream& out, std::ostream& err)
      : document_(document), password_(password), out_(out), err_(err) {}

  int Users(const std::vector<std::string>&) {
    platform::CriticalSection::Lock hold(document_.GetUserTableSection());
    const ServerSettings& settings = document_.GetSettings();
    out_ << std::left << std::setw(24) << "Name" << std::setw(12) << "Connection" << "Locked out\n";
    for (int index = 0; index < settings.GetUserCount(); ++index) {
      const std::optional<UserAccount> account = settings.GetUser(index);
      out_ << std::setw(24) << account->GetName() << std::setw(12)
           << UserAdministration::ConnectionTypeText(account->GetConnectionType())
           << (account->IsLockedOut() ? "yes" : "no") << '\n';
    }
    return kDone;
  }

  int AddUser(const std::vector<std::string>& arguments) {
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
    out_ << "User " << account.GetName() << " added" << std::endl;
    return arguments.size() > 1 ? WriteCertificate(account.GetId(), arguments[1]) : kDone;
  }

  int SetPassword(const std::vector<std::string>& arguments) {
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

  int Unlock(const std::vector<std::string>& arguments) {
    const std::optional<UserAccount> account = FindByName(arguments[0]);
    if (!account) return NoSuchUser(arguments[0]);
    return Change(*account, "unlocked", [](UserAccount& stored) { stored.Unlock(); });
  }

  int DeleteUser(const std::vector<std::string>& arguments) {
    const std::optional<UserAccount> account = FindByName(arguments[0]);
    if (!account) return NoSuchUser(arguments[0]);
    if (UserAdministration(document_).Remove(account->GetId()) != UserAdministration::Result::Done) {
      return Refuse(UserAdministration::kSaveFailedText);
    }
    out_ << "User " << account->GetName() << " deleted" << std::endl;
    return kDone;
  }

  int Certificate(const std::vector<std::string>& arguments) {
    const std::optional<UserAccount> account = FindByName(arguments[0]);
    if (!account) return NoSuchUser(arguments[0]);
    return WriteCertificate(account->GetId(), arguments[1]);
  }

  int SetLibraryName(const std::vector<std::string>& arguments) {
    const std::string& name = arguments[0];
    if (const std::string refusal = ServerValues::LibraryNameRefusal(name); !refusal.empty()) return Refuse(refusal);
    if (!ServerValues::SaveLibraryName(document_, name)) return kRefused;
    out_ << "The library is named " << document_.GetSettings().GetLibraryName() << std::endl;
    return kDone;
  }

  int SetPort(const std::vector<std::string>& arguments) {
    return SetAddressAndPort(document_.GetSettings().GetServerAddress(), arguments[0]);
  }

  int SetAddress(const std::vector<std::string>& arguments) {
    return SetAddressAndPort(arguments[0], std::to_string(document_.GetSettings().GetPort()));
  }

 private:
  static constexpr const char* kInvalidDetails = "User details are invalid.";

  // Applies the details to `account`; why they cannot be stored, empty when they can.
  static std::string ApplyDetails(const UserDetails& details, UserAccount& account) {
    const std::string refusal = details.Refusal();
    if (refusal.empty() && details.ApplyTo(account) && IsValidNewAccount(account)) return "";
    return std::string(kInvalidDetails) + (refusal.empty() ? "" : "\n\n" + refusal);
  }

  int Refuse(const std::string& reason) {
    err_ << reason << std::endl;
    return kRefused;
  }
  int NoSuchUser(const std::string& name) { return Refuse("No TCP/IP user is named " + name); }

  // The TCP/IP account of that name (the only kind that can connect).
  std::optional<UserAccount> FindByName(const std::string& name) const {
    platform::CriticalSection::Lock hold(document_.GetUserTableSection());
    const ServerSettings& settings = document_.GetSettings();
    for (int index = 0; index < settings.GetUserCount(); ++index) {
      std::optional<UserAccount> account = settings.GetUser(index);
      if (account->GetName() == name && account->GetConnectionType() == UserAccount::kTcpIp) return account;
    }
    return std::nullopt;
  }

  int Change(const UserAccount& account, const std::string& done, const std::function<void(UserAccount&)>& change) {
    switch (UserAdministration(document_).Change(account.GetId(), change)) {
      case UserAdministration::Result::Done:
        out_ << "User " << account.GetName() << ' ' << done << std::endl;
        return kDone;
      case UserAdministration::Result::Absent:
        return NoSuchUser(account.GetName());
      default:
        return Refuse(UserAdministration::kSaveFailedText);
    }
  }

  int WriteCertificate(int id, const std::string& file) {
    const std::string path = PathParser::FullPath(file);
    std::string reason;
    switch (UserCertificateIssuer(document_).Issue(id, path, reason)) {
      case UserCertificateIssuer::Result::Written:
        out_ << UserCertificateIssuer::WrittenText(path) << std::endl;
        return kDone;
      case UserCertificateIssuer::Result::UserAbsent:
        return Refuse("The user is absent from the user table");
      case UserCertificateIssuer::Result::UsersNotSaved:
        return Refuse(UserAdministration::kSaveFailedText);
      case UserCertificateIssuer::Result::FileNotWritten:
        return Refuse(UserCertificateIssuer::NotWrittenText(path, reason));
      case UserCertificateIssuer::Result::FileNotWrittenUsersNotRestored:
        return Refuse(UserCertificateIssuer::NotWrittenText(path, reason) + "\n" +
                      UserAdministration::kSaveFailedText);
    }
    return kRefused;
  }

  int SetAddressAndPort(const std::string& address, const std::string& portText) {
    const int before = document_.GetSettings().GetPort();
    int port = 0;
    if (const std::string refusal = ServerValues::AddressRefusal(address, portText, port); !refusal.empty()) {
      return Refuse(refusal);
    }
    if (!ServerValues::SaveAddressAndPort(document_, address, port)) return kRefused;
    out_ << "Server address " << address << ", port " << port << std::endl;
    if (const std::string notice = ServerValues::PortNotice(port, before); !notice.empty()) out_ << notice << std::endl;
    return kDone;
  }

  CWexmoorDoc& document_;
  const PasswordSource& password_;
  std::ostream& out_;
  std::ostream& err_;
};

struct Command {
  const char* name;
  std::size_t minArguments;
  std::size_t maxArguments;
  int (LibraryAdministrator::*run)(const std::vector<std::string>&);
};

const Command* FindCommand(const std::string& name) {
  static const Command kCommands[] = {
      {"users", 0, 0, &LibraryAdministrator::Users},
      {"add-user", 1, 2, &LibraryAdministrator::AddUser},
      {"set-password", 1, 1, &LibraryAdministrator::SetPassword},
      {"unlock", 1, 1, &LibraryAdministrator::Unlock},
      {"delete-user", 1, 1, &LibraryAdministrator::DeleteUser},
      {"certificate", 2, 2, &LibraryAdministrator::Certificate},
      {"set-library-name", 1, 1, &LibraryAdministrator::SetLibraryName},
      {"set-port", 1, 1, &LibraryAdministrator::SetPort},
      {"set-address", 1, 1, &LibraryAdministrator::SetAddress},
  };
  for (const Command& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

}  // namespace

bool ParseAdminArguments(const std::vector<std::string>& arguments, AdminOptions& options, std::string& error) {
  options = AdminOptions{};
  std::size_t i = 0;
  for (; i < arguments.size() && (arguments[i] == "--workdir" || arguments[i] == "--root"); i += 2) {
    if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
      error = arguments[i] + " needs a folder";
      return false;
    }
    (arguments[i] == "--workdir" ? options.workingFolder : options.rootPath) = arguments[i + 1];
  }
  options.command.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end());
  if (options.command.empty()) {
    error = "no command";
    return false;
  }
  if (options.command.front().rfind("--", 0) == 0) {
    error = "unknown argument " + options.command.front();
    return false;
  }
  return true;
}

int RunAdminCommand(const AdminOptions& options, const PasswordSource& password, std::ostream& out,
                    std::ostream& err) {
  const std::string& name = options.command.front();
  const std::vector<std::string> arguments(options.command.begin() + 1, options.command.end());
  const Command* command = FindCommand(name);
  if (command == nullptr || arguments.size() < command->minArguments || arguments.size() > command->maxArguments) {
    err << (command == nullptr ? "unknown command " + name : "wrong arguments for " + name) << '\n' << kAdminUsage;
    return kUsage;
  }

  const NotificationsToStream notifications(err);
  const std::string workingFolder = PathParser::FullPath(options.workingFolder.empty() ? "." : options.workingFolder);
  if (!CreateFolderPath(workingFolder)) {   // as the server makes it
    err << "Cannot create the working folder " << workingFolder << std::endl;
    return kRefused;
  }
  CWexmoorApp::SeedRootPathFile(workingFolder,
                                options.rootPath.empty() ? "" : PathParser::FullPath(options.rootPath));
  CWexmoorDoc document({workingFolder, options.lockFolder, CertificateBuiltInKey()});
  if (!document.OnNewDocument()) {
    err << "The library of " << workingFolder
        << " could not be opened: a running server holds it (stop the server first) or its files cannot be read"
        << std::endl;
    return kRefused;
  }
  LibraryAdministrator administrator(document, password, out, err);
  return (administrator.*(command->run))(arguments);
}
