#include "client/ui/DocumentOpener.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/document/TemporaryFiles.h"
#include "client/library/ProjectNode.h"
#include "client/rules/OpenAction.h"
#include "client/ui/CHistoryDlg.h"
#include "client/ui/ExternalLaunch.h"
#include "client/ui/ModalRunner.h"
#include "common/StringHelpers.h"
#include "platform/Notifier.h"
#include "platform/fs.h"

namespace {

void Warn(const std::string& text) {
  platform::Notify({text, "", platform::NotifyIcon::Warning, platform::NotifyButtons::Ok});
}

}  // namespace

std::string DocumentOpener::LocalPath(const ProjectNode& project, const std::string& name) {
  return project.GetLocalFolder().empty() ? std::string() : EnsureTrailingBackslash(project.GetLocalFolder()) + name;
}

void DocumentOpener::Open(const ProjectNode& project, const VersionedDocument& versions, int versionIndex,
                          bool versionRow) {
  const DocumentVersionEntry* version = versions.GetVersion(versionIndex);
  if (version == nullptr) return;
  const std::string local = LocalPath(project, version->GetName());
  const OpenAction::Row row = versionRow ? OpenAction::Row::kVersion : OpenAction::Row::kDocument;
  switch (OpenAction::For(row, !local.empty() && platform::fs::IsFile(local))) {
    case OpenAction::Action::kOpenLocalCopy:
      if (!ExternalLaunch::OpenWithDesktop(local)) Warn(ExternalLaunch::kNotOpened + local);
      break;
    case OpenAction::Action::kOpenFetchedCopy:
      // A document row without its local copy opens the latest version.
      OpenFetched(project, version->GetName(), versionRow ? version->GetVersion() : 0);
      break;
    case OpenAction::Action::kEnterFolder:
      break;
  }
}

void DocumentOpener::OpenFetched(const ProjectNode& project, const std::string& name, std::int32_t version) {
  auto copy = std::make_unique<VersionCopyFolder>(TemporaryFiles(document_.GetApp().GetWorkingDirectory()).GetFolder());
  if (!copy->IsMade()) {
    Warn(kNotFetched + name);
    return;
  }
  const std::string folder = copy->GetFolder();
  copies_.push_back(std::move(copy));
  // The answer comes inside the library's pass; the desktop is asked from the event loop.
  QPointer<QWidget> parent(parent_);
  const auto received = [parent, name](const std::string& path) {
    if (parent == nullptr) return;
    QMetaObject::invokeMethod(
        parent,
        [path, name] {
          if (path.empty()) {
            Warn(kNotFetched + name);
          } else if (!ExternalLaunch::OpenWithDesktop(path)) {
            Warn(ExternalLaunch::kNotOpened + path);
          }
        },
        Qt::QueuedConnection);
  };
  if (!document_.SendGetVersion(project.GetIndexName(), name, version, folder, received)) Warn(CHistoryDlg::kNotSent);
}

void DocumentOpener::ShowHistory(const ProjectNode& project, const VersionedDocument& versions) {
  const DocumentVersionEntry* first = versions.GetVersion(0);
  if (first == nullptr) return;
  CHistoryDlg history(document_,
                      {project.GetIndexName(), first->GetName(), LocalPath(project, first->GetName()), versions},
                      parent_);
  ModalRunner::Exec(history);
}
