// After every logon, an open or a reconnect, the views show what the server holds:
// the tree and every list this computer keeps are asked for again, and the check-outs
// that a lost link cut before their files arrived are offered for fetching.
#include <functional>

#include "client/document/CBrannockDoc.h"
#include "client/library/DocumentListCache.h"
#include "client/link/RequestBodies.h"
#include "common/MessageIds.h"
#include "platform/fs.h"
#include "platform/Notifier.h"

void CBrannockDoc::RefreshAfterLogon() {
  sessionLogon_ = logons_;
  listsAsked_.clear();
  undelivered_.Clear();
  // The server reached now may grant other rights, or none at all.
  rights_.reset();
  scanAfterTree_ = SendRequest(MSGID_REFRESH_PROJECTS, std::string()).has_value();
}

std::optional<std::uint32_t> CBrannockDoc::AskListsOnce(const std::string& projectIndexName) {
  if (ProjectNode::IsRootIndexName(projectIndexName) || !listsAsked_.insert(projectIndexName).second) {
    return std::nullopt;
  }
  SendListDocuments(projectIndexName);
  return SendRequest(MSGID_LIST_VERSIONS, RequestBodies::ListVersions(projectIndexName));
}

void CBrannockDoc::ScanKeptLists() {
  const std::function<void(ProjectNode&)> visit = [&](ProjectNode& node) {
    for (int i = 0; i < node.GetChildCount(); ++i) {
      ProjectNode& child = *node.GetChild(i);
      child.MakeCacheFileName();
      const std::string kept = DocumentListCache::VersionsFilePath(libraryFolder_, child.GetCacheFilePath());
      if (!kept.empty() && platform::fs::IsFile(kept)) {
        if (const std::optional<std::uint32_t> stamp = AskListsOnce(child.GetIndexName())) {
          undelivered_.Await(*stamp, child.GetIndexName());
        }
      }
      visit(child);
    }
  };
  visit(tree_.GetRoot());
}

void CBrannockDoc::TakeScannedList(std::uint32_t stamp, const VersionedDocumentList* list) {
  const ProjectNode* project = list == nullptr ? nullptr : tree_.FindProjectByPath(list->GetProjectIndexName());
  const std::string folder = project == nullptr ? std::string() : project->GetLocalFolder();
  if (undelivered_.Take(stamp, list, userText_, folder)) OfferUndeliveredCheckOuts();
}

void CBrannockDoc::OfferUndeliveredCheckOuts() {
  const platform::NotifyAnswer answer = platform::Notify(
      {undelivered_.OfferText(), displayName_, platform::NotifyIcon::Question, platform::NotifyButtons::YesNo});
  if (answer != platform::NotifyAnswer::Yes || IsClosePending()) return;
  for (const ProjectDocumentList& documents : undelivered_.GetFound()) {
    SendCheckOutDocuments(documents, false, false, kFetchReplaceMode);
  }
}
