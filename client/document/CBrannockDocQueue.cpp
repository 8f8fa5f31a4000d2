// The batch queue and the steps of the instruction kinds.
#include <algorithm>
#include <optional>
#include <utility>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/document/ClientHints.h"
#include "client/document/DocumentSteps.h"
#include "client/document/LocalFolderScan.h"
#include "client/library/VersionedDocumentList.h"
#include "client/link/RequestBodies.h"
#include "common/MessageIds.h"

namespace {

enum Kind {
  kGetProject = 1,
  kAddProject = 2,
  kAddDocuments = 3,
  kCheckInDocuments = Instruction::kCheckInDocuments,
  kCheckOutDocuments = Instruction::kCheckOutDocuments,
  kCreateEdition = 8,
  kListVersions = 10,
  kListDocuments = 11,
  kAddOriginalReferences = 12,
  kAddDocumentReferences = 13,
  kAddOriginalProject = 15,
  kGetOriginalDocuments = 16,
  kRefreshProjects = 17,
  kGetDocuments = Instruction::kGetDocuments,
  kAddChosenDocuments = Instruction::kAddChosenDocuments,
};

std::vector<std::string> NamesOf(const ProjectDocumentList& documents) {
  std::vector<std::string> names;
  for (int d = 0; d < documents.GetCount(); ++d) names.push_back(documents.GetAt(d)->GetName());
  return names;
}

// What the user asked for with a request sent outside a batch; empty for the list
// requests, which the views ask again by themselves.
std::string RequestCaption(std::uint32_t id) {
  switch (id) {
    case MSGID_ADD_PROJECT: return "Add Project";
    case MSGID_ADD_DOCUMENTS: return "Add Documents";
    case MSGID_RETRIEVE: return "Retrieve documents";
    case MSGID_CHECK_OUT: return "Check-out documents";
    case MSGID_CHECK_IN: return "Check-in documents";
    case MSGID_CREATE_EDITION: return "Create Edition / Supplement";
    case MSGID_DELETE_PROJECT: return "Delete project";
    case MSGID_DELETE_DOCUMENTS: return "Delete documents";
    case MSGID_RENAME_PROJECT: return "Rename project";
    case MSGID_RENAME_DOCUMENT: return "Rename document";
    default: return std::string();
  }
}

std::string InstructionCaption(const Instruction& instruction) {
  return Instruction::KindCaption(instruction.GetKind()) + instruction.GetName();
}

// The batch that sent the request of `stamp`, and the instruction; null when none did.
const Instruction* FindSender(const std::deque<InstructionBatch>& batches, std::uint32_t stamp) {
  for (const InstructionBatch& batch : batches) {
    const int index = batch.FindInstructionByMessage(stamp);
    if (index > 0) return batch.GetInstruction(index);
  }
  return nullptr;
}

bool IsComplete(const InstructionBatch& batch) {
  for (int i = 0; i < batch.GetCount(); ++i) {
    if (!batch.GetInstruction(i)->IsDone()) return false;
  }
  return true;
}

// The selected version of every document of each readable list file of `files` (';'-separated).
std::vector<RequestBodies::ReferenceRow> OriginalReferenceRows(const std::string& files, const std::string& comments) {
  FolderMapping paths;
  paths.SetFolderList(files);
  std::vector<RequestBodies::ReferenceRow> rows;
  for (int f = 0; f < paths.GetFolderCount(); ++f) {
    VersionedDocumentList list;
    if (!list.ReadFile(paths.GetFolder(f))) continue;
    for (int d = 0; d < list.GetCount(); ++d) {
      const VersionedDocument& document = *list.GetAt(d);
      const DocumentVersionEntry* version = document.GetVersion(document.GetSelectedIndex());
      if (version == nullptr) continue;
      rows.push_back({version->GetName(), version->GetVersion(), list.GetProjectIndexName(), comments});
    }
  }
  return rows;
}

// Every document of the list file `path`; nothing when it does not read.
std::optional<std::vector<RequestBodies::ReferenceRow>> DocumentReferenceRows(const std::string& path,
                                                                             const std::string& comments) {
  ProjectDocumentList list;
  std::vector<RequestBodies::ReferenceRow> rows;
  if (!list.ReadFile(path)) return std::nullopt;
  for (int d = 0; d < list.GetCount(); ++d) {
    const DocumentVersionEntry& entry = *list.GetAt(d);
    rows.push_back({entry.GetName(), entry.GetVersion(), list.GetProjectIndexName(), comments});
  }
  return rows;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return lower(x) == lower(y); });
}

