#include "client/ui/ClientTestHooks.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <map>
#include <memory>
#include <optional>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/ui/CBrannockView.h"
#include "client/ui/CListViewEx.h"
#include "client/ui/CMainFrame.h"
#include "client/ui/CommandIds.h"
#include "client/ui/LocalFileListView.h"
#include "client/ui/ModalRunner.h"
#include "client/ui/SplitterFrame.h"
#include "platform/ui/QtNotifier.h"
#include "platform/ui/WindowPlacement.h"

namespace {

constexpr int kIdlePollMs = 20;
constexpr int kDefaultIdleSeconds = 30;
constexpr const char* kPanes[] = {"tree", "documents", "local"};

std::optional<int> WholeNumber(const std::string& text) {
  try {
    std::size_t used = 0;
    const int value = std::stoi(text, &used);
    if (used == text.size()) return value;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

// One step of a dialog script, acting through the dialog's own control.
// The control named `id`, else the button whose text (without its '&') is `id`.
QWidget* FindControl(QDialog& dialog, const QString& id) {
  if (auto* named = dialog.findChild<QWidget*>(id)) return named;
  for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
    if (button->text().remove('&') == id) return button;
  }
  return nullptr;
}

bool RunStep(QDialog& dialog, const std::string& verb, const QString& id, const std::string& value) {
  if (verb == "await") {
    // Another dialog opens from this one's event loop (a reply it waited for).
    const auto shown = [&id] {
      const std::vector<std::string> names = ModalRunner::Shown();
      return std::find(names.begin(), names.end(), id.toStdString()) != names.end();
    };
    QElapsedTimer waited;
    waited.start();
    while (!shown() && waited.elapsed() < kDefaultIdleSeconds * 1000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, kIdlePollMs);
    }
    return shown();
  }
  if (verb == "wait") {
    // The dialog closes itself (the progress dialog once its queue is empty).
    const std::optional<int> seconds = WholeNumber(id.toStdString());
    QElapsedTimer waited;
    waited.start();
    while (seconds && dialog.isVisible() && waited.elapsed() < *seconds * 1000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, kIdlePollMs);
    }
    return !dialog.isVisible();
  }
  QWidget* control = FindControl(dialog, id);
  if (control == nullptr) return false;
  if (verb == "wait-enabled") {
    // The dialog's own work ends (a search re-enables its button).
    const std::optional<int> seconds = WholeNumber(value);
    QElapsedTimer waited;
    waited.start();
    while (seconds && !control->isEnabled() && waited.elapsed() < *seconds * 1000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, kIdlePollMs);
    }
    return control->isEnabled();
  }
  const QString text = QString::fromStdString(value);
  if (verb == "click") {
    auto* button = qobject_cast<QAbstractButton*>(control);
    if (button != nullptr) button->click();
    return button != nullptr;
  }
  if (verb == "check") {
    auto* button = qobject_cast<QAbstractButton*>(control);
    if (button != nullptr) button->setChecked(value == "1");
    return button != nullptr;
  }
  if (verb == "row") {
    auto* view = qobject_cast<QAbstractItemView*>(control);
    const std::optional<int> row = WholeNumber(value);
    if (view == nullptr || !row || view->model() == nullptr) return false;
    view->setCurrentIndex(view->model()->index(*row, 0));
    return true;
  }
  if (verb == "also") {
    auto* view = qobject_cast<QAbstractItemView*>(control);
    const std::optional<int> row = WholeNumber(value);
    if (view == nullptr || !row || view->selectionModel() == nullptr) return false;
    view->selectionModel()->select(view->model()->index(*row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    return true;
  }
  if (auto* line = qobject_cast<QLineEdit*>(control)) {
    line->setText(text);
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) {
    plain->setPlainText(text);
  } else if (auto* rich = qobject_cast<QTextEdit*>(control)) {
    rich->setPlainText(text);
  } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
    if (combo->isEditable()) {
      combo->setEditText(text);
    } else {
      combo->setCurrentIndex(combo->findText(text));
    }
  } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
    const std::optional<int> number = WholeNumber(value);
    if (!number) return false;
    spin->setValue(*number);
  } else {
    return false;
  }
  return true;
}

