#include "client/rules/LibraryFind.h"

#include <algorithm>

#include "client/document/CBrannockDoc.h"

LibraryFind::LibraryFind(CBrannockDoc& document, const DocumentFilter& filter)
    : document_(document), filter_(filter), userName_(document.GetUserText()) {}

void LibraryFind::Step() {
  if (IsFinished()) return;
  if (document_.IsLinkEnded()) {
    phase_ = Phase::kLinkEnded;
    return;
  }
  if (phase_ == Phase::kTree) {
    if (!treeAsked_) {
      treeAsked_ = true;
      document_.RequestProjectTree(true);
      return;
    }
    if (document_.GetUnansweredRequestCount() > 0) return;
    CollectProjects();
    phase_ = Phase::kLists;
  }
  // Answered requests are searched in the order they were sent.
  for (auto next = out_.begin(); next != out_.end();) {
    const Project& project = projects_[*next];
    if (document_.IsListRequestPending(project.indexName)) {
      ++next;
      continue;
    }
    Search(project);
    next = out_.erase(next);
  }
  SendDue();
  if (out_.empty() && nextToSend_ == projects_.size()) phase_ = Phase::kDone;
}

void LibraryFind::CollectProjects() {
  struct Pending {
    const ProjectNode* node;
    std::string path;
  };
  const ProjectNode& root = document_.GetProjectTree().GetRoot();
  std::vector<Pending> pending;
  for (int c = root.GetChildCount() - 1; c >= 0; --c) pending.push_back({root.GetChild(c), root.GetChild(c)->GetName()});
  while (!pending.empty()) {
    const Pending next = pending.back();
    pending.pop_back();
    projects_.push_back({next.node->GetIndexName(), next.path});
    for (int c = next.node->GetChildCount() - 1; c >= 0; --c) {
      pending.push_back({next.node->GetChild(c), next.path + "/" + next.node->GetChild(c)->GetName()});
    }
  }
}

void LibraryFind::SendDue() {
  while (out_.size() < kRequestsOut && nextToSend_ < projects_.size()) {
    const std::size_t index = nextToSend_++;
    if (document_.SendListDocuments(projects_[index].indexName)) {
      out_.push_back(index);
    } else {
      ++searched_;
      unread_.push_back(projects_[index].path);
    }
  }
}

void LibraryFind::Search(const Project& project) {
  ++searched_;
  ProjectDocumentList list;
  if (!document_.GetListCache().GetProjectDocumentList(project.indexName, document_.GetProjectTree(),
                                                       document_.GetLibraryFolder(), list)) {
    unread_.push_back(project.path);
    return;
  }
  for (int i = 0; i < list.GetCount(); ++i) {
    const DocumentVersionEntry& entry = *list.GetAt(i);
    if (filter_.Matches(entry, userName_)) found_.push_back({project.indexName, project.path, entry});
  }
}
