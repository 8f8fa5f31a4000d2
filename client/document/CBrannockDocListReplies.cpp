// The replies that keep the tree and the document lists in step with the server.
#include <cstdint>

#include "client/document/CBrannockDoc.h"
#include "client/document/ClientHints.h"
#include "client/library/VersionedDocumentList.h"
#include "common/FileHelpers.h"
#include "common/NameValidation.h"
#include "common/QuotedLines.h"
#include "common/RecordFields.h"
#include "common/StringHelpers.h"
#include "platform/AtomicFile.h"
#include "platform/Notifier.h"

namespace {

// The project name and index name that open a list reply.
struct ListHeader {
  std::string name;
  std::string indexName;
};

ListHeader ReadListHeader(const std::string& body) {
  QuotedLines lines(body);
  std::string line;
  lines.Next(line);
  ListHeader header;
  ReadStringField(header.indexName, ReadStringField(header.name, line));
  return header;
}

bool SameFolder(const std::string& first, const std::string& second) {
  return StripTrailingBackslash(first) == StripTrailingBackslash(second);
}

// Whether the local file list showing `shown` is to hear of a project added under
// `parentFolder`: the parent's folder is the shown one or one level below it.
bool ShowsParentFolder(const std::string& shown, const std::string& parentFolder) {
  if (shown.empty() || parentFolder.empty()) return false;
  const std::string top = StripTrailingBackslash(shown);
  const std::string parent = StripTrailingBackslash(parentFolder);
  if (parent == top) return true;
  if (parent.size() <= top.size() + 1 || parent.compare(0, top.size(), top) != 0) return false;
  const std::string rest = parent.substr(top.size());
  return rest.front() == '/' && rest.find('/', 1) == std::string::npos;
}

}  // namespace

void CBrannockDoc::OnProjectTreeReply(const Msg& reply) {
  const std::uint32_t stamp = reply.GetOriginalStamp();
  // The stored tree's local state is carried over by index name; a body that does not
  // hold a whole tree leaves the tree as it was.
  if (!tree_.ApplyServerTree(reply.GetBodyText())) {
    MarkInstructionFailed(stamp, false);
    return;
  }
  MarkInstructionFailed(stamp, true);
  treeAskedForGoneProject_ = false;
  AskRights();
  for (std::uint32_t view : {UpdateHint::kTreeView, UpdateHint::kDocumentListView, UpdateHint::kLocalFileListView}) {
    SendHint(ClientHints::kProjectTree, view);
  }
  if (refreshAfterTree_) {
    refreshAfterTree_ = false;
    InstructionBatch batch;
    QueueProjectListRequests(tree_.GetRoot(), batch);
    QueueBatch(std::move(batch));
  }
  if (scanAfterTree_) {
    scanAfterTree_ = false;
    ScanKeptLists();
  }
}

const ProjectNode* CBrannockDoc::InsertReplyNode(const Msg& reply, const char* noNameText,
                                                 const char* noIndexNameText) {
  const std::uint32_t stamp = reply.GetOriginalStamp();
  QuotedLines lines(reply.GetBodyText());
  std::string parentLine;
  lines.Next(parentLine);
  std::string parentIndexName;
  ReadStringField(parentIndexName, parentLine);
  ProjectNode node;
  node.DecodeServerLines(lines);   // only the names are needed: a short record is judged by them
  const char* missing = node.GetName().empty() ? noNameText : node.GetIndexName().empty() ? noIndexNameText : nullptr;
  if (missing != nullptr) {
    MarkInstructionFailed(stamp, false);
    platform::NotifyText(missing);
    return nullptr;
  }
  node.SetNewNode(true);
  node.MakeCacheFileName();

  ProjectNode* parent = tree_.FindProjectByPath(parentIndexName);
  if (parent == nullptr) parent = &tree_.GetRoot();
  std::string folder = GetInstructionTargetFolder(stamp);
  if (folder.empty()) {
    // The server's name becomes a folder level only when it is one safe component.
    std::string name = node.GetName();
    TrimString(name);
    if (!parent->GetLocalFolder().empty() && IsValidStoredName(name)) {
      folder = EnsureTrailingBackslash(parent->GetLocalFolder()) + name;
    }
  }
  node.SetLocalFolder(folder, true);
  if (!folder.empty()) CreateFolderPath(folder);   // a folder not made now is made when a file lands

  ProjectNode* added = parent->AddChild(node);
  tree_.IndexProjects(*added);
  MarkInstructionDone(stamp, added->GetIndexName(), true);
  return added;
}

