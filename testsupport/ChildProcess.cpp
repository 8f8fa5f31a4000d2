#include "testsupport/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// False at the end of the pipe.
bool ReadSome(int fd, std::string& into) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 200) <= 0) return true;
  char buffer[4096];
  const ssize_t n = read(fd, buffer, sizeof buffer);
  if (n <= 0) return false;
  into.append(buffer, static_cast<std::size_t>(n));
  return true;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const Options& options) {
  int out[2], err[2], in[2] = {-1, -1};
  if (pipe2(out, O_CLOEXEC) != 0) return;
  if (pipe2(err, O_CLOEXEC) != 0 || (options.withInput && pipe2(in, O_CLOEXEC) != 0)) {
    for (const int fd : {out[0], out[1], err[0], err[1]}) close(fd);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  if (options.withInput) posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // SIGPIPE from writing to a child that has gone must not end the test.
  signal(SIGPIPE, SIG_IGN);
  if (options.blockTerminationSignals) {
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    posix_spawnattr_setsigmask(&attributes, &blocked);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  }
  std::vector<std::string> all{program};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<std::string> variables = options.environment;
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  if (posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(),
                  options.ownEnvironment ? envp.data() : environ) != 0) {
    pid_ = -1;
  }
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  out_ = out[0];
  err_ = err[0];
  if (options.withInput) {
    close(in[0]);
    in_ = in[1];
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  CloseInput();
  if (out_ >= 0) close(out_);
  if (err_ >= 0) close(err_);
}

bool ChildProcess::WriteInput(const std::string& text) {
  std::size_t written = 0;
  while (in_ >= 0 && written < text.size()) {
    const ssize_t n = write(in_, text.data() + written, text.size() - written);
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return in_ >= 0;
}

void ChildProcess::CloseInput() {
  if (in_ >= 0) close(in_);
  in_ = -1;
}

bool ChildProcess::WaitForOutput(const std::string& text, std::size_t from, std::chrono::milliseconds bound) {
  const auto deadline = Clock::now() + bound;
  while (output_.find(text, from) == std::string::npos && Clock::now() < deadline) {
    if (!ReadSome(out_, output_)) break;
  }
  return output_.find(text, from) != std::string::npos;
}

int ChildProcess::Finish() {
  if (pid_ <= 0) return -1;
  CloseInput();
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (ReadSome(out_, output_) && Clock::now() < deadline) {
  }
  while (ReadSome(err_, errors_) && Clock::now() < deadline) {
  }
  if (Clock::now() >= deadline) kill(pid_, SIGKILL);   // hung: no wait without end
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::Signal(int number) {
  if (pid_ > 0) kill(pid_, number);
}

std::vector<std::string> ChildProcess::EnvironmentWithoutDisplay() {
  std::vector<std::string> kept;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string text = *variable;
    const std::string name = text.substr(0, text.find('='));
    if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "QT_QPA_PLATFORM") kept.push_back(text);
  }
  return kept;
}
