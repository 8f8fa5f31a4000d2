#include "client/ui/CHistoryDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QVBoxLayout>
#include <cstdlib>
#include <utility>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/document/TemporaryFiles.h"
#include "client/document/TextContent.h"
#include "client/rules/CompareProgramChoice.h"
#include "client/rules/HistoryRows.h"
#include "client/ui/CCompareDlg.h"
#include "client/ui/CListViewEx.h"
#include "client/ui/ExternalLaunch.h"
#include "client/ui/ModalRunner.h"
#include "common/StringHelpers.h"
#include "common/ui/CChooseDirectoryDlg.h"
#include "platform/Notifier.h"
#include "platform/fs.h"

namespace {

constexpr int kDateColumns[] = {1, 6};
constexpr int kSizeColumn = 3;
constexpr int kShownRows = 12;

QString VersionTitle(std::int32_t version) { return QString("Version %1").arg(version); }

// The folder a path lies in; "" for a path without one.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

CHistoryDlg::CHistoryDlg(CBrannockDoc& document, Subject subject, QWidget* parent)
    : ClientDialog("CHistoryDlg", kDialogId, "History of " + QString::fromStdString(subject.name), parent),
      document_(document),
      subject_(std::move(subject)),
      list_(new CListViewEx(this)),
      status_(new QLabel(this)) {
  SetControlHelp(list_, 1001,
                 "Every stored version of the document, newest first. Select one to get or open it, two (Ctrl+click) "
                 "to compare them.");
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  for (int column = 0; column < HistoryRows::kColumnCount; ++column) {
    const bool date = column == kDateColumns[0] || column == kDateColumns[1];
    const bool number = column == 0 || column == kSizeColumn;
    const QString widest = date                   ? CListViewEx::DateTimeWidthSample()
                           : column == kSizeColumn ? CListViewEx::FileSizeWidthSample()
                                                   : QString();
    list_->AddColumn(HistoryRows::kHeadings[column], number ? Qt::AlignRight : Qt::AlignLeft, 0, widest);
  }
  const HistoryRows rows(subject_.versions, platform::UserNumberLocale(), platform::UserDateLocale());
  for (const HistoryRows::Row& row : rows.GetRows()) {
    auto* item = new QTreeWidgetItem(list_);
    for (int column = 0; column < HistoryRows::kColumnCount; ++column) {
      item->setText(column, QString::fromStdString(row.cells[column]));
      item->setTextAlignment(column, list_->ColumnAlignment(column));
    }
    item->setData(0, CListViewEx::kItemDataRole, row.version);
  }
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
  // The dialog opens as wide as the columns need (the list's size hint).
  list_->FitColumnsToContents();
  list_->setMinimumHeight(list_->HeightToShowRows(kShownRows));
  status_->setObjectName("HistoryStatus");

  auto* buttons = MakeButtonBox(QDialogButtonBox::Close);
  const struct {
    Button id;
    const char* text;
    const char* help;
    std::function<void()> run;
  } actions[] = {
      {kGet, "&Get version ...", "Puts a read-only copy of the selected version into a folder you choose.",
       [this] { GetVersion(); }},
      {kOpen, "&Open", "Opens a read-only copy of the selected version with the desktop's application for its type.",
       [this] { OpenVersion(); }},
      {kCompare, "&Compare", "Compares the two selected versions.", [this] { Compare(false); }},
      {kCompareLocal, "Compare with &local copy", "Compares the selected version with the document's local copy.",
       [this] { Compare(true); }},
  };
  for (const auto& action : actions) {
    auto* button = buttons->addButton(action.text, QDialogButtonBox::ActionRole);
    SetControlHelp(button, action.id, action.help);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, action.run);
  }
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(status_);
  layout->addWidget(buttons);
}

CHistoryDlg::~CHistoryDlg() = default;

QString CHistoryDlg::GetStatus() const { return status_->text(); }

void CHistoryDlg::done(int result) {
  run_.reset();
  copies_.clear();
  ClientDialog::done(result);
}

std::vector<std::int32_t> CHistoryDlg::SelectedVersions() const {
  std::vector<std::int32_t> versions;
  for (const QTreeWidgetItem* item : list_->selectedItems()) {
    versions.push_back(item->data(0, CListViewEx::kItemDataRole).toInt());
  }
  return versions;
}

std::int32_t CHistoryDlg::OneSelectedVersion() {
  const std::vector<std::int32_t> versions = SelectedVersions();
  if (versions.size() == 1) return versions.front();
  Warn(kChooseOneVersion);
  return 0;
}

std::string CHistoryDlg::TemporaryFolder() const {
  return TemporaryFiles(document_.GetApp().GetWorkingDirectory()).GetFolder();
}

void CHistoryDlg::SetStatus(const QString& text) { status_->setText(text); }

void CHistoryDlg::Warn(const std::string& text) {
  platform::Notify({text, "", platform::NotifyIcon::Warning, platform::NotifyButtons::Ok});
}

bool CHistoryDlg::Fetch(std::int32_t version, const std::string& folder, std::function<void(const std::string&)> then) {
  // The answer comes inside the library's pass; the work goes on from the event loop.
  QPointer<CHistoryDlg> self(this);
  auto received = [self, then = std::move(then)](const std::string& path) {
    if (self) QMetaObject::invokeMethod(self, [self, then, path] { if (self) then(path); }, Qt::QueuedConnection);
  };
  if (!document_.SendGetVersion(subject_.projectIndexName, subject_.name, version, folder, std::move(received))) {
    Warn(kNotSent);
    return false;
  }
  SetStatus(QString("Fetching %1 from the library ...").arg(VersionTitle(version)));
  return true;
}