bool HoldsName(const ProjectDocumentList& list, const std::string& name) {
  for (int d = 0; d < list.GetCount(); ++d) {
    if (EqualIgnoringCase(list.GetAt(d)->GetName(), name)) return true;
  }
  return false;
}

}  // namespace

// ---- the queue ----------------------------------------------------------------------

bool CBrannockDoc::QueueBatch(InstructionBatch batch) {
  return QueueBatch(std::move(batch), {replaceMode_, writableOnRetrieval_, checkInMode_, false, false});
}

bool CBrannockDoc::QueueBatch(InstructionBatch batch, const BatchSettings& settings) {
  batch.Start();
  batch.SetNumber(++batchesQueued_);
  batches_.push_back(std::move(batch));
  // Queued batches stay in place (the queue only grows at its tail and shrinks at
  // its head), so the address keys the batch until it is removed.
  batchSettings_[&batches_.back()] = settings;
  SendHint(ClientHints::kBatchQueued, UpdateHint::kTreeView);
  return true;
}

void CBrannockDoc::ProcessNextInstruction() {
  FailAbandonedInstructions();
  // While a lost link logs on again the queue waits: its steps would fail only for
  // want of the link, and a link that stays lost lists them as not done.
  if (connection_ != nullptr && !connectionEnded_ && connection_->WasLoggedOn() && !connection_->IsLoggedOn() &&
      connection_->GetLogonState() != IPConnection::kLoggedOff) {
    return;
  }
  if (batches_.empty()) {
    SendHint(ClientHints::kQueueEmpty, UpdateHint::kTreeView);
    return;
  }
  InstructionBatch& batch = batches_.front();
  if (batch.GetNextIndex() < batch.GetCount()) {
    if (!batch.IsNextReady()) return;
    const int index = batch.TakeNextIndex();
    if (!RunStep(batch, index)) return;
    currentInstruction_ = index;
    SendHint(ClientHints::kInstructionStarted, UpdateHint::kTreeView);
    return;
  }
  if (!IsComplete(batch)) return;
  ShowBatchNotice(batch);
  batchSettings_.erase(&batch);
  heldCopiesAnswers_.erase(&batch);
  DeleteOwnedFiles(batch);
  batches_.pop_front();
  EndPublication();
  SendHint(ClientHints::kProjectTree, UpdateHint::kTreeView);
  SendHint(ClientHints::kDocumentList, UpdateHint::kDocumentListView);
  ProcessNextInstruction();
}

CBrannockDoc::BatchSettings CBrannockDoc::SettingsOf(const InstructionBatch& batch) const {
  const auto found = batchSettings_.find(&batch);
  if (found != batchSettings_.end()) return found->second;
  return {replaceMode_, writableOnRetrieval_, checkInMode_, false, false};
}

std::optional<bool>* CBrannockDoc::FindHeldCopiesAnswer(std::uint32_t stamp) {
  if (batches_.empty() || batches_.front().FindInstructionByMessage(stamp) < 0) return nullptr;
  return &heldCopiesAnswers_[&batches_.front()];
}

QueueCancel CBrannockDoc::CancelQueuedWork() {
  const QueueCancel cancel = QueueCancel::Apply(batches_);
  // A batch with nothing in flight leaves the queue now, its files deleted.
  ProcessNextInstruction();
  return cancel;
}