std::optional<platform::NotifyAnswer> AnswerNamed(const std::string& name) {
  static const std::map<std::string, platform::NotifyAnswer> answers = {{"ok", platform::NotifyAnswer::Ok},
                                                                        {"cancel", platform::NotifyAnswer::Cancel},
                                                                        {"yes", platform::NotifyAnswer::Yes},
                                                                        {"no", platform::NotifyAnswer::No}};
  const auto found = answers.find(name);
  if (found == answers.end()) return std::nullopt;
  return found->second;
}

// Cells, one line per row, with the row's tick state when it has one.
std::string RowText(const QTreeWidgetItem& item, int columns) {
  std::string line;
  for (int column = 0; column < columns; ++column) {
    if (column > 0) line += " | ";
    line += item.text(column).toStdString();
  }
  const int state = CListViewEx::GetStateImage(item);
  if (state != 0) line += " [" + std::to_string(state) + "]";
  return line;
}

}  // namespace

ClientTestHooks::ClientTestHooks(CBrannockApp& app, CMainFrame& frame, int fd, std::ostream& out, QObject* parent)
    : QObject(parent), app_(app), frame_(frame), out_(out), commands_(fd, out, this) {
  ModalRunner::SetScripted(true);
  AddCommands();
}

ClientTestHooks::~ClientTestHooks() { ModalRunner::SetScripted(false); }

