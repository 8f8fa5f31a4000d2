#include "server/ui/ServerTestHooks.h"

#include <QTimer>

#include "platform/ui/WindowPlacement.h"
#include "server/engine/ServerConsole.h"
#include "server/ui/WindowedServer.h"

namespace {

constexpr int kReadyPollMs = 50;
constexpr int kReadyPolls = 200;   // 10 s

}  // namespace

ServerTestHooks::ServerTestHooks(WindowedServer& server, int fd, std::ostream& out, QObject* parent)
    : QObject(parent), server_(server), commands_(fd, out, this) {
  using Words = platform::ui::LineCommands::Words;
  using Reply = platform::ui::LineCommands::Reply;
  commands_.Add("wait-ready", [this](const Words&, Reply reply) { WaitReady(reply, kReadyPolls); });
  commands_.Add("grab", [this](const Words& words, Reply reply) {
    if (words.size() != 1) return reply(false, "grab needs a file name");
    const bool saved = platform::ui::GrabWindow(*server_.Frame(), QString::fromStdString(words.front()));
    reply(saved, saved ? "" : "cannot write " + words.front());
  });
  commands_.Add("quit", [this](const Words&, Reply reply) {
    reply(true, "");
    server_.Frame()->close();
  });
}

void ServerTestHooks::WaitReady(platform::ui::LineCommands::Reply reply, int ticksLeft) {
  const ServerConsole* console = server_.App().GetConsole();
  const auto state = console ? console->GetListenerState() : ServerConsole::ListenerState::NotStarted;
  if (state == ServerConsole::ListenerState::Listening && server_.Frame()->isVisible()) return reply(true, "");
  if (state == ServerConsole::ListenerState::Failed || ticksLeft == 0) return reply(false, "the server is not listening");
  QTimer::singleShot(kReadyPollMs, this, [this, reply, ticksLeft] { WaitReady(reply, ticksLeft - 1); });
}
