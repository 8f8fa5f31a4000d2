#include "server/ui/RootMoveCommand.h"

#include <utility>

#include "platform/Notifier.h"
#include "platform/ui/WhatsThisKey.h"
#include "server/store/CWexmoorDoc.h"
#include "server/ui/CServerChooseDirectoryDlg.h"

namespace {

bool AskYes(const std::string& text) {
  return platform::Notify(platform::Notification{text, "", platform::NotifyIcon::Question,
                                                 platform::NotifyButtons::YesNo}) == platform::NotifyAnswer::Yes;
}

void Tell(const std::string& text) { platform::NotifyText(text, platform::NotifyIcon::Information); }

}  // namespace

RootMoveCommand::RootMoveCommand(CWexmoorDoc& document, LibraryRootMove::Environment environment,
                                 FolderChooser chooser)
    : document_(document), environment_(std::move(environment)), chooser_(std::move(chooser)) {}

RootMoveCommand::FolderChooser RootMoveCommand::DialogChooser(QWidget* parent) {
  return [parent](const std::string& startFolder, std::string& chosen) {
    CServerChooseDirectoryDlg dialog(parent);
    platform::ui::WhatsThisKey::Install(&dialog, CServerChooseDirectoryDlg::kHelpTopic);
    dialog.SetInitialPath(startFolder);
    if (dialog.exec() != QDialog::Accepted) return false;
    chosen = dialog.GetPath();
    return true;
  };
}

void RootMoveCommand::Run() {
  if (!document_.GetPendingOldRoot().empty()) {
    if (AskYes("Previous move of library root is incomplete.  Do you wish to resume moving the root now?")) Resume();
    return;
  }
  if (!AskYes("Moving the root path for the Library is a major operation.  Are you sure you wish to proceed?")) {
    return;
  }
  const std::string oldRoot = document_.GetRootPath();
  std::string newRoot;
  if (!chooser_ || !chooser_(oldRoot, newRoot)) return;
  if (!AskYes("Are you ABSOLUTELY SURE you want to move the library root path?\n\nFrom: " + oldRoot +
              "\nTo: " + newRoot)) {
    return;
  }
  LibraryRootMove mover(document_, environment_);
  if (!mover.CheckRootMove(oldRoot, newRoot)) return;
  MoveTo(newRoot);
}

void RootMoveCommand::Resume() {
  LibraryRootMove mover(document_, environment_);
  if (!mover.MoveAllProjects()) {
    Tell("Failed to move root");
    return;
  }
  document_.EndRootMove();
  Tell("Root has been successfully moved");
}

void RootMoveCommand::MoveTo(const std::string& newRoot) {
  LibraryRootMove mover(document_, environment_);
  if (!mover.BeginMove(newRoot)) return;
  if (!mover.MoveAllProjects()) {
    Tell("Failed to move root");  // the move stays pending for a resume
    return;
  }
  // A failed save of the ended move leaves it pending; a resume then finds nothing
  // left to move and ends it.
  document_.EndRootMove();
  Tell("Root has been successfully moved.  Please exit and restart Wexmoor now!");
}