void ClientTestHooks::AddCommands() {
  commands_.Add("import", [this](const Words& words, Reply reply) {
    if (words.size() != 1) return reply(false, "import needs a file");
    const CertificateImport::Result result = app_.ImportCertificate(words.front());
    const bool imported = result == CertificateImport::Result::Imported;
    reply(imported, imported ? "" : "the certificate was not imported");
  });
  commands_.Add("visit", [this](const Words& words, Reply reply) {
    const std::optional<int> index = words.size() == 1 ? WholeNumber(words.front()) : std::nullopt;
    if (!index) return reply(false, "visit needs a library index");
    Words script{"COpenLibraryDlg", "row", "1001", std::to_string(*index), "click", "1083"};
    std::string error;
    if (!QueueDialogScript(script, error)) return reply(false, error);
    frame_.RunRoutedCommand(CommandIds::kVisitLibrary);
    const bool opened = frame_.ActiveLibraryWindow() != nullptr;
    reply(opened, opened ? "" : "no library window opened");
  });
  commands_.Add("answer", [this](const Words& words, Reply reply) {
    const std::optional<platform::NotifyAnswer> answer =
        words.size() == 1 ? AnswerNamed(words.front()) : std::nullopt;
    if (!answer) return reply(false, "answer takes ok, cancel, yes or no");
    boxes_.QueueAnswer(*answer);
    reply(true, "");
  });
  commands_.Add("dialog", [this](const Words& words, Reply reply) {
    std::string error;
    reply(QueueDialogScript(words, error), error);
  });
  commands_.Add("focus", [this](const Words& words, Reply reply) {
    for (int pane = 0; pane < 3; ++pane) {
      if (words.size() == 1 && words.front() == kPanes[pane] && Pane(pane) != nullptr) {
        // Without a window manager nothing activates the window: the focus needs that.
        QApplication::setActiveWindow(&frame_);
        Pane(pane)->setFocus(Qt::OtherFocusReason);
        const bool focused = QApplication::focusWidget() == Pane(pane);
        return reply(focused, focused ? "" : "the pane did not take the focus");
      }
    }
    reply(false, "focus takes tree, documents or local, with a library open");
  });
  commands_.Add("select-project", [this](const Words& words, Reply reply) {
    QTreeWidget* tree = Pane(0);
    QTreeWidgetItem* item = tree != nullptr && words.size() == 1 ? FindRow(*tree, QString::fromStdString(words[0]))
                                                                 : nullptr;
    if (item == nullptr) return reply(false, "no such project in the tree");
    tree->setCurrentItem(item);
    reply(true, "");
  });
  commands_.Add("select-document", [this](const Words& words, Reply reply) {
    QTreeWidget* list = Pane(1);
    QTreeWidgetItem* item = list != nullptr && words.size() == 1 ? FindRow(*list, QString::fromStdString(words[0]))
                                                                 : nullptr;
    if (item == nullptr) return reply(false, "no such document row");
    list->setCurrentItem(item);
    reply(true, "");
  });
  commands_.Add("tick", [this](const Words& words, Reply reply) {
    auto* list = qobject_cast<CListViewEx*>(Pane(1));
    if (list == nullptr || words.empty() || words.size() > 2) return reply(false, "tick needs a document row");
    QTreeWidgetItem* item = FindRow(*list, QString::fromStdString(words[0]));
    if (item != nullptr && words.size() == 2) {
      // A version row follows its document row and shows its version in a later column.
      const int start = list->indexOfTopLevelItem(item);
      item = nullptr;
      for (int row = start + 1; row < list->topLevelItemCount() && item == nullptr; ++row) {
        QTreeWidgetItem* candidate = list->topLevelItem(row);
        if (!candidate->text(0).trimmed().isEmpty() && candidate->text(0) != QString::fromStdString(words[0])) break;
        for (int column = 1; column < list->columnCount(); ++column) {
          if (candidate->text(column) == QString::fromStdString(words[1])) item = candidate;
        }
      }
    }
    if (item == nullptr) return reply(false, "no such row");
    emit list->stateImageClicked(item, Qt::NoModifier);
    reply(true, "");
  });
  commands_.Add("tick-project", [this](const Words& words, Reply reply) {
    auto* tree = qobject_cast<CBrannockView*>(Pane(0));
    QTreeWidgetItem* item = tree != nullptr && words.size() == 1 ? FindRow(*tree, QString::fromStdString(words[0]))
                                                                 : nullptr;
    const QRect box = item != nullptr ? tree->CheckBoxRect(item) : QRect();
    if (box.isEmpty()) return reply(false, "no such project with a tick box");
    // A click on the box as the user makes it.
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent click(type, box.center(), tree->viewport()->mapToGlobal(box.center()), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
      QCoreApplication::sendEvent(tree->viewport(), &click);
    }
    reply(true, "");
  });
  commands_.Add("local-folder", [this](const Words& words, Reply reply) {
    auto* list = qobject_cast<LocalFileListView*>(Pane(2));
    if (list == nullptr || words.size() != 1) return reply(false, "local-folder needs a folder and a library");
    list->ShowFolder(words.front());
    reply(true, "");
  });
  commands_.Add("select-local", [this](const Words& words, Reply reply) {
    QTreeWidget* list = Pane(2);
    if (list == nullptr) return reply(false, "no local file list");
    list->clearSelection();
    for (const std::string& name : words) {
      QTreeWidgetItem* item = FindRow(*list, QString::fromStdString(name));
      if (item == nullptr) return reply(false, "no such local row: " + name);
      item->setSelected(true);
    }
    reply(true, "");
  });
  commands_.Add("command", [this](const Words& words, Reply reply) {
    const std::optional<int> command = words.size() == 1 ? WholeNumber(words.front()) : std::nullopt;
    QAction* action = command ? frame_.Action(*command) : nullptr;
    if (action == nullptr) return reply(false, "no such command");
    frame_.RefreshCommands();
    if (!action->isEnabled()) return reply(false, "command " + words.front() + " is disabled");
    frame_.RunRoutedCommand(*command);
    reply(true, "");
  });
  commands_.Add("wait-idle", [this](const Words& words, Reply reply) {
    const std::optional<int> seconds = words.empty() ? kDefaultIdleSeconds : WholeNumber(words.front());
    if (!seconds || *seconds < 0) return reply(false, "wait-idle takes seconds");
    WaitFor([this] { return IsIdle(); }, "still busy", reply, *seconds * 1000 / kIdlePollMs);
  });
  commands_.Add("wait-closed", [this](const Words& words, Reply reply) {
    const std::optional<int> seconds = words.empty() ? kDefaultIdleSeconds : WholeNumber(words.front());
    if (!seconds || *seconds < 0) return reply(false, "wait-closed takes seconds");
    WaitFor([this] { return frame_.Area().subWindowList().isEmpty(); }, "a library is still open", reply,
            *seconds * 1000 / kIdlePollMs);
  });
  commands_.Add("dump", [this](const Words&, Reply reply) {
    Dump();
    reply(true, "");
  });
  commands_.Add("grab", [this](const Words& words, Reply reply) {
    if (words.size() != 1) return reply(false, "grab needs a file name");
    frame_.showMaximized();
    const bool saved = platform::ui::GrabWindow(frame_, QString::fromStdString(words.front()));
    reply(saved, saved ? "" : "cannot write " + words.front());
  });
  commands_.Add("grab-box", [this](const Words& words, Reply reply) {
    if (words.size() != 1) return reply(false, "grab-box needs a file name");
    if (boxes_.Received().empty()) return reply(false, "no box was shown");
    const bool saved = GrabLastBox(QString::fromStdString(words.front()));
    reply(saved, saved ? "" : "cannot write " + words.front());
  });
  commands_.Add("quit", [this](const Words&, Reply reply) {
    reply(true, "");
    QMetaObject::invokeMethod(&frame_, &QWidget::close, Qt::QueuedConnection);
  });
}

