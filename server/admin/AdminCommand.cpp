#include "server/admin/AdminCommand.h"

#include "common/BuiltInKeys.h"
#include "common/PathParser.h"
#include "platform/Notifier.h"
#include "server/admin/AdminChannel.h"
#include "server/admin/AdminTrust.h"
#include "server/engine/CWexmoorApp.h"
#include "server/store/CWexmoorDoc.h"

const char* const kAdminUsage =
    "usage: wexmoor admin [--workdir DIR] [--root DIR] COMMAND\n"
    "  users                      list the accounts (name, connection, locked out, connected now)\n"
    "  add-user NAME [FILE]       add a TCP/IP account (password on standard input) and,\n"
    "                             with FILE, write its connection certificate there\n"
    "  set-password NAME          give the account a new password (on standard input)\n"
    "  unlock NAME                unlock a locked-out account\n"
    "  delete-user NAME           delete the account\n"
    "  certificate NAME FILE      write the account's connection certificate (mode 0600)\n"
    "  set-library-name NAME      rename the library\n"
    "  set-port PORT              the listening port, from the server's next start\n"
    "  set-address ADDRESS        the server address that certificates carry\n"
    "  checked-out                list the checked-out documents (project, document, holder, since)\n"
    "  release PROJECT-PATH DOC   end the check-out of DOC as if it never happened (no version is\n"
    "                             made); PROJECT-PATH as checked-out shows it\n"
    "  show                       the library's name, address, port, root and counts\n"
    "  status                     whether a server answers here: 0 with its up time, connections\n"
    "                             and what its start finished; 3 when none runs\n"
    "  backup DIR                 copy the library into the new or empty folder DIR while clients\n"
    "                             work; serve the copy with: wexmoor --headless --workdir DIR\n"
    "  verify                     check a stopped library or a backup without serving it: every\n"
    "                             record parses, every version is there with its size\n"
    "  tls-init [--renew]         make the server's TLS key and self-signed certificate (mode 0600\n"
    "                             in the library root); --renew replaces them\n"
    "  tls-import CERT KEY        take a PEM certificate (chain) and its key as the server's\n"
    "  set-tls MODE [PORT]        off, optional (plain and TLS) or required (TLS only) and the\n"
    "                             TLS port (default: the library's port + 1); a running server\n"
    "                             serves the TLS changes at once\n"
    "  groups                     list the groups (name, role, subtrees, members)\n"
    "  group-add NAME ROLE [PROJECT-PATH ...]\n"
    "                             add a group: ROLE reader, author or publisher, over the\n"
    "                             subtrees given (none: the whole library)\n"
    "  group-set NAME ROLE [PROJECT-PATH ...]\n"
    "                             give the group a new role and subtrees\n"
    "  group-delete NAME          delete the group (not the default group)\n"
    "  join USER GROUP            put the account in the group\n"
    "  leave USER GROUP           take the account out of the group\n"
    "  rights USER [PROJECT-PATH] the account's groups, or its role in the project and the group\n"
    "                             giving it\n"
    "  set-default-group NAME     the group new accounts join (Authors in a new library)\n"
    "When a server runs in the working folder the command goes to it (run it as the user the\n"
    "server runs as; files are written by the server); otherwise it works on the library itself.\n";

namespace {

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

// The command on the library itself, when no server runs on it. Only the root's
// guard is taken (a copy may carry a running server's port), and a command that
// changes or lists accounts reads the users file alone.
int RunOnStoppedLibrary(const AdminOptions& options, const std::string& workingFolder, const AdminTrust& trust,
                        const std::vector<std::string>& command, const LibraryAdministrator::Needs& needs,
                        const PasswordSource& password, std::ostream& out, std::ostream& err) {
  const NotificationsToStream notifications(err);
  CWexmoorApp::SeedRootPathFile(workingFolder,
                                options.rootPath.empty() ? "" : PathParser::FullPath(options.rootPath));
  CWexmoorDoc document({workingFolder, options.lockFolder, CertificateBuiltInKey(), /*administration=*/true});
  if (!(needs.library ? document.OnNewDocument() : document.OpenUsers())) {
    err << "The library of " << workingFolder << " could not be opened: " << document.GetStartProblem() << std::endl;
    return LibraryAdministrator::kRefused;
  }
  if (const std::string problem = trust.FolderProblem(document.GetRootPath()); !problem.empty()) {
    err << problem << std::endl;
    return LibraryAdministrator::kRefused;
  }
  return LibraryAdministrator(document, nullptr, password, out, err).Run(command);
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
  if (i < arguments.size() && arguments[i] == "--help") {
    options.help = true;
    return true;
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
  LibraryAdministrator::Needs needs;
  std::string error;
  if (!LibraryAdministrator::Check(options.command, needs, error)) {
    err << error << '\n' << kAdminUsage;
    return LibraryAdministrator::kUsage;
  }
  AdminWire::Request request{options.command, std::nullopt};
  // The server's current folder is not this one: it gets full paths.
  for (int n = 0; needs.pathArgument >= 0 && n < needs.pathCount; ++n) {
    const std::size_t at = static_cast<std::size_t>(needs.pathArgument + n) + 1;
    if (at < request.command.size()) request.command[at] = PathParser::FullPath(request.command[at]);
  }
  const std::string workingFolder = PathParser::FullPath(options.workingFolder.empty() ? "." : options.workingFolder);
  const std::optional<AdminTrust> trust = AdminTrust::OfWorkingFolder(workingFolder, error);
  if (!trust) {
    err << error << std::endl;
    return LibraryAdministrator::kRefused;
  }
  if (needs.password) request.password = password();

  AdminWire::Reply reply;
  switch (AskRunningServer(workingFolder, *trust, request, reply, error)) {
    case AdminReach::Answered:
      out << reply.out << std::flush;
      err << reply.err << std::flush;
      return reply.status;
    case AdminReach::Failed:
      err << error << std::endl;
      return LibraryAdministrator::kRefused;
    case AdminReach::NoServer:
      break;
  }
  // Opening the library to say that no server holds it would take its guards.
  if (options.command.front() == "status") {
    err << "No server runs in " << workingFolder << std::endl;
    return LibraryAdministrator::kNotRunning;
  }
  const PasswordSource given = [&request] { return request.password; };
  return RunOnStoppedLibrary(options, workingFolder, *trust, request.command, needs, given, out, err);
}
