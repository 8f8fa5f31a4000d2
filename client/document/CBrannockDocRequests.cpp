// The request senders: each builds its body through RequestBodies, hands it to the
// link and keeps what its reply will need (pending list requests, per-stamp memory).
#include <utility>

#include "client/document/CBrannockDoc.h"
#include "client/document/CBrannockApp.h"
#include "client/document/DocumentSteps.h"
#include "client/link/RequestBodies.h"
#include "common/MessageIds.h"
#include "common/NameValidation.h"
#include "common/StringHelpers.h"
#include "common/WireCapabilities.h"

namespace {

// The rows of the files that follow a request, one per document, each read from
// `folder` with its entry's comment. None when the folder is unknown, a name is not
// one safe component, or a file cannot be sent (see RequestBodies::SendableFileSize):
// then nothing may be sent at all.
std::optional<std::vector<RequestBodies::FileRow>> ReadFileRows(const std::string& folder,
                                                                const ProjectDocumentList& documents) {
  if (folder.empty()) return std::nullopt;
  std::vector<RequestBodies::FileRow> rows;
  for (int i = 0; i < documents.GetCount(); ++i) {
    const DocumentVersionEntry& entry = *documents.GetAt(i);
    if (!IsValidStoredName(entry.GetName())) return std::nullopt;
    const std::optional<std::int32_t> size =
        RequestBodies::SendableFileSize(RequestBodies::FilePath(folder, entry.GetName()));
    if (!size) return std::nullopt;
    rows.push_back({entry.GetName(), *size, entry.GetComment()});
  }
  return rows;
}

std::vector<RequestBodies::DocumentVersion> DocumentVersions(const ProjectDocumentList& documents) {
  std::vector<RequestBodies::DocumentVersion> rows;
  for (int i = 0; i < documents.GetCount(); ++i) {
    const DocumentVersionEntry* entry = documents.GetAt(i);
    rows.push_back({entry->GetName(), entry->GetVersion()});
  }
  return rows;
}

}  // namespace

std::optional<std::uint32_t> CBrannockDoc::SendRequest(std::uint32_t id, const std::string& body) {
  // A gone link is closed by the next pass's pump, never under the caller's feet.
  if (IsLinkEnded()) return std::nullopt;
  Msg request;
  request.SetMessageId(id);
  request.SetBody(body);
  if (connection_->Send(request) != IPConnection::kDone) return std::nullopt;
  unanswered_[request.GetOriginalStamp()] = id;
  return request.GetOriginalStamp();
}

bool CBrannockDoc::SendRemembered(std::uint32_t id, const std::string& body, RequestMemory memory) {
  const std::optional<std::uint32_t> stamp = SendRequest(id, body);
  if (!stamp) return false;
  requestMemory_[*stamp] = std::move(memory);
  return true;
}

bool CBrannockDoc::SendAddProject(const std::string& parentIndexName, const std::string& name) {
  return SendRequest(MSGID_ADD_PROJECT, RequestBodies::AddProject(parentIndexName, name)).has_value();
}

bool CBrannockDoc::SendListDocuments(const std::string& projectIndexName) {
  if (IsLinkEnded()) return false;
  // After a new logon the replies of earlier requests will not come.
  if (listRequestsLogon_ != logons_) ForgetAllListRequests();
  if (IsListRequestPending(projectIndexName)) return true;
  const std::optional<std::uint32_t> stamp =
      SendRequest(MSGID_LIST_DOCUMENTS, RequestBodies::ListDocuments(projectIndexName));
  // A refused request is not pending: the list may be asked for again.
  if (!stamp) return false;
  pendingListRequests_[projectIndexName] = *stamp;
  return true;
}