void CHistoryDlg::GetVersion() {
  const std::int32_t version = OneSelectedVersion();
  if (version == 0) return;
  CChooseDirectoryDlg chooser(this);
  chooser.SetInitialPath(FolderOf(subject_.localPath), false);
  if (ModalRunner::Exec(chooser) != QDialog::Accepted || document_.IsClosePending()) return;
  const std::string folder = chooser.GetPath();
  const std::string target = EnsureTrailingBackslash(folder) + subject_.name;
  if (platform::fs::Exists(target) &&
      platform::Notify({kReplaceQuestion + target, "", platform::NotifyIcon::Question,
                        platform::NotifyButtons::YesNo}) != platform::NotifyAnswer::Yes) {
    return;
  }
  Fetch(version, folder, [this, version, folder](const std::string& path) {
    if (path.empty()) {
      SetStatus(QString());
      Warn(kNotFetched + std::to_string(version));
      return;
    }
    SetStatus(QString("%1 of %2 was put in %3.")
                  .arg(VersionTitle(version), QString::fromStdString(subject_.name), QString::fromStdString(folder)));
  });
}

void CHistoryDlg::OpenVersion() {
  const std::int32_t version = OneSelectedVersion();
  if (version == 0) return;
  auto copy = std::make_unique<VersionCopyFolder>(TemporaryFolder());
  const std::string folder = copy->GetFolder();
  if (!copy->IsMade()) {
    Warn(kNotFetched + std::to_string(version));
    return;
  }
  copies_.push_back(std::move(copy));
  Fetch(version, folder, [this, version](const std::string& path) {
    SetStatus(QString());
    if (path.empty()) {
      Warn(kNotFetched + std::to_string(version));
    } else if (!ExternalLaunch::OpenWithDesktop(path)) {
      Warn(ExternalLaunch::kNotOpened + path);
    } else {
      SetStatus(QString("%1 was opened from %2.").arg(VersionTitle(version), QString::fromStdString(path)));
    }
  });
}

void CHistoryDlg::Compare(bool withLocalCopy) {
  if (run_ != nullptr) {
    Warn(kCompareUnderWay);
    return;
  }
  auto run = std::make_unique<CompareRun>(CompareRun{
      ComparePlan(SelectedVersions(), withLocalCopy, subject_.localPath, platform::fs::IsFile(subject_.localPath)),
      {},
      {}});
  if (run->plan.IsRefused()) {
    Warn(run->plan.GetRefusal());
    return;
  }
  run_ = std::move(run);
  for (const std::int32_t version : run_->plan.VersionsToFetch()) {
    run_->copies.push_back(std::make_unique<VersionCopyFolder>(TemporaryFolder()));
    const std::string folder = run_->copies.back()->GetFolder();
    const bool sent = !folder.empty() && Fetch(version, folder, [this, version](const std::string& path) {
      if (run_ == nullptr) return;
      run_->paths[version] = path;
      if (run_->paths.size() == run_->plan.VersionsToFetch().size()) FinishCompare();
    });
    if (!sent) {
      run_.reset();
      SetStatus(QString());
      return;
    }
  }
}

void CHistoryDlg::FinishCompare() {
  std::unique_ptr<CompareRun> run = std::move(run_);
  SetStatus(QString());
  for (const auto& [version, path] : run->paths) {
    if (path.empty()) {
      Warn(kNotFetched + std::to_string(version));
      return;
    }
  }
  const std::int32_t rightVersion = run->plan.GetRightVersion();
  const CCompareDlg::Side left{run->paths[run->plan.GetLeftVersion()], VersionTitle(run->plan.GetLeftVersion())};
  const CCompareDlg::Side right = rightVersion == ComparePlan::kLocalCopy
                                      ? CCompareDlg::Side{subject_.localPath, "Local copy"}
                                      : CCompareDlg::Side{run->paths[rightVersion], VersionTitle(rightVersion)};
  std::string program;
  {
    platform::CriticalSection::Lock lock(document_.GetApp().GetProfileLock());
    if (const UserProfile* user = document_.GetApp().GetCurrentUser()) program = user->GetCompareProgram();
  }
  const char* searchPath = std::getenv("PATH");
  program = CompareProgramChoice::Effective(program, searchPath == nullptr ? "" : searchPath);
  const bool bothText = TextContent::IsTextFile(left.path) && TextContent::IsTextFile(right.path);
  switch (ComparePlan::ChooseMethod(bothText, program)) {
    case ComparePlan::Method::kTextWindow: {
      CCompareDlg compare(QString::fromStdString(subject_.name), left, right, std::move(run->copies), this);
      ModalRunner::Exec(compare);
      break;
    }
    case ComparePlan::Method::kProgram:
      if (!ExternalLaunch::StartCompare(program, left.path, right.path)) {
        Warn(ExternalLaunch::kNotStarted + program);
        return;
      }
      for (auto& copy : run->copies) copies_.push_back(std::move(copy));
      SetStatus(QString("%1 and %2 were handed to %3.")
                    .arg(left.title, right.title, QString::fromStdString(program)));
      break;
    case ComparePlan::Method::kNoProgram:
      Warn(ComparePlan::NoProgramText(subject_.name));
      break;
  }
}
