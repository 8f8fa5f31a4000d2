#include "client/ui/ModalRunner.h"

#include <QDialog>
#include <QDrag>
#include <QPointer>
#include <QTimer>

namespace {

struct QueuedDialog {
  ModalRunner::DialogScript script;
  QString expectedName;
};

struct Scripts {
  bool scripted = false;
  std::deque<QueuedDialog> dialogs;
  std::deque<ModalRunner::DragScript> drags;
  std::vector<std::string> unscripted;
  std::vector<std::string> shown;
};

// UI thread only.
Scripts& State() {
  static Scripts scripts;
  return scripts;
}

void RejectUnscripted(QDialog& dialog) {
  State().unscripted.push_back(dialog.objectName().toStdString());
  dialog.reject();
}

}  // namespace

int ModalRunner::Exec(QDialog& dialog) {
  Scripts& state = State();
  if (!state.scripted) return dialog.exec();
  state.shown.push_back(dialog.objectName().toStdString());
  QPointer<QDialog> guarded(&dialog);
  if (state.dialogs.empty()) {
    QTimer::singleShot(0, &dialog, [guarded] {
      if (guarded) RejectUnscripted(*guarded);
    });
    return dialog.exec();
  }
  QueuedDialog next = std::move(state.dialogs.front());
  state.dialogs.pop_front();
  QTimer::singleShot(0, &dialog, [guarded, next] {
    if (!guarded) return;
    if (!next.expectedName.isEmpty() && guarded->objectName() != next.expectedName) {
      RejectUnscripted(*guarded);
      return;
    }
    next.script(*guarded);
    // A script that leaves the dialog open would hang the test: close it, noted.
    if (guarded && guarded->isVisible()) RejectUnscripted(*guarded);
  });
  return dialog.exec();
}

Qt::DropAction ModalRunner::ExecDrag(QDrag& drag, Qt::DropActions supported, Qt::DropAction preferred) {
  Scripts& state = State();
  if (!state.scripted) return drag.exec(supported, preferred);
  if (state.drags.empty()) return Qt::IgnoreAction;
  DragScript next = std::move(state.drags.front());
  state.drags.pop_front();
  return next(drag);
}

void ModalRunner::SetScripted(bool scripted) {
  State() = Scripts();
  State().scripted = scripted;
}

bool ModalRunner::IsScripted() { return State().scripted; }

void ModalRunner::QueueDialog(DialogScript script, const QString& expectedName) {
  State().dialogs.push_back({std::move(script), expectedName});
}

void ModalRunner::QueueDrag(DragScript script) { State().drags.push_back(std::move(script)); }

int ModalRunner::PendingScripts() {
  return static_cast<int>(State().dialogs.size() + State().drags.size());
}

std::vector<std::string> ModalRunner::Unscripted() { return State().unscripted; }

std::vector<std::string> ModalRunner::Shown() { return State().shown; }