bool CBrannockDoc::SendAddDocuments(const std::string& projectIndexName, const std::string& folder,
                                    const std::vector<std::string>& fileNames, const std::string& comments) {
  if (IsLinkEnded()) return false;
  ProjectDocumentList documents;
  documents.SetProjectIndexName(projectIndexName);
  for (const std::string& name : fileNames) {
    DocumentVersionEntry entry;
    entry.SetName(name);
    entry.SetComment(comments);
    documents.Add(entry);
  }
  std::vector<std::int64_t> sizes;
  // Every file is checked before any step goes: an add that cannot be sent whole sends nothing.
  const std::optional<std::string> body = FilesBody(MSGID_ADD_DOCUMENTS, documents, folder, &sizes);
  if (!body) return false;
  const std::vector<ProjectDocumentList> steps = DocumentSteps::Split(documents, sizes);
  if (steps.size() > 1) {
    return QueueDocumentSteps(Instruction::kAddChosenDocuments, steps, folder,
                              {replaceMode_, writableOnRetrieval_, checkInMode_, false, false});
  }
  return SendRemembered(MSGID_ADD_DOCUMENTS, *body, {replaceMode_, writableOnRetrieval_, checkInMode_, folder});
}

bool CBrannockDoc::SendGetDocuments(const ProjectDocumentList& documents, std::int32_t replaceMode,
                                    const std::string& folder) {
  if (IsLinkEnded()) return false;
  replaceMode_ = replaceMode;
  const std::vector<ProjectDocumentList> steps =
      DocumentSteps::Split(documents, DocumentSteps::ListedSizes(documents));
  if (steps.size() > 1) {
    return QueueDocumentSteps(Instruction::kGetDocuments, steps, folder,
                              {replaceMode, writableOnRetrieval_, checkInMode_, false, false});
  }
  return SendRemembered(MSGID_RETRIEVE,
                        RequestBodies::GetDocuments(documents.GetProjectIndexName(), DocumentVersions(documents)),
                        {replaceMode, writableOnRetrieval_, checkInMode_, folder});
}

bool CBrannockDoc::IsClientOwnFolder(const std::string& folder) const {
  const std::string own = EnsureTrailingBackslash(app_.GetWorkingDirectory()) + kLibrariesFolder;
  return EnsureTrailingBackslash(folder).compare(0, own.size(), own) == 0;
}

bool CBrannockDoc::SendCheckOutDocuments(const ProjectDocumentList& documents, bool referencing, bool referenced,
                                         std::int32_t replaceMode) {
  if (IsLinkEnded()) return false;
  replaceMode_ = replaceMode;
  const std::vector<ProjectDocumentList> steps =
      DocumentSteps::Split(documents, DocumentSteps::ListedSizes(documents));
  if (steps.size() > 1) {
    return QueueDocumentSteps(Instruction::kCheckOutDocuments, steps, std::string(),
                              {replaceMode, writableOnRetrieval_, checkInMode_, referencing, referenced});
  }
  const std::string body = RequestBodies::CheckOutDocuments(documents.GetProjectIndexName(),
                                                            DocumentVersions(documents), referencing, referenced);
  return SendRemembered(MSGID_CHECK_OUT, body, {replaceMode, writableOnRetrieval_, checkInMode_, std::string()});
}

std::optional<std::string> CBrannockDoc::FilesBody(std::uint32_t id, const ProjectDocumentList& documents,
                                                   const std::string& folder, std::vector<std::int64_t>* sizes) {
  if (tree_.FindProjectByPath(documents.GetProjectIndexName()) == nullptr) return std::nullopt;
  const auto rows = ReadFileRows(folder, documents);
  if (!rows) return std::nullopt;
  if (sizes != nullptr) {
    for (const RequestBodies::FileRow& row : *rows) sizes->push_back(row.size);
  }
  return id == MSGID_ADD_DOCUMENTS ? RequestBodies::AddDocuments(folder, documents.GetProjectIndexName(), *rows)
                                   : RequestBodies::CheckInDocuments(folder, documents.GetProjectIndexName(), *rows);
}

std::string CBrannockDoc::CheckInFolder(const std::string& projectIndexName) {
  const ProjectNode* project = tree_.FindProjectByPath(projectIndexName);
  return project == nullptr ? std::string() : project->GetLocalFolder();
}