void CBrannockDoc::ShowBatchNotice(const InstructionBatch& batch) {
  for (int i = 1; i < batch.GetCount(); ++i) {
    const Instruction& instruction = *batch.GetInstruction(i);
    switch (instruction.GetKind()) {
      case kCreateEdition:
        batchNotice_.SetOperation(DoneNotice::Operation::kPublish, instruction.GetName());
        break;
      case kAddDocuments:
      case kAddChosenDocuments:
        batchNotice_.SetOperation(DoneNotice::Operation::kAdd, instruction.GetSourceFolder());
        break;
      case kGetProject:
      case kGetDocuments:
        batchNotice_.SetOperation(DoneNotice::Operation::kRetrieve, instruction.GetTargetFolder());
        break;
      case kCheckOutDocuments:
        batchNotice_.SetOperation(DoneNotice::Operation::kCheckOut, std::string());
        break;
      case kCheckInDocuments:
        batchNotice_.SetOperation(DoneNotice::Operation::kCheckIn, std::string());
        break;
      default:
        break;
    }
  }
  for (int i = 1; i < batch.GetCount(); ++i) {
    const Instruction& instruction = *batch.GetInstruction(i);
    if (instruction.IsDocumentStep()) {
      // A step's documents are named when it failed; a cancel gave up the steps never sent.
      if (!instruction.IsDone() || instruction.HasSucceeded()) continue;
      if (instruction.IsSent()) {
        batchNotice_.CountNotDone(NamesOf(instruction.GetDocuments()));
      } else {
        batchNotice_.CountCancelled(instruction.GetDocuments().GetCount());
      }
      continue;
    }
    const bool counted = instruction.GetKind() == kCreateEdition || instruction.GetKind() == kAddDocuments ||
                         instruction.GetKind() == kGetProject || instruction.GetKind() == kAddDocumentReferences ||
                         instruction.GetKind() == kAddOriginalReferences;
    if (counted && !(instruction.IsDone() && instruction.HasSucceeded())) batchNotice_.CountFailed();
  }
  if (!batchNotice_.IsEmpty()) app_.ShowStatusNotice(batchNotice_.Text());
  batchNotice_ = DoneNotice();
  referenceRowsSent_.clear();
}

void CBrannockDoc::NoteAbandonedRequests(const std::vector<Msg>& requests) {
  std::lock_guard lock(abandonedMutex_);
  for (const Msg& request : requests) abandonedStamps_.push_back(request.GetOriginalStamp());
}

void CBrannockDoc::FailAbandonedInstructions() {
  std::vector<std::uint32_t> stamps;
  {
    std::lock_guard lock(abandonedMutex_);
    stamps.swap(abandonedStamps_);
  }
  for (const std::uint32_t stamp : stamps) {
    const Instruction* sender = FindSender(batches_, stamp);
    const auto request = unanswered_.find(stamp);
    const std::string caption = sender != nullptr           ? InstructionCaption(*sender)
                                : request != unanswered_.end() ? RequestCaption(request->second)
                                                               : std::string();
    if (!caption.empty()) handedBack_.push_back(caption + " (sent, never answered)");
    unanswered_.erase(stamp);
    requestMemory_.erase(stamp);
    versionDeliveries_.Fail(stamp);
    if (batches_.empty()) continue;
    InstructionBatch& batch = batches_.front();
    const int index = batch.FindInstructionByMessage(stamp);
    const Instruction* instruction = batch.GetInstruction(index);
    if (index > 0 && instruction != nullptr && !instruction->IsDone()) FinishInstruction(batch, index, false);
  }
}

