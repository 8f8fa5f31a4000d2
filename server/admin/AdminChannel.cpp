#include "server/admin/AdminChannel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "server/admin/AdminTrust.h"
#include "server/admin/LibraryAdministrator.h"
#include "server/admin/RunningServer.h"
#include "server/engine/ServerConsole.h"
#include "server/store/CWexmoorDoc.h"

namespace {

// How long "wexmoor admin" waits for the reply: a backup of a large library takes a while.
constexpr std::chrono::milliseconds kReplyBound{std::chrono::hours(1)};
constexpr int kAcceptRetryMs = 100;
constexpr mode_t kSocketUmask = 0177;

sockaddr_un AddressOf(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);   // the length was checked
  return address;
}

int NewSocket() { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0); }

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

AdminChannel::AdminChannel(CWexmoorDoc& document, ServerConsole& console) : document_(document), console_(console) {}

AdminChannel::~AdminChannel() {
  if (thread_.joinable()) {
    const char wake = 1;
    while (::write(wake_[1], &wake, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
  }
  if (backup_.joinable()) backup_.join();
  Close();
}

void AdminChannel::Close() {
  if (listener_ >= 0) {
    ::close(listener_);
    ::unlink(path_.c_str());
  }
  for (int& fd : wake_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  listener_ = -1;
}

std::string AdminChannel::Start(const std::string& workingFolder) {
  std::string reason;
  if (!AdminWire::SocketPath(workingFolder, path_, reason)) return reason;
  // Where others may write, they could swap the socket for their own.
  if (std::string problem = AdminTrust(::geteuid()).FolderProblem(workingFolder); !problem.empty()) return problem;
  // This server holds the library's instance guards, so a socket here was left by
  // one that was killed; anything else is not ours to remove.
  struct stat status {};
  if (::lstat(path_.c_str(), &status) == 0) {
    if (!S_ISSOCK(status.st_mode)) return path_ + " exists and is not a socket";
    if (::unlink(path_.c_str()) != 0) return Reason("the old socket " + path_ + " could not be removed");
  }
  const int listener = NewSocket();
  if (listener < 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
    if (listener >= 0) ::close(listener);
    Close();
    return Reason("the administration socket could not be made");
  }
  const sockaddr_un address = AddressOf(path_);
  // The socket is made 0600 from the start: a mode set later by path could reach
  // whatever was swapped in meanwhile. Files other threads make in this instant
  // come out more private, never less.
  const mode_t before = ::umask(kSocketUmask);
  const int bound = ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int bindError = errno;
  ::umask(before);
  if (bound != 0) {
    errno = bindError;
    reason = Reason("the administration socket " + path_ + " could not be made");
    ::close(listener);
    Close();
    return reason;
  }
  listener_ = listener;
  if (::listen(listener_, 4) != 0) {
    reason = Reason("the administration socket " + path_ + " could not be opened");
    Close();
    return reason;
  }
  thread_ = std::thread([this] { Serve(); });
  return "";
}

void AdminChannel::Serve() {
  for (;;) {
    pollfd waits[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (waits[1].revents != 0) return;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) {
      // Out of descriptors or memory: wait a little rather than spin, still waking for the stop.
      pollfd stop{wake_[0], POLLIN, 0};
      if (::poll(&stop, 1, kAcceptRetryMs) > 0) return;
      continue;
    }
    if (!Answer(connection)) ::close(connection);
  }
}

bool AdminChannel::Answer(int connection) {
  AdminWire::Reply reply;
  ucred peer{};
  socklen_t length = sizeof peer;
  if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::geteuid()) {
    reply.err = "Refused: this server takes administration commands only from the user it runs as (uid " +
                std::to_string(::geteuid()) + "), not from uid " + std::to_string(peer.uid);
    AdminWire::WriteFrame(connection, AdminWire::Encode(reply));
    return false;
  }
  std::string body;
  if (!AdminWire::ReadFrame(connection, body, AdminWire::kMaxRequestBytes, AdminWire::kPeerBound)) return false;
  AdminWire::Request request;
  if (!AdminWire::Decode(body, request)) {
    reply.status = LibraryAdministrator::kUsage;
    reply.err = "The administration request is malformed";
  } else if (!request.command.empty() && request.command[0] == "backup" && !backupRunning_) {
    // A backup takes a while: it runs on a thread of its own, so the commands after it wait for nothing.
    if (backup_.joinable()) backup_.join();
    backupRunning_ = true;
    backup_ = std::thread([this, connection, request, uid = peer.uid] {
      AdminWire::WriteFrame(connection, AdminWire::Encode(Run(request, uid)));
      ::close(connection);
      backupRunning_ = false;
    });
    return true;
  } else {
    reply = Run(request, peer.uid);
  }
  AdminWire::WriteFrame(connection, AdminWire::Encode(reply));
  return false;
}

AdminWire::Reply AdminChannel::Run(const AdminWire::Request& request, uid_t peer) {
  AdminWire::Reply reply;
  std::ostringstream out;
  std::ostringstream err;
  const std::optional<std::string> password = request.password;
  const PasswordSource source = [&password] { return password; };
  const RunningServer server(console_, "from the shell " + RunningServer::ByUser(peer));
  reply.status = LibraryAdministrator(document_, &server, source, out, err).Run(request.command);
  reply.out = out.str();
  reply.err = err.str();
  return reply;
}

CWexmoorApp::Companion StartAdminChannel(CWexmoorApp& app) {
  CWexmoorDoc& document = *CWexmoorApp::GetDocument();
  ServerConsole& console = *app.GetConsole();
  auto channel = std::make_shared<AdminChannel>(document, console);
  if (const std::string problem = channel->Start(document.GetWorkingFolder()); !problem.empty()) {
    console.AddStatusLine("No administration from the shell while this server runs: " + problem);
    return nullptr;
  }
  return channel;
}

AdminReach AskRunningServer(const std::string& workingFolder, const AdminTrust& trust,
                            const AdminWire::Request& request, AdminWire::Reply& reply, std::string& error) {
  std::string path;
  if (!AdminWire::SocketPath(workingFolder, path, error)) return AdminReach::NoServer;
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0 && errno == ENOENT) return AdminReach::NoServer;
  if (error = trust.SocketFileProblem(path); !error.empty()) return AdminReach::Failed;
  const int fd = NewSocket();
  if (fd < 0) {
    error = Reason("no socket");
    return AdminReach::Failed;
  }
  const sockaddr_un address = AddressOf(path);
  AdminReach reach = AdminReach::Failed;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno == ENOENT || errno == ECONNREFUSED) {
      reach = AdminReach::NoServer;
    } else {
      error = Reason("The running server's administration socket " + path + " cannot be opened") +
              " (run the command as the user the server runs as)";
    }
  } else if (error = trust.PeerProblem(fd, path); error.empty()) {
    // A refusal may come back before the request was taken: the reply is read either way.
    AdminWire::WriteFrame(fd, AdminWire::Encode(request));
    std::string body;
    if (!AdminWire::ReadFrame(fd, body, AdminWire::kMaxReplyBytes, kReplyBound) || !AdminWire::Decode(body, reply)) {
      error = "The running server did not answer the command whole; run \"users\" or \"checked-out\" to see what holds";
    } else {
      reach = AdminReach::Answered;
    }
  }
  ::close(fd);
  return reach;
}
