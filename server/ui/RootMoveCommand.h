#pragma once
// The console's command that moves the library root: the questions, the folder
// choice, the checks, the start of the move and the copy of every project, or the
// resume of a move left pending. Runs on the user-interface thread while the
// connections keep serving.
#include <functional>
#include <string>
#include <vector>

#include "server/engine/LibraryRootMove.h"

class CWexmoorDoc;
class QWidget;

class RootMoveCommand {
 public:
  // Shows the folder dialog starting at the current root; the chosen folder, or
  // none when the dialog was not accepted.
  using FolderChooser = std::function<bool(const std::string& startFolder, std::string& chosen)>;

  RootMoveCommand(CWexmoorDoc& document, LibraryRootMove::Environment environment, FolderChooser chooser);

  // The whole command; every outcome is told through the Notifier.
  void Run();

  // The server's folder dialog, modal over `parent`.
  static FolderChooser DialogChooser(QWidget* parent);

 private:
  void Resume();
  void MoveTo(const std::string& newRoot);

  CWexmoorDoc& document_;
  LibraryRootMove::Environment environment_;
  FolderChooser chooser_;
};