std::vector<std::string> CBrannockDoc::DescribeUnconfirmedWork() const {
  std::vector<std::string> lines = handedBack_;
  for (const auto& [stamp, id] : unanswered_) {
    const Instruction* sender = FindSender(batches_, stamp);
    const std::string caption = sender != nullptr ? InstructionCaption(*sender) : RequestCaption(id);
    if (!caption.empty()) lines.push_back(caption + " (sent, no answer yet)");
  }
  for (const InstructionBatch& batch : batches_) {
    const int steps = batch.GetCount() - 1;
    int notDone = 0;
    for (int i = 1; i < batch.GetCount(); ++i) notDone += batch.GetInstruction(i)->IsDone() ? 0 : 1;
    if (notDone == 0) continue;
    lines.push_back(InstructionCaption(*batch.GetInstruction(1)) + ": " + std::to_string(notDone) + " of " +
                    std::to_string(steps) + (steps == 1 ? " step" : " steps") + " not done");
  }
  return lines;
}

void CBrannockDoc::QueueProjectListRequests(const ProjectNode& project, InstructionBatch& batch) {
  if (!ProjectNode::IsRootIndexName(project.GetIndexName())) {
    Instruction list;
    list.SetPrerequisite(0);
    list.SetName(project.GetName());
    list.SetIndexName(project.GetIndexName());
    list.SetTargetFolder(project.GetLocalFolder());
    list.SetSourceFolder(project.GetLocalFolder());
    list.SetKind(kListDocuments);
    batch.AddInstruction(list);
    list.SetKind(kListVersions);
    batch.AddInstruction(list);
  }
  for (int c = 0; c < project.GetChildCount(); ++c) QueueProjectListRequests(*project.GetChild(c), batch);
  refreshAfterTree_ = false;
}

void CBrannockDoc::EndPublication() {
  if (!publicationRunning_) return;
  RestorePublicationCopies(tree_.GetRoot());
  publicationRunning_ = false;
  publicationPreparing_ = false;
  refreshAfterTree_ = true;
  RequestProjectTree(true);
}

void CBrannockDoc::ScanLocalFolder(std::vector<LocalFileEntry>& entries, const std::string& folder,
                                   const FolderRuleSet& rules) {
  LocalFolderLookups lookups;
  // The root is reported with an empty index name: its folder has no member documents.
  lookups.findProjectByLocalFolder = [this](const std::string& path) -> std::optional<std::string> {
    const ProjectNode* node = tree_.FindProjectByLocalFolder(path);
    if (node == nullptr) return std::nullopt;
    return node == &tree_.GetRoot() ? std::string() : node->GetIndexName();
  };
  lookups.loadProjectDocuments = [this](const std::string& indexName) -> std::optional<std::vector<std::string>> {
    ProjectNode* node = tree_.FindProjectByPath(indexName);
    if (node == nullptr || node == &tree_.GetRoot() || !LoadProjectDocuments(*node)) return std::nullopt;
    const ProjectDocumentList* list = listCache_.GetCurrentList();
    if (list == nullptr || list->GetProjectIndexName() != indexName) return std::nullopt;
    std::vector<std::string> names;
    for (int d = 0; d < list->GetCount(); ++d) names.push_back(list->GetAt(d)->GetName());
    return names;
  };
  // Folders are added through links only within the folder the library is mapped to.
  lookups.linkBound = tree_.GetRoot().GetLocalFolder();
  LocalFolderScan(std::move(lookups)).Scan(folder, rules, entries);
}

// ---- the common frame -------------------------------------------------------------

