#include "server/engine/HeadlessServer.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <ctime>

#include "common/PathParser.h"
#include "common/WorkingFolderOption.h"
#include "platform/Process.h"
#include "platform/ServiceNotifier.h"
#include "platform/fs.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/NewLibraryTls.h"
#include "server/engine/RequestDispatcher.h"
#include "server/engine/ServerConsole.h"
#include "server/store/CWexmoorDoc.h"

namespace {

constexpr std::chrono::milliseconds kListenerStartBound{10000};
constexpr std::chrono::milliseconds kTick{2000};
constexpr std::chrono::milliseconds kShortestTick{10};

std::string Absolute(const std::string& path) { return path.empty() ? path : PathParser::FullPath(path); }

// Prints the status lines from number `printed` on; gives the number printed in all.
std::size_t PrintNewStatusLines(const ServerConsole& console, std::size_t printed, std::ostream& out) {
  const std::vector<std::string> lines = console.GetStatusLines();
  for (std::size_t i = printed; i < lines.size(); ++i) out << lines[i] << '\n';
  return std::max(printed, lines.size());
}

// Ticks twice per watchdog interval at least, so that no beat comes late (yet never
// spins, however short the interval asked for).
timespec TickInterval(const platform::ServiceNotifier& serviceManager) {
  std::chrono::microseconds tick = kTick;
  if (const auto watchdog = serviceManager.WatchdogInterval()) {
    tick = std::max<std::chrono::microseconds>(std::min(tick, *watchdog / 2), kShortestTick);
  }
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(tick);
  return timespec{static_cast<time_t>(seconds.count()),
                  static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(tick - seconds).count())};
}

// The service manager learns that the server is ready once its port listens, and
// then, when it watches, that the server still answers: the listener listens, the
// console's tick (which takes the store's queue section) came back and the library
// root is still there.
class ServiceManagerReport {
 public:
  explicit ServiceManagerReport(const platform::ServiceNotifier& serviceManager) : serviceManager_(serviceManager) {}

  void AfterTick(const ServerConsole& console) {
    if (!serviceManager_.Enabled() || console.GetListenerState() != ServerConsole::ListenerState::Listening) return;
    if (!ready_) {
      ready_ = serviceManager_.Notify("READY=1");
      return;
    }
    const CWexmoorDoc* document = CWexmoorApp::GetDocument();
    if (serviceManager_.WatchdogInterval() && document != nullptr && platform::fs::IsFolder(document->GetRootPath())) {
      serviceManager_.Notify("WATCHDOG=1");
    }
  }
  void Stopping() const { serviceManager_.Notify("STOPPING=1"); }

 private:
  const platform::ServiceNotifier& serviceManager_;
  bool ready_ = false;
};

}  // namespace

bool ParseServerArguments(const std::vector<std::string>& arguments, HeadlessOptions& options, std::string& error) {
  options = HeadlessOptions{};
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--headless") {
      options.headless = true;
    } else if (argument == "--test-hooks") {
      options.testHooks = true;
    } else if (argument == "--new-library-tls") {
      options.newLibraryTls = true;
    } else if (argument == WorkingFolderOption::kCreateFlag) {
      options.createWorkingFolder = true;
    } else if (argument == "--workdir" || argument == "--root") {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
        error = argument + " needs a folder";
        return false;
      }
      (argument == "--workdir" ? options.workingFolder : options.rootPath) = arguments[++i];
    } else {
      error = "unknown argument " + argument;
      return false;
    }
  }
  if (options.newLibraryTls && !options.headless) {
    error = "--new-library-tls needs --headless";
    return false;
  }
  if (options.headless && options.testHooks) {
    error = "--test-hooks needs the windowed server";
    return false;
  }
  return true;
}

std::optional<std::string> ServerWorkingFolder(const HeadlessOptions& options, std::ostream& err) {
  std::string error;
  std::optional<std::string> folder =
      WorkingFolderOption::Resolve(options.workingFolder, options.createWorkingFolder, error);
  if (!folder) err << "wexmoor: " << error << std::endl;
  return folder;
}

int RunHeadlessServer(const HeadlessOptions& options, std::ostream& out, std::ostream& err) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  const std::optional<std::string> workingFolder = ServerWorkingFolder(options, err);
  if (!workingFolder) return 1;
  if (options.newLibraryTls) {
    const NewLibraryTls::Outcome tls = NewLibraryTls::Prepare(*workingFolder, Absolute(options.rootPath),
                                                              platform::HostName());
    if (!tls.ok) {
      err << "wexmoor: " << tls.line << std::endl;
      return 1;
    }
    if (!tls.line.empty()) out << tls.line << std::endl;
  }
  CWexmoorApp app;
  RequestDispatcher dispatcher;
  app.SetMessageHandler([&dispatcher](RTE& engine, const Msg& request) { return dispatcher.Dispatch(engine, request); });
  app.SetCompanionStarter(options.companion);
  if (!app.InitInstance({*workingFolder, "", Absolute(options.rootPath)})) {
    err << "Wexmoor did not start." << std::endl;
    return 1;
  }
  ServerConsole& console = *app.GetConsole();
  const ServerConsole::ListenerState state = console.WaitForListener(kListenerStartBound);
  std::size_t printed = PrintNewStatusLines(console, 0, out);
  out << console.GetUpTimeText() << '\n' << console.GetActiveUserText() << std::endl;
  // A port in use is tried again by the listener, whose lines say when it listens.
  if (state != ServerConsole::ListenerState::Listening && state != ServerConsole::ListenerState::WaitingForPort) {
    err << "The server is not listening: " << console.GetListenerFailure() << std::endl;
    app.ExitInstance();
    return 2;
  }

  const platform::ServiceNotifier serviceManager;
  ServiceManagerReport report(serviceManager);
  report.AfterTick(console);
  const timespec tick = TickInterval(serviceManager);
  while (sigtimedwait(&signals, nullptr, &tick) < 0) {
    console.Tick();
    report.AfterTick(console);
    printed = PrintNewStatusLines(console, printed, out);
    out.flush();
  }
  report.Stopping();
  app.ExitInstance();
  out << "Wexmoor stopped" << std::endl;
  return 0;
}
