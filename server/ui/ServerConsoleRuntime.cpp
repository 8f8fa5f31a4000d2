#include "server/ui/ServerConsoleRuntime.h"

#include <algorithm>

#include "server/engine/ServerConsole.h"

namespace {

constexpr const char* kListeningPrefix = "Listening port is ";

// The listener's failure takes the place of the port line; the failure line the
// listener appended is then dropped so it is not shown twice.
void ShowListenerFailure(std::vector<std::string>& lines, const std::string& failure) {
  lines.erase(std::remove(lines.begin(), lines.end(), failure), lines.end());
  for (std::string& line : lines) {
    if (line.rfind(kListeningPrefix, 0) == 0) line = ServerConsoleRuntime::kNotListeningPrefix + failure;
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
  if (console_.GetListenerState() == ServerConsole::ListenerState::Failed) {
    ShowListenerFailure(snapshot.statusLines, console_.GetListenerFailure());
  }
  snapshot.upTimeText = console_.GetUpTimeText();
  snapshot.activeUserText = console_.GetActiveUserText();
  snapshot.userLines = console_.GetUserLines();
  return snapshot;
}
