#include "client/ui/ContextMenus.h"

#include <QAction>
#include <QMenu>

#include "client/ui/CommandIds.h"
#include "client/ui/CommandTarget.h"

namespace ContextMenus {
namespace {

constexpr int kSeparator = 0;

struct Entry {
  Pane pane;
  int command;
};

// One line per item; a new command joins a pane's menu with one more line here.
constexpr Entry kEntries[] = {
    {Pane::kTree, CommandIds::kRetrieve},
    {Pane::kTree, CommandIds::kMapToFolder},
    {Pane::kTree, CommandIds::kAddToLibrary},
    {Pane::kTree, kSeparator},
    {Pane::kTree, CommandIds::kRefresh},
    {Pane::kTree, kSeparator},
    {Pane::kTree, CommandIds::kDelete},
    {Pane::kTree, CommandIds::kRename},
    {Pane::kTree, kSeparator},
    {Pane::kTree, CommandIds::kPublish},
    {Pane::kTree, CommandIds::kConfirmPublication},
    {Pane::kDocuments, CommandIds::kRetrieve},
    {Pane::kDocuments, CommandIds::kCheckOut},
    {Pane::kDocuments, CommandIds::kCheckIn},
    {Pane::kDocuments, CommandIds::kUndoCheckOut},
    {Pane::kDocuments, kSeparator},
    {Pane::kDocuments, CommandIds::kHistory},
    {Pane::kDocuments, kSeparator},
    {Pane::kDocuments, CommandIds::kDelete},
    {Pane::kDocuments, CommandIds::kRename},
    {Pane::kDocuments, kSeparator},
    {Pane::kDocuments, CommandIds::kDocumentDetails},
    {Pane::kLocal, CommandIds::kAddToLibrary},
    {Pane::kLocal, CommandIds::kChooseLocalFolder},
};

}  // namespace

void Fill(QMenu& menu, Pane pane, CommandTarget& target, const std::function<QString(int)>& text,
          const std::function<void(int)>& run) {
  bool separatorDue = false;
  for (const Entry& entry : kEntries) {
    if (entry.pane != pane) continue;
    if (entry.command == kSeparator) {
      separatorDue = !menu.isEmpty();
      continue;
    }
    const QString own = text(entry.command);
    const CommandStatus status = target.QueryCommand(entry.command);
    if (own.isEmpty() || !status.handled) continue;
    if (separatorDue) menu.addSeparator();
    separatorDue = false;
    const std::string counted = target.ItemText(entry.command);
    QAction* action = menu.addAction(counted.empty() ? own : QString::fromStdString(counted));
    action->setObjectName(QString::number(entry.command));
    action->setEnabled(status.enabled);
    action->setCheckable(status.checked);
    action->setChecked(status.checked);
    const int command = entry.command;
    QObject::connect(action, &QAction::triggered, &menu, [run, command] { run(command); });
  }
}

}  // namespace ContextMenus