void CBrannockDoc::OnProjectAdded(const Msg& reply) {
  const ProjectNode* added = InsertReplyNode(reply, kAddedProjectWithoutName, kAddedProjectWithoutIndexName);
  if (added == nullptr) return;
  SendHint(ClientHints::kProjectAdded, UpdateHint::kTreeView);
  SendHint(ClientHints::kProjectAdded, UpdateHint::kDocumentListView);
  const ProjectNode* parent =
      tree_.FindProjectByPath(ProjectTree::GetParentIndexName(tree_.GetRoot(), added->GetIndexName()));
  if (parent != nullptr && ShowsParentFolder(shownLocalFolder_, parent->GetLocalFolder())) {
    SendHint(ClientHints::kProjectAdded, UpdateHint::kLocalFileListView);
  }
}

void CBrannockDoc::OnDocumentListReply(const Msg& reply) {
  const std::uint32_t stamp = reply.GetOriginalStamp();
  const std::string body = reply.GetBodyText();
  const ListHeader header = ReadListHeader(body);
  // Answered either way: the list may be asked for again.
  ForgetListRequestByStamp(stamp);
  ForgetListRequest(header.indexName);
  ProjectNode* node = header.indexName.empty() ? nullptr : tree_.FindProjectByPath(header.indexName);
  if (node == nullptr) {
    MarkInstructionFailed(stamp, false);
    return;
  }
  node->MakeCacheFileName();
  const std::string path = DocumentListCache::ListFilePath(libraryFolder_, node->GetCacheFilePath());
  if (path.empty() || !platform::AtomicFile::Write(path, body)) {
    MarkInstructionFailed(stamp, false);
    return;
  }
  ProjectDocumentList list;
  QuotedLines lines(body);
  list.DecodeLines(lines);
  listCache_.RefreshSlot(list);
  MarkInstructionDone(stamp, header.indexName, true);

  const ProjectNode* current = tree_.FindProjectByTreeItem(currentProjectItem_);
  if (current != nullptr && current->GetIndexName() == header.indexName) {
    SendHint(ClientHints::kDocumentList, UpdateHint::kDocumentListView);
  }
  if (!shownLocalFolder_.empty() && SameFolder(shownLocalFolder_, node->GetLocalFolder())) {
    SendHint(ClientHints::kDocumentList, UpdateHint::kLocalFileListView);
  }
}

void CBrannockDoc::OnVersionListReply(const Msg& reply) {
  const std::uint32_t stamp = reply.GetOriginalStamp();
  const std::string body = reply.GetBodyText();
  const ListHeader header = ReadListHeader(body);
  ProjectNode* node = header.indexName.empty() ? nullptr : tree_.FindProjectByPath(header.indexName);
  if (node == nullptr) {
    MarkInstructionFailed(stamp, false);
    TakeScannedList(stamp, nullptr);
    return;
  }
  // The server counts a document's selected version in its own array, oldest first,
  // while the rows run newest first: the cache holds the row's index.
  VersionedDocumentList list;
  QuotedLines lines(body);
  list.Read(lines);
  for (int i = 0; i < list.GetCount(); ++i) {
    VersionedDocument* document = list.GetAt(i);
    document->SetSelectedIndexOldestFirst(document->GetSelectedIndex());
  }
  node->MakeCacheFileName();
  const std::string path = DocumentListCache::VersionsFilePath(libraryFolder_, node->GetCacheFilePath());
  if (path.empty() || !list.WriteFile(path)) {
    MarkInstructionFailed(stamp, false);
    TakeScannedList(stamp, nullptr);
    return;
  }
  MarkInstructionDone(stamp, header.indexName, true);
  const ProjectNode* current = tree_.FindProjectByTreeItem(currentProjectItem_);
  if (current != nullptr && current->GetIndexName() == header.indexName) {
    SendHint(ClientHints::kDocumentList, UpdateHint::kDocumentListView);
  }
  TakeScannedList(stamp, &list);
}

bool CBrannockDoc::LoadProjectDocuments(ProjectNode& node) {
  const bool kept = listCache_.LoadProjectDocuments(node, libraryFolder_);
  // A list kept from before the last logon is shown at once and asked for again.
  if (kept) AskListsOnce(node.GetIndexName());
  return kept;
}