bool CBrannockDoc::SendCheckInDocuments(const ProjectDocumentList& documents, std::int32_t checkInMode) {
  if (IsLinkEnded()) return false;
  const std::string folder = CheckInFolder(documents.GetProjectIndexName());
  std::vector<std::int64_t> sizes;
  // Every file is checked before any step goes: a check-in that cannot be sent whole sends nothing.
  const std::optional<std::string> body = FilesBody(MSGID_CHECK_IN, documents, folder, &sizes);
  if (!body) return false;
  checkInMode_ = checkInMode;
  const std::vector<ProjectDocumentList> steps = DocumentSteps::Split(documents, sizes);
  if (steps.size() > 1) {
    return QueueDocumentSteps(Instruction::kCheckInDocuments, steps, folder,
                              {replaceMode_, writableOnRetrieval_, checkInMode, false, false});
  }
  return SendRemembered(MSGID_CHECK_IN, *body, {replaceMode_, writableOnRetrieval_, checkInMode, folder});
}

// ---- operations on many documents, in steps -----------------------------------------

bool CBrannockDoc::QueueDocumentSteps(std::int32_t kind, const std::vector<ProjectDocumentList>& steps,
                                      const std::string& folder, const BatchSettings& settings) {
  InstructionBatch batch;
  batch.GetInstruction(0)->SetIndexName(steps.front().GetProjectIndexName());
  AppendDocumentSteps(batch, kind, steps, 0, 0, folder);
  return QueueBatch(std::move(batch), settings);
}

void CBrannockDoc::AppendDocumentSteps(InstructionBatch& batch, std::int32_t kind,
                                       const std::vector<ProjectDocumentList>& steps, std::size_t from, int after,
                                       const std::string& folder) {
  for (std::size_t i = from; i < steps.size(); ++i) {
    Instruction instruction;
    instruction.SetKind(kind);
    // Each step waits for the one before, so a cancel finds the rest unsent.
    instruction.SetPrerequisite(i == from ? after : batch.GetCount() - 1);
    instruction.SetName(DocumentSteps::Name(steps[i]));
    instruction.SetIndexName(steps[i].GetProjectIndexName());
    instruction.SetTargetFolder(folder);
    instruction.SetSourceFolder(folder);
    instruction.SetDocuments(steps[i]);
    batch.AddInstruction(instruction);
  }
}

bool CBrannockDoc::ExecuteDocumentStep(InstructionBatch& batch, int index) {
  // The step before only orders this one: its failure leaves these documents to go.
  if (IsLinkEnded()) {
    OnCloseDocument();
    return false;
  }
  const Instruction& instruction = *batch.GetInstruction(index);
  if (instruction.IsSent()) return true;
  const ProjectDocumentList& documents = instruction.GetDocuments();
  // Without documents the request would ask for nothing (a retrieval: the whole project).
  if (documents.GetCount() == 0) {
    FinishInstruction(batch, index, false);
    return true;
  }
  const BatchSettings settings = SettingsOf(batch);
  RequestMemory memory{settings.replaceMode, settings.writable, settings.checkInMode, std::string()};
  std::uint32_t id = MSGID_RETRIEVE;
  std::optional<std::string> body;
  switch (instruction.GetKind()) {
    case Instruction::kGetDocuments:
      memory.folder = instruction.GetTargetFolder();
      body = RequestBodies::GetDocuments(documents.GetProjectIndexName(), DocumentVersions(documents));
      break;
    case Instruction::kCheckOutDocuments:
      id = MSGID_CHECK_OUT;
      body = RequestBodies::CheckOutDocuments(documents.GetProjectIndexName(), DocumentVersions(documents),
                                              settings.referencing, settings.referenced);
      break;
    case Instruction::kCheckInDocuments:
      id = MSGID_CHECK_IN;
      // Read now: the files are sent as they are when their step goes.
      memory.folder = CheckInFolder(documents.GetProjectIndexName());
      body = FilesBody(id, documents, memory.folder);
      break;
    default:
      id = MSGID_ADD_DOCUMENTS;
      memory.folder = instruction.GetSourceFolder();
      body = FilesBody(id, documents, memory.folder);
      break;
  }
  if (!body) {
    FinishInstruction(batch, index, false);
    return true;
  }
  const std::optional<std::uint32_t> stamp = SendStepRequest(batch, index, id, *body);
  if (stamp) requestMemory_[*stamp] = std::move(memory);
  return true;
}

bool CBrannockDoc::IsUndoCheckOutServed() const {
  return !IsLinkEnded() && connection_->GetServerCapabilities().Has(WireExtension::kUndoCheckOut);
}

