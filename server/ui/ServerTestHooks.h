#pragma once
// The windowed server's --test-hooks: commands on standard input for scripts that
// drive the program from outside (the screenshots). "wait-ready" answers once the
// listener listens (at most 10 s), "grab PATH" saves the main window as a PNG,
// "quit" closes the window in order.
#include <QObject>
#include <ostream>

#include "platform/ui/LineCommands.h"

class WindowedServer;

class ServerTestHooks : public QObject {
  Q_OBJECT

 public:
  ServerTestHooks(WindowedServer& server, int fd, std::ostream& out, QObject* parent = nullptr);

 private:
  void WaitReady(platform::ui::LineCommands::Reply reply, int ticksLeft);

  WindowedServer& server_;
  platform::ui::LineCommands commands_;
};