bool CBrannockDoc::RunStep(InstructionBatch& batch, int index) {
  if (index == 0) return true;   // the placeholder is done from the start
  switch (batch.GetInstruction(index)->GetKind()) {
    case kGetProject:
      return ExecuteGetProject(batch, index);
    case kAddProject:
      return ExecuteAddProject(batch, index);
    case kAddDocuments:
      return ExecuteAddDocuments(batch, index);
    case kCreateEdition:
      return ExecuteCreateEdition(batch, index);
    case kListVersions:
      return ExecuteListVersions(batch, index);
    case kListDocuments:
      return ExecuteListDocuments(batch, index);
    case kAddOriginalReferences:
      return ExecuteAddOriginalReferences(batch, index);
    case kAddDocumentReferences:
      return ExecuteAddDocumentReferences(batch, index);
    case kAddOriginalProject:
      return ExecuteAddOriginalProject(batch, index);
    case kGetOriginalDocuments:
      return ExecuteGetOriginalDocuments(batch, index);
    case kRefreshProjects:
      return ExecuteRefreshProjects(batch, index);
    case kGetDocuments:
    case kCheckOutDocuments:
    case kCheckInDocuments:
    case kAddChosenDocuments:
      return ExecuteDocumentStep(batch, index);
    default:
      // Kinds without a request would never be answered: failing them lets the batch end.
      FinishInstruction(batch, index, false);
      return true;
  }
}

CBrannockDoc::StepStart CBrannockDoc::BeginStep(InstructionBatch& batch, int index) {
  if (IsLinkEnded()) {
    OnCloseDocument();
    return StepStart::kClosed;
  }
  if (!batch.HasPrerequisiteSucceeded(index)) {
    FinishInstruction(batch, index, false);
    return StepStart::kFinished;
  }
  return batch.GetInstruction(index)->IsSent() ? StepStart::kFinished : StepStart::kProceed;
}

void CBrannockDoc::FinishInstruction(InstructionBatch& batch, int index, bool succeeded) {
  Instruction& instruction = *batch.GetInstruction(index);
  instruction.SetSent(true);
  instruction.SetDone(true);
  instruction.SetSucceeded(succeeded);
  currentInstruction_ = index;
  lastOutcome_ = succeeded;
  SendHint(ClientHints::kInstructionStarted, UpdateHint::kTreeView);
  SendHint(ClientHints::kInstructionFinished, UpdateHint::kTreeView);
}

std::optional<std::uint32_t> CBrannockDoc::SendStepRequest(InstructionBatch& batch, int index, std::uint32_t id,
                                                           const std::string& body) {
  // A request that cannot go out would hold its batch for ever: it fails instead.
  const std::optional<std::uint32_t> stamp = SendRequest(id, body);
  if (!stamp) {
    FinishInstruction(batch, index, false);
    return std::nullopt;
  }
  batch.GetInstruction(index)->SetSent(true);
  batch.MapMessage(index, *stamp);
  return stamp;
}

bool CBrannockDoc::ExecuteRequest(InstructionBatch& batch, int index, std::uint32_t id, const std::string& body) {
  const StepStart start = BeginStep(batch, index);
  if (start == StepStart::kProceed) SendStepRequest(batch, index, id, body);
  return start != StepStart::kClosed;
}

// ---- the steps ----------------------------------------------------------------------

bool CBrannockDoc::ExecuteRetrieval(InstructionBatch& batch, int index, std::uint32_t id, const std::string& body) {
  const StepStart start = BeginStep(batch, index);
  if (start != StepStart::kProceed) return start != StepStart::kClosed;
  if (ProjectNode::IsRootIndexName(batch.GetInstruction(index)->GetIndexName())) {
    FinishInstruction(batch, index, true);
    return true;
  }
  const std::optional<std::uint32_t> stamp = SendStepRequest(batch, index, id, body);
  if (stamp) {
    const BatchSettings retrieval = SettingsOf(batch);
    RequestMemory& memory = requestMemory_[*stamp];
    memory = RequestMemory();
    memory.replaceMode = retrieval.replaceMode;
    memory.writable = retrieval.writable;
    memory.checkInMode = checkInMode_;
  }
  return true;
}

bool CBrannockDoc::ExecuteGetProject(InstructionBatch& batch, int index) {
  const std::string indexName = batch.GetInstruction(index)->GetIndexName();
  return ExecuteRetrieval(batch, index, MSGID_RETRIEVE, RequestBodies::GetDocuments(indexName, {}));
}

