#include "client/ui/COpenLibraryDlg.h"

#include <QVBoxLayout>
#include <array>

#include "client/document/CBrannockApp.h"
#include "client/ui/CListViewEx.h"

namespace {

constexpr int kVisibleRows = 8;

}  // namespace

COpenLibraryDlg::COpenLibraryDlg(CBrannockApp& app, QWidget* parent)
    : ClientDialog("COpenLibraryDlg", kDialogId, "Open Library", parent), list_(new CListViewEx(this)) {
  SetControlHelp(list_, 1001,
                 "The libraries whose certificates you imported, with the user each logs on as and its server; "
                 "choose the one to open.");
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  for (const char* heading : {"Library Name", "User", "Server", "Connection"}) {
    list_->AddColumn(heading, Qt::AlignLeft, 0);
  }
  Fill(app);
  // The dialog opens as wide as the columns need (the list's size hint).
  list_->FitColumnsToContents();
  list_->setMinimumHeight(list_->HeightToShowRows(kVisibleRows));
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &COpenLibraryDlg::OnSelectionChanged);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &COpenLibraryDlg::accept);

  QDialogButtonBox* buttons = MakeButtonBox();
  AddButton(*buttons, 1083, "Open", QDialogButtonBox::AcceptRole)->setDefault(true);
  AddButton(*buttons, 1084, "Cancel", QDialogButtonBox::RejectRole);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(buttons);
}

QString COpenLibraryDlg::KindText(int kind) {
  static const std::array<const char*, 6> kTexts = {"Unknown", "TCP/IP", "Email", "FTP", "RAS", "Dialin"};
  if (kind < 0 || static_cast<std::size_t>(kind) >= kTexts.size()) return kTexts[0];
  return kTexts[static_cast<std::size_t>(kind)];
}

void COpenLibraryDlg::Fill(CBrannockApp& app) {
  platform::CriticalSection::Lock lock(app.GetProfileLock());
  const UserProfile* user = app.GetCurrentUser();
  const int count = user == nullptr ? 0 : user->GetConnectionCount();
  for (int i = 0; i < count; ++i) {
    const LibraryConnection* connection = user->GetConnection(i);
    auto* row = new QTreeWidgetItem(
        list_, {QString::fromStdString(connection->GetName()), QString::fromStdString(connection->GetUserText()),
                QString::fromStdString(connection->GetServerText()), KindText(connection->GetKind())});
    row->setData(0, CListViewEx::kItemDataRole, i);
  }
  if (count > 0) {
    QTreeWidgetItem* first = list_->topLevelItem(0);
    list_->setCurrentItem(first);
    list_->scrollToItem(first);
    selectedIndex_ = 0;
  }
}

void COpenLibraryDlg::OnSelectionChanged() {
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return;
  selectedIndex_ = selected.front()->data(0, CListViewEx::kItemDataRole).toInt();
  list_->scrollToItem(selected.front());
}
