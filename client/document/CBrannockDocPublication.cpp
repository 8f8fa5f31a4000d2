// Publication: the edition batch, the staging copies and the publication replies.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/document/ClientHints.h"
#include "client/link/ReplyMessages.h"
#include "client/records/FieldCursor.h"
#include "common/RecordRows.h"
#include "platform/fs.h"

namespace {

constexpr std::int32_t kCreateEdition = 8;
constexpr std::int32_t kAddOriginalReferences = 12;
constexpr std::int32_t kAddOriginalProject = 15;

Instruction MakeInstruction(std::int32_t kind, int prerequisite, const std::string& name,
                            const std::string& targetFolder, const std::string& sourceFolder) {
  Instruction instruction;
  instruction.SetKind(kind);
  instruction.SetPrerequisite(prerequisite);
  instruction.SetName(name);
  instruction.SetTargetFolder(targetFolder);
  instruction.SetSourceFolder(sourceFolder);
  return instruction;
}

}  // namespace

void CBrannockDoc::SetPublicationSelection(const PublicationSelection& selection, const std::string& name,
                                           const std::string& comments) {
  publicationSelection_ = selection;
  publicationName_ = name;
  publicationComments_ = comments;
  SendHint(ClientHints::kPublicationMode, UpdateHint::kTreeView);
}

void CBrannockDoc::QueueEditionBatch() {
  publicationRunning_ = true;
  refreshAfterTree_ = false;
  SendHint(ClientHints::kSaveTicks, UpdateHint::kDocumentListView);
  SendHint(ClientHints::kCollectTickedProjects, UpdateHint::kTreeView);

  if (publicationMapping_.GetProjectName().empty()) {
    RestorePublicationCopies(tree_.GetRoot());
    publicationRunning_ = false;
    publicationPreparing_ = false;
    SendHint(ClientHints::kProjectTree, UpdateHint::kTreeView);
    SendHint(ClientHints::kDocumentList, UpdateHint::kDocumentListView);
    return;
  }

  const std::string& parentIndexName = publicationSelection_.projectIndexName;
  const ProjectNode* parent = tree_.FindProjectByPath(parentIndexName);
  const std::string parentFolder = parent == nullptr ? std::string() : parent->GetLocalFolder();
  InstructionBatch batch;
  batch.GetInstruction(0)->SetIndexName(parentIndexName);
  batch.SetComments(publicationComments_);
  const int creation =
      batch.AddInstruction(MakeInstruction(kCreateEdition, 0, publicationName_, parentFolder, parentFolder));
  const int references = batch.AddInstruction(MakeInstruction(kAddOriginalReferences, creation, publicationName_,
                                                              parentFolder, publicationMapping_.GetFolderList()));
  for (int i = 0; i < publicationMapping_.GetChildCount(); ++i) {
    AddOriginalProjectInstructions(batch, references, *publicationMapping_.GetChild(i));
  }
  SendHint(ClientHints::kPublicationQueued, UpdateHint::kTreeView);
  QueueBatch(std::move(batch));
}

void CBrannockDoc::AbandonPublication() {
  publicationRunning_ = true;
  EndPublication();
}

void CBrannockDoc::AddOriginalProjectInstructions(InstructionBatch& batch, int prerequisite,
                                                  const FolderMapping& node) {
  const int project = batch.AddInstruction(MakeInstruction(kAddOriginalProject, prerequisite, node.GetProjectName(),
                                                           node.GetLocalFolder(), node.GetLocalFolder()));
  Instruction references = MakeInstruction(kAddOriginalReferences, project, node.GetProjectName(),
                                           node.GetLocalFolder(), node.GetFolderList());
  references.SetIndexName(node.GetSecondName());
  const int referencesIndex = batch.AddInstruction(references);
  for (int i = 0; i < node.GetChildCount(); ++i) {
    AddOriginalProjectInstructions(batch, referencesIndex, *node.GetChild(i));
  }
}

void CBrannockDoc::RestorePublicationCopies(const ProjectNode& node) {
  // Walked without recursion: a tree may be as deep as ProjectNode::kMaxDepth.
  std::vector<const ProjectNode*> pending{&node};
  while (!pending.empty()) {
    const ProjectNode* current = pending.back();
    pending.pop_back();
    const std::string versions = DocumentListCache::VersionsFilePath(libraryFolder_, current->GetCacheFilePath());
    if (!versions.empty()) {
      const std::string staged = versions + kStagingCopySuffix;
      // A copy that could not be put back is kept, so a later end can still restore it.
      if (platform::fs::CopyFile(staged, versions, platform::fs::CopyMode::Overwrite)) {
        platform::fs::DeleteFile(staged);
      }
    }
    for (int i = current->GetChildCount() - 1; i >= 0; --i) pending.push_back(current->GetChild(i));
  }
}

void CBrannockDoc::OnEditionCreated(const Msg& reply) {
  InsertReplyNode(reply, kEditionNoNameText, kEditionNoIndexNameText);
}

void CBrannockDoc::OnOriginalProjectAdded(const Msg& reply) {
  InsertReplyNode(reply, kAddedProjectWithoutName, kAddedProjectWithoutIndexName);
}

void CBrannockDoc::OnOriginalReferencesAdded(const Msg& reply) { OnReferencesAdded(reply); }

void CBrannockDoc::OnDocumentReferencesAdded(const Msg& reply) { OnReferencesAdded(reply); }

void CBrannockDoc::OnReferencesAdded(const Msg& reply) {
  const std::uint32_t stamp = reply.GetOriginalStamp();
  const std::vector<std::string> rows = SplitRecordRows(reply.GetBodyText());
  std::string indexName;
  std::int32_t count = 0;
  FieldCursor head(rows.empty() ? std::string() : rows.front());
  head.String(indexName).Int(count);
  const ProjectNode* project = head.Ok() && !indexName.empty() ? tree_.FindProjectByPath(indexName) : nullptr;
  if (project == nullptr) {
    MarkInstructionFailed(stamp, false);
    return;
  }

  // Only the rows present are read, never more than the count says.
  const std::size_t listed = std::min(rows.size() - 1, static_cast<std::size_t>(std::max(count, 0)));
  ReplyMessages messages(project->GetName());
  int refused = 0;
  for (std::size_t i = 1; i <= listed; ++i) {
    std::string name;
    std::int32_t ok = 0;
    std::int32_t error = 0;
    FieldCursor row(rows[i]);
    row.String(name).SkipString().SkipInt().SkipInt().Int(ok).Int(error);
    if (row.Ok() && ok == 0) {
      messages.Add(GetServerErrorText(error), name);
      ++refused;
    }
  }
  if (!messages.IsEmpty()) ShowInformation(messages.Take());
  // The server lists only the refused rows: what was sent and not refused was made.
  const auto sent = referenceRowsSent_.find(stamp);
  const int sentRows = sent == referenceRowsSent_.end() ? refused : sent->second;
  if (sent != referenceRowsSent_.end()) referenceRowsSent_.erase(sent);
  CountDone(stamp, DoneNotice::Operation::kPublish, "", std::max(sentRows - refused, 0), refused);
  MarkInstructionDone(stamp, indexName, true);
}
