#include "server/ui/ServerConsoleRuntime.h"

#include <algorithm>

#include "server/engine/ServerConsole.h"
#include "server/store/CWexmoorDoc.h"

namespace {

constexpr const char* kListeningPrefix = "Listening port is ";
constexpr const char* kLibraryNamePrefix = "Library Name is ";

// The console was told the name at the start; a rename since (from the shell or the
// window) shows at once.
void ShowLibraryName(std::vector<std::string>& lines, const std::string& name) {
  for (std::string& line : lines) {
    if (line.rfind(kLibraryNamePrefix, 0) == 0) {
      line = kLibraryNamePrefix + name;
      return;
    }
  }
}

// The listener's failure (or why it waits for the port) takes the place of the
// port line; the lines the listener appended with it are then dropped so it is
// not shown twice.
void ShowListenerFailure(std::vector<std::string>& lines, const std::string& failure) {
  lines.erase(std::remove(lines.begin(), lines.end(), failure), lines.end());
  for (std::string& line : lines) {
    if (line.rfind(kListeningPrefix, 0) == 0) line = ServerConsoleRuntime::kNotListeningPrefix + failure;
  }
}

// A port changed since the start takes effect at the next start: the port line
// says both.
void ShowPortChange(std::vector<std::string>& lines, int listening, int next) {
  if (next == listening) return;
  for (std::string& line : lines) {
    if (line == kListeningPrefix + std::to_string(listening)) {
      line += "; " + std::to_string(next) + " from the next start";
    }
  }
}

}  // namespace

ConsoleSnapshot ServerConsoleRuntime::Refresh() {
  console_.Tick();
  return Current();
}

ConsoleSnapshot ServerConsoleRuntime::Current() const {
  ConsoleSnapshot snapshot;
  snapshot.statusLines = console_.GetStatusLines();
  snapshot.libraryName = console_.GetDocument().GetSettings().GetLibraryName();
  ShowLibraryName(snapshot.statusLines, snapshot.libraryName);
  const ServerConsole::ListenerState state = console_.GetListenerState();
  if (state == ServerConsole::ListenerState::Failed || state == ServerConsole::ListenerState::WaitingForPort) {
    ShowListenerFailure(snapshot.statusLines, console_.GetListenerFailure());
  } else {
    ShowPortChange(snapshot.statusLines, console_.GetListeningPort(), console_.GetDocument().GetSettings().GetPort());
  }
  snapshot.upTimeText = console_.GetUpTimeText();
  snapshot.activeUserText = console_.GetActiveUserText();
  snapshot.userLines = console_.GetUserLines();
  return snapshot;
}