bool CBrannockDoc::ExecuteGetOriginalDocuments(InstructionBatch& batch, int index) {
  const std::string indexName = batch.GetInstruction(index)->GetIndexName();
  return ExecuteRetrieval(batch, index, MSGID_GET_ORIGINAL_DOCUMENTS, RequestBodies::GetOriginalDocuments(indexName));
}

bool CBrannockDoc::ExecuteAddProject(InstructionBatch& batch, int index) {
  const Instruction& instruction = *batch.GetInstruction(index);
  const Instruction* parent = batch.GetInstruction(instruction.GetPrerequisite());
  const std::string parentIndexName = parent != nullptr ? parent->GetIndexName() : std::string();
  return ExecuteRequest(batch, index, MSGID_ADD_PROJECT,
                        RequestBodies::AddProject(parentIndexName, instruction.GetName()));
}

bool CBrannockDoc::ExecuteAddOriginalProject(InstructionBatch& batch, int index) {
  const Instruction& instruction = *batch.GetInstruction(index);
  const Instruction* parent = batch.GetInstruction(instruction.GetPrerequisite());
  const std::string parentIndexName = parent != nullptr ? parent->GetIndexName() : std::string();
  return ExecuteRequest(batch, index, MSGID_ADD_ORIGINAL_PROJECT,
                        RequestBodies::AddOriginalProject(parentIndexName, instruction.GetName()));
}

bool CBrannockDoc::ExecuteCreateEdition(InstructionBatch& batch, int index) {
  const StepStart start = BeginStep(batch, index);
  if (start != StepStart::kProceed) return start != StepStart::kClosed;
  const Instruction& instruction = *batch.GetInstruction(index);
  Instruction& project = *batch.GetInstruction(instruction.GetPrerequisite());
  if (project.GetIndexName() == ProjectNode::kRootIndexName) project.SetIndexName(std::string());
  SendStepRequest(batch, index, MSGID_CREATE_EDITION,
                  RequestBodies::CreateEdition(project.GetIndexName(), instruction.GetName(), batch.GetComments()));
  return true;
}

bool CBrannockDoc::ExecuteListVersions(InstructionBatch& batch, int index) {
  return ExecuteRequest(batch, index, MSGID_LIST_VERSIONS,
                        RequestBodies::ListVersions(batch.GetInstruction(index)->GetIndexName()));
}

bool CBrannockDoc::ExecuteListDocuments(InstructionBatch& batch, int index) {
  return ExecuteRequest(batch, index, MSGID_LIST_DOCUMENTS,
                        RequestBodies::ListDocuments(batch.GetInstruction(index)->GetIndexName()));
}

bool CBrannockDoc::ExecuteRefreshProjects(InstructionBatch& batch, int index) {
  return ExecuteRequest(batch, index, MSGID_REFRESH_PROJECTS, RequestBodies::RefreshProjects());
}

CBrannockDoc::StepStart CBrannockDoc::BeginReferenceStep(InstructionBatch& batch, int index) {
  const StepStart start = BeginStep(batch, index);
  if (start != StepStart::kProceed) return start;
  Instruction& instruction = *batch.GetInstruction(index);
  instruction.SetIndexName(batch.GetInstruction(instruction.GetPrerequisite())->GetIndexName());
  if (!instruction.GetSourceFolder().empty()) return StepStart::kProceed;
  FinishInstruction(batch, index, true);
  return StepStart::kFinished;
}

bool CBrannockDoc::ExecuteAddOriginalReferences(InstructionBatch& batch, int index) {
  const StepStart start = BeginReferenceStep(batch, index);
  if (start != StepStart::kProceed) return start != StepStart::kClosed;
  const Instruction& instruction = *batch.GetInstruction(index);
  const std::vector<RequestBodies::ReferenceRow> rows =
      OriginalReferenceRows(instruction.GetSourceFolder(), batch.GetComments());
  const std::optional<std::uint32_t> stamp =
      SendStepRequest(batch, index, MSGID_ADD_ORIGINAL_REFERENCES,
                      RequestBodies::AddOriginalReferences(instruction.GetIndexName(), rows));
  if (stamp) referenceRowsSent_[*stamp] = static_cast<int>(rows.size());
  return true;
}

