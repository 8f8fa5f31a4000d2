#pragma once
// The windowed server's --test-hooks: commands on standard input for scripts that
// drive the program from outside (the screenshots). "wait-ready" answers once the
// listener listens (at most 10 s), "grab PATH" saves the main window as a PNG,
// "grab-dialog NAME PATH" opens one window (users, rootpath, address,
// libraryname, checkout, about or help), saves it as a PNG and closes it again,
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
  // Shows the window of `name` over the main window and saves it at `path`.
  void GrabDialog(const std::string& name, const std::string& path, platform::ui::LineCommands::Reply reply);

  WindowedServer& server_;
  platform::ui::LineCommands commands_;
};