bool CBrannockDoc::SendUndoCheckOut(const ProjectDocumentList& documents, bool replaceWithLatest) {
  if (!IsUndoCheckOutServed()) return false;
  const ProjectNode* project = tree_.FindProjectByPath(documents.GetProjectIndexName());
  if (project == nullptr) return false;
  std::vector<std::string> names;
  for (int i = 0; i < documents.GetCount(); ++i) names.push_back(documents.GetAt(i)->GetName());
  // The replace mode says what becomes of the local copies: replaced, or kept.
  return SendRemembered(MSGID_UNDO_CHECK_OUT, RequestBodies::UndoCheckOut(documents.GetProjectIndexName(), names),
                        {replaceWithLatest ? kFetchReplaceMode : 0, false, checkInMode_,
                         project->GetLocalFolder()});
}

bool CBrannockDoc::SendListVersions(const std::string& projectIndexName) {
  return SendRequest(MSGID_LIST_VERSIONS, RequestBodies::ListVersions(projectIndexName)).has_value();
}

bool CBrannockDoc::SendGetVersion(const std::string& projectIndexName, const std::string& name,
                                  std::int32_t version, const std::string& folder,
                                  VersionDeliveries::Received received) {
  if (folder.empty() || !IsValidStoredName(name)) return false;
  const std::optional<std::uint32_t> stamp =
      SendRequest(MSGID_RETRIEVE, RequestBodies::GetDocuments(projectIndexName, {{name, version}}));
  if (!stamp) return false;
  requestMemory_[*stamp] = {0, false, checkInMode_, folder};
  versionDeliveries_.Expect(*stamp, std::move(received));
  return true;
}

bool CBrannockDoc::SendDeleteProject(const std::string& parentIndexName, const std::string& projectIndexName) {
  if (!publisher_ || IsLinkEnded() || tree_.FindProjectByPath(projectIndexName) == nullptr) return false;
  return SendRequest(MSGID_DELETE_PROJECT, RequestBodies::DeleteProject(parentIndexName, projectIndexName))
      .has_value();
}

bool CBrannockDoc::SendDeleteDocuments(const ProjectDocumentList& documents) {
  if (!publisher_ || IsLinkEnded() || tree_.FindProjectByPath(documents.GetProjectIndexName()) == nullptr) return false;
  std::vector<std::string> indexNames;
  for (int i = 0; i < documents.GetCount(); ++i) indexNames.push_back(documents.GetAt(i)->GetIndexName());
  const std::string body = RequestBodies::DeleteDocuments(documents.GetProjectIndexName(), indexNames);
  return SendRequest(MSGID_DELETE_DOCUMENTS, body).has_value();
}

bool CBrannockDoc::SendRenameProject(const std::string& projectIndexName, const std::string& newName) {
  if (!publisher_ || IsLinkEnded() || tree_.FindProjectByPath(projectIndexName) == nullptr) return false;
  return SendRequest(MSGID_RENAME_PROJECT, RequestBodies::RenameProject(projectIndexName, newName)).has_value();
}

bool CBrannockDoc::SendRenameDocument(const std::string& projectIndexName, const std::string& documentIndexName,
                                      const std::string& newName) {
  if (!publisher_ || IsLinkEnded() || tree_.FindProjectByPath(projectIndexName) == nullptr) return false;
  return SendRequest(MSGID_RENAME_DOCUMENT, RequestBodies::RenameDocument(projectIndexName, documentIndexName, newName))
      .has_value();
}

void CBrannockDoc::ForgetListRequest(const std::string& projectIndexName) {
  pendingListRequests_.erase(projectIndexName);
}

void CBrannockDoc::ForgetListRequestByStamp(std::uint32_t stamp) {
  std::erase_if(pendingListRequests_, [stamp](const auto& pending) { return pending.second == stamp; });
}

void CBrannockDoc::ForgetAllListRequests() {
  pendingListRequests_.clear();
  listRequestsLogon_ = logons_;
}

bool CBrannockDoc::IsListRequestPending(const std::string& projectIndexName) const {
  return listRequestsLogon_ == logons_ && pendingListRequests_.count(projectIndexName) != 0;
}