bool ClientTestHooks::QueueDialogScript(const Words& words, std::string& error) {
  struct Step {
    std::string verb;
    QString id;
    std::string value;
  };
  std::vector<Step> steps;
  if (words.empty()) {
    error = "dialog needs a name";
    return false;
  }
  for (std::size_t i = 1; i < words.size();) {
    const std::string& verb = words[i];
    // "click ID", "wait SECONDS", "grab PATH", "await NAME"; "set ID TEXT", "check ID 0|1",
    // "row ID N", "also ID N", "wait-enabled ID SECONDS".
    const std::size_t length = (verb == "click" || verb == "wait" || verb == "grab" || verb == "await") ? 2
                               : (verb == "set" || verb == "check" || verb == "row" || verb == "also" ||
                                  verb == "wait-enabled")
                                   ? 3
                                   : 0;
    if (length == 0 || i + length > words.size()) {
      error = "bad dialog step " + verb;
      return false;
    }
    steps.push_back({verb, QString::fromStdString(words[i + 1]), length == 3 ? words[i + 2] : std::string()});
    i += length;
  }
  ModalRunner::QueueDialog(
      [steps, this](QDialog& dialog) {
        for (const Step& step : steps) {
          if (step.verb == "grab") {
            if (!GrabOverFrame(dialog, step.id)) out_ << "note: cannot write " << step.id.toStdString() << std::endl;
            continue;
          }
          if (!RunStep(dialog, step.verb, step.id, step.value)) {
            out_ << "note: dialog step " << step.verb << " " << step.id.toStdString() << " found no control"
                 << std::endl;
          }
        }
      },
      QString::fromStdString(words.front()));
  return true;
}

QTreeWidget* ClientTestHooks::Pane(int index) const {
  SplitterFrame* window = frame_.ActiveLibraryWindow();
  return window != nullptr ? qobject_cast<QTreeWidget*>(window->GetPane(index)) : nullptr;
}

QTreeWidgetItem* ClientTestHooks::FindRow(QTreeWidget& list, const QString& text, int column) {
  const QList<QTreeWidgetItem*> found =
      list.findItems(text, Qt::MatchExactly | Qt::MatchRecursive, column);
  return found.isEmpty() ? nullptr : found.front();
}

bool ClientTestHooks::IsIdle() const {
  if (QApplication::activeModalWidget() != nullptr) return false;
  const LibraryDocument* busy = app_.GetOpenLibraries().Find([](const LibraryDocument& library) {
    const auto* document = dynamic_cast<const CBrannockDoc*>(&library);
    return document == nullptr || !document->IsFirstRequestSent() || !document->IsReady() ||
           !document->GetBatches().empty() || document->GetUnansweredRequestCount() > 0;
  });
  return busy == nullptr;
}

void ClientTestHooks::WaitFor(const std::function<bool()>& done, const std::string& failure, Reply reply,
                              int ticksLeft) {
  if (done()) return reply(true, "");
  if (ticksLeft <= 0) return reply(false, failure);
  QTimer::singleShot(kIdlePollMs, this,
                     [this, done, failure, reply, ticksLeft] { WaitFor(done, failure, reply, ticksLeft - 1); });
}