bool CBrannockDoc::ExecuteAddDocumentReferences(InstructionBatch& batch, int index) {
  const StepStart start = BeginReferenceStep(batch, index);
  if (start != StepStart::kProceed) return start != StepStart::kClosed;
  const Instruction& instruction = *batch.GetInstruction(index);
  const std::optional<std::vector<RequestBodies::ReferenceRow>> rows =
      DocumentReferenceRows(instruction.GetSourceFolder(), batch.GetComments());
  // An empty list would be reported as references added when none were.
  if (!rows) {
    FinishInstruction(batch, index, false);
    return true;
  }
  const std::optional<std::uint32_t> stamp = SendStepRequest(
      batch, index, MSGID_ADD_REFERENCES, RequestBodies::AddDocumentReferences(instruction.GetIndexName(), *rows));
  if (stamp) referenceRowsSent_[*stamp] = static_cast<int>(rows->size());
  return true;
}

bool CBrannockDoc::ExecuteAddDocuments(InstructionBatch& batch, int index) {
  const StepStart start = BeginStep(batch, index);
  if (start != StepStart::kProceed) return start != StepStart::kClosed;
  Instruction& instruction = *batch.GetInstruction(index);
  const std::string indexName = batch.GetInstruction(instruction.GetPrerequisite())->GetIndexName();
  instruction.SetIndexName(indexName);
  // Without its project, or with a file that cannot be sent, the request never goes.
  if (tree_.FindProjectByPath(indexName) == nullptr) {
    FinishInstruction(batch, index, false);
    return true;
  }
  ProjectDocumentList known;
  listCache_.GetProjectDocumentList(indexName, tree_, libraryFolder_, known);
  const std::string folder = instruction.GetSourceFolder();
  std::vector<LocalFileEntry> entries;
  ScanLocalFolder(entries, folder, batch.GetRuleSet());
  std::vector<RequestBodies::FileRow> files;
  ProjectDocumentList chosen;
  chosen.SetProjectIndexName(indexName);
  std::vector<std::int64_t> sizes;
  for (const LocalFileEntry& entry : entries) {
    const std::string name = entry.GetFileName();
    if (entry.IsDirectory() || HoldsName(known, name)) continue;
    const std::optional<std::int32_t> size = RequestBodies::SendableFileSize(RequestBodies::FilePath(folder, name));
    if (!size) {
      FinishInstruction(batch, index, false);
      return true;
    }
    files.push_back({name, *size, batch.GetComments()});
    DocumentVersionEntry document;
    document.SetName(name);
    document.SetComment(batch.GetComments());
    chosen.Add(document);
    sizes.push_back(*size);
  }
  if (files.empty()) {
    FinishInstruction(batch, index, true);
    return true;
  }
  // A large folder sends its first step here and the rest as steps of their own at
  // the batch's end, so that a cancel falls between its files.
  const std::vector<ProjectDocumentList> steps = DocumentSteps::Split(chosen, sizes);
  files.resize(static_cast<std::size_t>(steps.front().GetCount()));
  const std::optional<std::uint32_t> stamp =
      SendStepRequest(batch, index, MSGID_ADD_DOCUMENTS, RequestBodies::AddDocuments(folder, indexName, files));
  if (stamp) {
    RequestMemory& memory = requestMemory_[*stamp];
    memory = RequestMemory();
    memory.replaceMode = replaceMode_;
    memory.checkInMode = checkInMode_;
    memory.folder = folder;
    AppendDocumentSteps(batch, Instruction::kAddChosenDocuments, steps, 1, index, folder);
  }
  return true;
}
