#include "server/ui/ServerTestHooks.h"

#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "platform/ui/HelpWindow.h"
#include "platform/ui/WindowPlacement.h"
#include "server/engine/ServerConsole.h"
#include "server/store/CWexmoorDoc.h"
#include "server/ui/CCheckOutControlDlg.h"
#include "server/ui/CEditUsersDlg.h"
#include "server/ui/CGroupsDlg.h"
#include "server/ui/CServerAddressDlg.h"
#include "server/ui/CServerChooseDirectoryDlg.h"
#include "server/ui/CSetLibraryNameDlg.h"
#include "server/ui/WindowedServer.h"

namespace {

constexpr int kReadyPollMs = 50;
constexpr int kReadyPolls = 200;   // 10 s

using DialogMaker = std::function<std::unique_ptr<QDialog>(CWexmoorDoc& document, QWidget* parent)>;

template <typename Dialog>
std::unique_ptr<QDialog> Make(CWexmoorDoc& document, QWidget* parent) {
  return std::make_unique<Dialog>(document, parent);
}

const std::map<std::string, DialogMaker>& DialogMakers() {
  static const std::map<std::string, DialogMaker> makers = {
      {"users", Make<CEditUsersDlg>},
      {"groups", Make<CGroupsDlg>},
      {"address", Make<CServerAddressDlg>},
      {"libraryname", Make<CSetLibraryNameDlg>},
      {"checkout", Make<CCheckOutControlDlg>},
      {"rootpath",
       [](CWexmoorDoc& document, QWidget* parent) -> std::unique_ptr<QDialog> {
         auto dialog = std::make_unique<CServerChooseDirectoryDlg>(parent);
         dialog->SetInitialPath(document.GetRootPath());
         return dialog;
       }},
      {"about",
       [](CWexmoorDoc&, QWidget* parent) -> std::unique_ptr<QDialog> {
         auto about = std::make_unique<QMessageBox>(parent);
         CMainFrame::PrepareAbout(*about);
         return about;
       }},
  };
  return makers;
}

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
  commands_.Add("grab-dialog", [this](const Words& words, Reply reply) {
    if (words.size() != 2) return reply(false, "grab-dialog needs a window name and a file name");
    GrabDialog(words[0], words[1], reply);
  });
  commands_.Add("quit", [this](const Words&, Reply reply) {
    reply(true, "");
    server_.Frame()->close();
  });
}

void ServerTestHooks::GrabDialog(const std::string& name, const std::string& path,
                                 platform::ui::LineCommands::Reply reply) {
  CMainFrame& frame = *server_.Frame();
  const QString file = QString::fromStdString(path);
  if (name == "help") {
    frame.ShowHelp(CMainFrame::kFrameHelpTopic);
    platform::ui::HelpWindow* help = platform::ui::HelpWindow::Find(&frame);
    const bool saved = help != nullptr && help->grab().save(file, "PNG");
    if (help != nullptr) help->close();
    return reply(saved, saved ? "" : "cannot write " + path);
  }
  const auto maker = DialogMakers().find(name);
  if (maker == DialogMakers().end()) return reply(false, "no window named " + name);
  const std::unique_ptr<QDialog> dialog = maker->second(*CWexmoorApp::GetDocument(), &frame);
  bool saved = false;
  // Grabbed from inside its own modal run, once exec has shown and filled it.
  QTimer::singleShot(0, dialog.get(), [&saved, &dialog, &file] {
    saved = dialog->grab().save(file, "PNG");
    dialog->done(QDialog::Rejected);
  });
  dialog->exec();
  reply(saved, saved ? "" : "cannot write " + path);
}

void ServerTestHooks::WaitReady(platform::ui::LineCommands::Reply reply, int ticksLeft) {
  const ServerConsole* console = server_.App().GetConsole();
  const auto state = console ? console->GetListenerState() : ServerConsole::ListenerState::NotStarted;
  if (state == ServerConsole::ListenerState::Listening && server_.Frame()->isVisible()) return reply(true, "");
  if (state == ServerConsole::ListenerState::Failed || ticksLeft == 0) return reply(false, "the server is not listening");
  QTimer::singleShot(kReadyPollMs, this, [this, reply, ticksLeft] { WaitReady(reply, ticksLeft - 1); });
}