bool ClientTestHooks::GrabLastBox(const QString& path) {
  platform::Notification last = boxes_.Received().back();
  if (last.caption.empty()) last.caption = QApplication::applicationName().toStdString();
  const std::unique_ptr<QMessageBox> box = platform::ui::MakeMessageBox(last, &frame_);
  // Shown, the box sizes itself and wraps a long text as the user sees it.
  box->show();
  const bool saved = GrabOverFrame(*box, path);
  box->hide();
  return saved;
}

bool ClientTestHooks::GrabOverFrame(QWidget& window, const QString& path) {
  frame_.showMaximized();
  const QScreen* screen = frame_.screen();
  if (screen != nullptr && frame_.size() != screen->availableGeometry().size()) {
    frame_.setGeometry(screen->availableGeometry());   // no window manager maximised it
  }
  QCoreApplication::processEvents();
  QImage shot = frame_.grab().toImage();
  const QImage face = window.grab().toImage();
  // No window manager draws the window's frame here: a plain title bar with its caption stands in.
  const int titleHeight = window.fontMetrics().height() + 10;
  const QRect frame(QPoint((shot.width() - face.width()) / 2, (shot.height() - face.height() - titleHeight) / 2),
                    QSize(face.width() + 2, face.height() + titleHeight + 1));
  QPainter painter(&shot);
  painter.fillRect(frame, window.palette().color(QPalette::Highlight));
  painter.setPen(window.palette().color(QPalette::HighlightedText));
  painter.drawText(frame.adjusted(8, 0, 0, -face.height()), Qt::AlignVCenter, window.windowTitle());
  painter.drawImage(frame.topLeft() + QPoint(1, titleHeight), face);
  painter.end();
  return shot.save(path, "PNG");
}

void ClientTestHooks::DumpList(const char* title, QTreeWidget* list) {
  if (list == nullptr) return;
  QTreeWidgetItemIterator it(list);
  for (; *it != nullptr; ++it) {
    int depth = 0;
    for (const QTreeWidgetItem* parent = (*it)->parent(); parent != nullptr; parent = parent->parent()) ++depth;
    out_ << title << ": " << std::string(static_cast<std::size_t>(depth) * 2, ' ') << RowText(**it, list->columnCount())
         << "\n";
  }
}

void ClientTestHooks::Dump() {
  out_ << "window: " << frame_.windowTitle().toStdString() << "\n";
  for (QMdiSubWindow* window : frame_.Area().subWindowList()) {
    out_ << "library: " << window->windowTitle().toStdString() << "\n";
    const auto* library = qobject_cast<SplitterFrame*>(window);
    if (const CBrannockDoc* document = library != nullptr ? library->GetDocument() : nullptr) {
      const OpenLibraries& open = app_.GetOpenLibraries();
      out_ << "library state: ready " << document->IsReady() << ", link ended " << document->IsLinkEnded()
           << ", close pending " << open.IsClosePending(*document) << ", held " << open.IsHeld(*document)
           << ", batches " << document->GetBatches().size() << ", unanswered "
           << document->GetUnansweredRequestCount() << "\n";
    }
  }
  frame_.RefreshCommands();
  for (const int command : {CommandIds::kVisitLibrary, CommandIds::kMapToFolder, CommandIds::kImportCertificate,
                            CommandIds::kToolTips, CommandIds::kRetrieve, CommandIds::kCheckOut, CommandIds::kCheckIn,
                            CommandIds::kAddToLibrary, CommandIds::kDelete, CommandIds::kRename, CommandIds::kPublish,
                            CommandIds::kConfirmPublication, CommandIds::kChooseLocalFolder}) {
    const QAction* action = frame_.Action(command);
    out_ << "command: " << command << " " << (action == nullptr ? "absent" : action->isEnabled() ? "enabled" : "disabled")
         << "\n";
  }
  for (int pane = 0; pane < 3; ++pane) DumpList(kPanes[pane], Pane(pane));
  for (const platform::Notification& box : boxes_.Received()) out_ << "box: " << box.text << "\n";
  for (const std::string& name : ModalRunner::Unscripted()) out_ << "unscripted: " << name << "\n";
  out_ << std::flush;
}
