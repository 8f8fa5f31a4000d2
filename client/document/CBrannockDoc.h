#pragma once
// One open library: its connection and the thread that runs it, its project tree
// with the inventory file in the library folder, the views that show it and the
// flags through which pump, senders and views cooperate. Opened by connection index
// (Visit Library), driven by the application's periodic pass, closed after it.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "client/document/AccountRights.h"
#include "client/document/DocumentViews.h"
#include "client/document/FolderMapping.h"
#include "client/document/DoneNotice.h"
#include "client/document/InstructionBatch.h"
#include "client/document/LibraryDocument.h"
#include "client/document/LocalFileEntry.h"
#include "client/document/QueueCancel.h"
#include "client/document/UndeliveredCheckOuts.h"
#include "client/document/VersionDeliveries.h"
#include "client/library/DocumentListCache.h"
#include "client/library/ProjectDocumentList.h"
#include "client/library/ProjectInventory.h"
#include "client/library/ProjectTree.h"
#include "client/library/PublicationSelection.h"
#include "client/link/AbandonedRequestNotice.h"
#include "client/link/IPConnection.h"
#include "client/link/LinkNotice.h"

class CBrannockApp;

class CBrannockDoc : public LibraryDocument {
 public:
  static constexpr const char* kDisplayNameSuffix = " : (TCP/IP)";
  static constexpr const char* kLibrariesFolder = "Libraries/";
  // Closing waits this many pump passes, kLogoffPassMs apart, for the server's goodbye.
  static constexpr int kLogoffPasses = 10000;
  static constexpr int kLogoffPassMs = 5;

  static constexpr const char* kUnsafeLibraryName =
      "The library name \"%s\" cannot be used as a folder name. The library was not opened.";
  static constexpr const char* kUnusableConnection =
      "The connection to the library \"%s\" cannot be used: its key or its server address is not valid. "
      "Import its certificate again.";

  explicit CBrannockDoc(CBrannockApp& app);
  // Stops and joins the connection thread if Close has not, writes the inventory
  // when it was loaded, then frees the connection.
  ~CBrannockDoc() override;
  CBrannockDoc(const CBrannockDoc&) = delete;
  CBrannockDoc& operator=(const CBrannockDoc&) = delete;

  // Visit Library: the open document of the connection index that `path` names, or
  // a new one opened and handed to the application's open libraries. Null when the
  // open is refused.
  static CBrannockDoc* VisitLibrary(CBrannockApp& app, const std::string& path);
  // The connection index named by the path's last component (after the last '/'):
  // an optionally signed decimal number and nothing else; none otherwise.
  static std::optional<int> ConnectionIndexFromPath(const std::string& path);

  // Opens the current user's TCP/IP connection of the path's index: library folder
  // made, inventory loaded, root mapped, connection thread started. False, with no
  // thread, for an index out of range, another kind of connection, a name unsafe as
  // a folder level or a connection the link refuses (both told to the user), or a
  // library folder that cannot be made.
  bool OnOpenDocument(const std::string& path);
  // Asks the application to close this library: after the pass when one runs, or
  // after the windows' holds end (OpenLibraries::Hold), else at once (so not from
  // inside this document's own updates outside a pass or a hold).
  void OnCloseDocument();

  // While the link is made and not yet logged on for the first time: the status
  // line naming library, server and user. None otherwise.
  std::optional<std::string> GetConnectingText() const;

  // LibraryDocument.
  bool IsFirstRequestSent() const override { return firstRequestSent_; }
  void SetFirstRequestSent() override { firstRequestSent_ = true; }
  // Connection not ended and logged on.
  bool IsReady() const override;
  bool IsLinkEnded() const override { return connection_ == nullptr || connectionEnded_; }
  // How far the file the link is receiving has come; nothing under way without a link.
  TransferProgress::Counts GetFileProgress() const {
    return connection_ == nullptr ? TransferProgress::Counts{} : connection_->GetFileProgress();
  }
  // Sends 5004 when there is no tree, the root needs a refresh or `force`; else tells
  // the three views to rebuild from the tree held (hint 5005). With the link gone
  // nothing is sent; the next pass closes the document.
  void RequestProjectTree(bool force) override;
  // One pump step: nothing before the open completed; a gone link sets goodbye and,
  // unless `closing`, closes the document; else takes at most one reply.
  void ProcessMessages(bool closing) override;
  // Logs off and waits (at most kLogoffPasses passes) for the goodbye or the end of
  // the link, then stops the connection and joins its thread.
  void Close() override;
  // A window holds this document: the tree closes its progress dialog (hint -1090).
  void OnClosePending() override;
  // A close was asked for and waits for the windows' holds to end: a handler back
  // from a nested loop stops without touching the document.
  bool IsClosePending() const;
  CBrannockApp& GetApp() const { return app_; }

  // True when both files open and hold the same bytes (two empty files are equal).
  static bool CompareFiles(const std::string& first, const std::string& second);

  // Update-hint senders.
  void ChooseLocalFolder();
  void AddSelectedLocalFiles();
  // Stores the tree item of the project the user selected and tells the document
  // list and the local file list.
  void SetCurrentProject(TreeItem item);
  TreeItem GetCurrentProjectItem() const { return currentProjectItem_; }

  void EnableDocumentCheckBoxes() { documentCheckBoxes_ = true; }
  void DisableDocumentCheckBoxes() { documentCheckBoxes_ = false; }
  bool AreDocumentCheckBoxesEnabled() const { return documentCheckBoxes_; }
  void SetReplaceMode(std::int32_t mode) { replaceMode_ = mode; }
  std::int32_t GetReplaceMode() const { return replaceMode_; }
  void SetCheckInMode(std::int32_t mode) { checkInMode_ = mode; }
  std::int32_t GetCheckInMode() const { return checkInMode_; }

  DocumentViews& GetViews() { return views_; }
  // The tree, for the tree reply (ProjectTree::ApplyServerTree merges 5005) and views.
  ProjectTree& GetProjectTree() { return tree_; }
  const std::string& GetDisplayName() const { return displayName_; }
  const std::string& GetUserText() const { return userText_; }
  const std::string& GetLibraryFolder() const { return libraryFolder_; }
  int GetConnectionIndex() const { return connectionIndex_; }
  bool AreTipsOn() const { return tipsOn_; }
  void SetTipsOn(bool on) { tipsOn_ = on; }
  // Set by the local file list while its selection holds something that can be added.
  void SetLocalSelection(bool selected) { localSelection_ = selected; }
  bool HasLocalSelection() const { return localSelection_; }
  // Writes the tree to the inventory file; false when it was never loaded or cannot be written.
  bool SaveInventory();

  // What a request remembers for its reply, by the request's stamp: the replace
  // mode, the writable choice and the check-in mode as they were when it was sent,
  // and for 5018 / 5026 the folder its files were read from, for 5020 the folder
  // its files go to ("" for the project's own; for SendGetVersion, the folder that
  // receives the file).
  struct RequestMemory {
    std::int32_t replaceMode = 0;
    bool writable = false;
    std::int32_t checkInMode = 0;
    std::string folder;
  };
  // Null when the stamp's request left no memory.
  const RequestMemory* FindRequestMemory(std::uint32_t stamp) const;

  // The local file list's folder (may end in a separator); "" when it shows none.
  // Remembered for the run, so the library opened again shows it again.
  void SetShownLocalFolder(const std::string& folder);
  const std::string& GetShownLocalFolder() const { return shownLocalFolder_; }
  // Where a new local file list starts: the folder this library's list showed last
  // in this run while it still exists, else the root project's folder, else the
  // working folder.
  std::string GetStartLocalFolder() const;
  // The program: the publisher handles deletion and renaming; the plain client does
  // not. Taken from the application when made.
  void SetPublisher(bool publisher) { publisher_ = publisher; }
  bool IsPublisher() const { return publisher_; }

  // ===== reply dispatch and error texts (CBrannockDocDispatch.cpp) =====
  // Marks the head batch's instruction of `stamp` done with `succeeded` (and, on
  // success, its index name); a stamp no instruction holds marks nothing.
  void MarkInstructionDone(std::uint32_t stamp, const std::string& indexName, bool succeeded);
  void MarkInstructionFailed(std::uint32_t stamp, bool succeeded);
  // The folders of the instruction that `stamp` answers; "" when none.
  std::string GetInstructionTargetFolder(std::uint32_t stamp) const;
  std::string GetInstructionSourceFolder(std::uint32_t stamp) const;
  // Whether the reply of `stamp` says where its files went: a batch's retrieval of a
  // project that waits on no other instruction (the levels below go beneath it). A
  // step of chosen documents is told as the operation sent whole would be: not.
  bool TellsWhereFilesWent(std::uint32_t stamp) const;
  // Counts what the reply of `stamp` did: into the head batch's notice when one of
  // its instructions sent the request (shown when the batch ends), else shown now.
  void CountDone(std::uint32_t stamp, DoneNotice::Operation operation, const std::string& subject, int done,
                 int refused);
  // The text of a server error number, from "ErrorStringLookup.txt" in the working folder.
  std::string GetServerErrorText(int number) const;
  // Shows a text in the information dialog (headless: the Notifier); tests replace it.
  using InformationHook = std::function<void(const std::string& text)>;
  void SetInformationHook(InformationHook hook) { informationHook_ = std::move(hook); }
  void ShowInformation(const std::string& text);
  // A server's report: a dependents report in the user's terms with a warning, any
  // other through ShowInformation.
  void ShowReport(const std::string& text);
  // Error boxes of the failure replies: the body's first field is the server's error
  // number; the reply's instruction is marked failed and the number's text shown.
  void OnAddProjectFailed(const Msg& reply);          // 5013
  // The server's numbers of a list refused because its project no longer exists:
  // no box then, the tree is asked for again (once until it comes).
  static constexpr std::int32_t kDocumentListProjectGone = 7;
  static constexpr std::int32_t kVersionListProjectGone = 23;
  void OnListFailed(const Msg& reply);                // 5017, 5029 (5017 also ends the pending list request)
  void OnCheckOutFailed(const Msg& reply);            // 5025
  void OnCreateEditionFailed(const Msg& reply);       // 5032
  void OnAddOriginalProjectFailed(const Msg& reply);  // 5035
  // ===== end of reply dispatch =====

  // ===== the account's rights (CBrannockDocRights.cpp) =====
  // What the server said the account may do; none from a server without rights,
  // before its list came, or after it refused to list them.
  const std::optional<AccountRights>& GetRights() const { return rights_; }
  // Whether the account may make `request` in `project`: always while no rights are
  // known, so that a server without them sees the behaviour it always saw.
  bool MayRequest(const ProjectNode& project, MessageId request);
  // Asks for the rights list (5101) when the server announced rights; after logon and
  // each tree, and after a refusal for rights.
  void AskRights();
  bool ServerSpeaksRights() const;
  void OnRightsList(const Msg& reply);
  void OnRightsListFailed(const Msg& reply);
  // A reply to `request` that refuses it for rights (code 62, or the refusal line in a
  // reply carrying report lines): the refusal is shown in the user's terms, the
  // instruction failed and the rights asked for again. False for any other reply.
  bool HandleRightsRefusal(const Msg& reply, MessageId request);
  // ===== end of the account's rights =====

  // ===== project tree and document-list replies (CBrannockDocListReplies.cpp) =====
  // Shown when a project-added reply (5014, 5036) lacks the new project's names.
  static constexpr const char* kAddedProjectWithoutName =
      "Wexmoor has reported that the project was successfully added but has not returned the Project Name";
  static constexpr const char* kAddedProjectWithoutIndexName =
      "Wexmoor has reported that the project was successfully added but has not returned the Internal Project Name";
  void OnProjectTreeReply(const Msg& reply);
  void OnProjectAdded(const Msg& reply);
  void OnDocumentListReply(const Msg& reply);
  void OnVersionListReply(const Msg& reply);
  // The behaviour of 5014, 5033 and 5036: the new node read from the reply, put under
  // its parent (the root when unknown) with its folder made and mapped; the
  // instruction marked. Null (instruction failed, the text shown) when the reply
  // lacks the name or the index name.
  const ProjectNode* InsertReplyNode(const Msg& reply, const char* noNameText, const char* noIndexNameText);
  // The document list of a project (cache slot, cache file or a request for it).
  bool LoadProjectDocuments(ProjectNode& node);
  DocumentListCache& GetListCache() { return listCache_; }
  // ===== end of project tree and document-list replies =====

  // ===== request senders (CBrannockDocRequests.cpp) =====
  bool SendAddProject(const std::string& parentIndexName, const std::string& name);
  bool SendListDocuments(const std::string& projectIndexName);
  // Sends the files named, read from `folder` (the folder they are listed in, which
  // need not be the project's own); the reply marks them read-only there.
  bool SendAddDocuments(const std::string& projectIndexName, const std::string& folder,
                        const std::vector<std::string>& fileNames, const std::string& comments);
  // The files go to `folder`, or to the project's own folder when it is empty.
  bool SendGetDocuments(const ProjectDocumentList& documents, std::int32_t replaceMode,
                        const std::string& folder = std::string());
  // Whether `folder` lies in the client's own copies of libraries
  // ("<working folder>/Libraries/"), where the files of unmapped projects go.
  bool IsClientOwnFolder(const std::string& folder) const;
  bool SendCheckOutDocuments(const ProjectDocumentList& documents, bool referencing, bool referenced,
                             std::int32_t replaceMode);
  bool SendCheckInDocuments(const ProjectDocumentList& documents, std::int32_t checkInMode);
  // Gives the user's check-outs of the documents back without a version. The local
  // copies are made read-only, or with `replaceWithLatest` replaced by the library's
  // latest versions (changed copies backed up first). False, sending nothing, when
  // the server does not offer it.
  bool SendUndoCheckOut(const ProjectDocumentList& documents, bool replaceWithLatest);
  bool IsUndoCheckOutServed() const;
  bool SendListVersions(const std::string& projectIndexName);
  // Fetches version `version` (below 1: the latest) of the project's document
  // `name` into `folder` (made when missing), read-only, replacing a file of that
  // name there; `received` hears the placed file's path, or "" when it did not come.
  // False, `received` never called, when the request cannot go out.
  bool SendGetVersion(const std::string& projectIndexName, const std::string& name, std::int32_t version,
                      const std::string& folder, VersionDeliveries::Received received);
  bool SendDeleteProject(const std::string& parentIndexName, const std::string& projectIndexName);
  bool SendDeleteDocuments(const ProjectDocumentList& documents);
  bool SendRenameProject(const std::string& projectIndexName, const std::string& newName);
  bool SendRenameDocument(const std::string& projectIndexName, const std::string& documentIndexName,
                          const std::string& newName);
  // Forgets the pending document-list request of the project (its 5016 or 5017 came).
  void ForgetListRequest(const std::string& projectIndexName);
  void ForgetListRequestByStamp(std::uint32_t stamp);
  // Forgets every pending document-list request: after a new logon their replies
  // will not come, and the lists may be asked for again.
  void ForgetAllListRequests();
  // Requests sent through the senders or the queue whose reply has not been handled
  // yet (a request the link handed back counts as answered).
  std::size_t GetUnansweredRequestCount() const { return unanswered_.size(); }
  // True while a list request of the project is out, sent since the link's last logon.
  bool IsListRequestPending(const std::string& projectIndexName) const;
  // The answer to "Make documents writable on retrieval ?", kept with each retrieve.
  void SetWritableOnRetrieval(bool writable) { writableOnRetrieval_ = writable; }
  bool IsWritableOnRetrieval() const { return writableOnRetrieval_; }
  // ===== end of request senders =====

 private:
  // The body of an add (`id` 5018) or check-in (5026) of `documents`, their files
  // read from `folder` with each entry's comment, and (when asked) the files' sizes;
  // none when the project is unknown or a file cannot be sent.
  std::optional<std::string> FilesBody(std::uint32_t id, const ProjectDocumentList& documents,
                                       const std::string& folder, std::vector<std::int64_t>* sizes = nullptr);
  // The folder a check-in of the project's documents reads: its local folder; "" when unknown.
  std::string CheckInFolder(const std::string& projectIndexName);
  // Hands a request to the link: its stamp when queued, none when the link is gone
  // or refuses it.
  std::optional<std::uint32_t> SendRequest(std::uint32_t id, const std::string& body);
  // SendRequest, then keeps `memory` under the stamp of the queued request.
  bool SendRemembered(std::uint32_t id, const std::string& body, RequestMemory memory);
  bool writableOnRetrieval_ = false;
  // Logons the link accepted, counted on its thread; the pending list requests were
  // sent under logon listRequestsLogon_ and are void once the link logged on again.
  std::atomic<int> logons_{0};
  int listRequestsLogon_ = 0;

 public:

  // ===== batch queue and execution (CBrannockDocQueue.cpp) =====
  // What the steps of a batch and their replies apply: the replace mode and writable
  // choice of its retrievals (kinds 1, 16 and 18), the check-in mode of its check-ins
  // (kind 5), the reference choices of its check-outs (kind 7).
  struct BatchSettings {
    std::int32_t replaceMode = 0;
    bool writable = false;
    std::int32_t checkInMode = 0;
    bool referencing = false;
    bool referenced = false;
  };
  // Starts the batch, numbers it (1, 2, ... per document) and appends it to the
  // queue; its steps use the given settings, by default the document's replace
  // mode, writable choice and check-in mode. True.
  bool QueueBatch(InstructionBatch batch);
  bool QueueBatch(InstructionBatch batch, const BatchSettings& settings);
  // Runs at most one instruction step of the head batch, or removes the head batch
  // once every instruction is done and goes on with the next. An instruction whose
  // request cannot go out, or whose kind sends none, is done and failed at once; one
  // whose request the link lost is done and failed at the next pass.
  void ProcessNextInstruction();
  // Appends the list requests (kinds 11 and 10) of the project and every project
  // below it, depth first; clears the refresh-after-tree flag.
  void QueueProjectListRequests(const ProjectNode& project, InstructionBatch& batch);
  // While a publication runs: restores its staging copies, leaves publication mode
  // and asks for the project tree again. Otherwise nothing.
  void EndPublication();
  // The admitted entries of one local folder (see LocalFolderScan); the root
  // project has no member documents.
  void ScanLocalFolder(std::vector<LocalFileEntry>& entries, const std::string& folder, const FolderRuleSet& rules);
  // Requests the link handed back unanswered (any thread).
  void NoteAbandonedRequests(const std::vector<Msg>& requests);
  const std::deque<InstructionBatch>& GetBatches() const { return batches_; }
  // Cancel of the queued work (see QueueCancel): the steps not sent are given up, the
  // rest of the queue goes as usual. What was done, given up and still awaited.
  QueueCancel CancelQueuedWork();
  int GetCurrentInstructionIndex() const { return currentInstruction_; }
  bool GetLastOutcome() const { return lastOutcome_; }

 private:
  // The steps return false when they closed the document: nothing of it may be
  // touched after that.
  bool RunStep(InstructionBatch& batch, int index);
  enum class StepStart { kClosed, kFinished, kProceed };
  // The checks every step makes first: the link, the prerequisite, already sent.
  StepStart BeginStep(InstructionBatch& batch, int index);
  // Marks the instruction sent and done with `succeeded` and tells the tree view.
  void FinishInstruction(InstructionBatch& batch, int index, bool succeeded);
  // Hands the request to the link and maps its stamp; a request the link refuses
  // fails the instruction. The stamp, or none when refused.
  std::optional<std::uint32_t> SendStepRequest(InstructionBatch& batch, int index, std::uint32_t id,
                                               const std::string& body);
  bool ExecuteGetProject(InstructionBatch& batch, int index);
  bool ExecuteAddProject(InstructionBatch& batch, int index);
  bool ExecuteAddDocuments(InstructionBatch& batch, int index);
  bool ExecuteCreateEdition(InstructionBatch& batch, int index);
  bool ExecuteListVersions(InstructionBatch& batch, int index);
  bool ExecuteListDocuments(InstructionBatch& batch, int index);
  bool ExecuteAddOriginalReferences(InstructionBatch& batch, int index);
  bool ExecuteAddDocumentReferences(InstructionBatch& batch, int index);
  bool ExecuteAddOriginalProject(InstructionBatch& batch, int index);
  bool ExecuteGetOriginalDocuments(InstructionBatch& batch, int index);
  bool ExecuteRefreshProjects(InstructionBatch& batch, int index);
  // Queues an operation on chosen documents as one batch of `steps` of `kind` (5, 7,
  // 18 or 19), each waiting for the one before so that a cancel leaves the rest
  // unsent; `folder` is where retrieved files go ("" for the project's own) or where
  // added files are read. True.
  bool QueueDocumentSteps(std::int32_t kind, const std::vector<ProjectDocumentList>& steps,
                          const std::string& folder, const BatchSettings& settings);
  // Adds `steps` from `from` on to the end of `batch`, the first waiting for
  // instruction `after` and each later one for the one before.
  static void AppendDocumentSteps(InstructionBatch& batch, std::int32_t kind, const std::vector<ProjectDocumentList>& steps,
                                  std::size_t from, int after, const std::string& folder);
  // Kinds 5, 7, 18 and 19: sends the instruction's documents whatever the step before
  // did (it only orders them); a check-in or add whose files cannot be sent fails.
  bool ExecuteDocumentStep(InstructionBatch& batch, int index);
  // The settings the batch was queued with; the document's own for a batch not queued.
  BatchSettings SettingsOf(const InstructionBatch& batch) const;
  // Whether the user's answer on replacing held working copies is kept for the head
  // batch's request of `stamp`: null when no batch sent it, else the answer slot
  // (empty until asked), so a split retrieval asks once.
  std::optional<bool>* FindHeldCopiesAnswer(std::uint32_t stamp);
  // Kinds 1 and 16: nothing to get for an empty or the root's index name; the
  // reply finds the batch's retrieval settings by the stamp.
  bool ExecuteRetrieval(InstructionBatch& batch, int index, std::uint32_t id, const std::string& body);
  // Kinds 12 and 13 take the prerequisite's index name; an empty source folder
  // finishes them as succeeded (kFinished).
  StepStart BeginReferenceStep(InstructionBatch& batch, int index);
  // The step of kinds that need only the frame before their request.
  bool ExecuteRequest(InstructionBatch& batch, int index, std::uint32_t id, const std::string& body);
  // Fails the head batch's instructions whose requests the link handed back.
  void FailAbandonedInstructions();
  // Deletes the files a batch owns, once the batch leaves the queue.
  static void DeleteOwnedFiles(const InstructionBatch& batch);
  // Shows what the ended head batch did, with its failed steps, and starts the next count.
  void ShowBatchNotice(const InstructionBatch& batch);

  std::map<const InstructionBatch*, BatchSettings> batchSettings_;   // by queued batch
  // The answer on replacing held working copies, by queued batch, once asked.
  std::map<const InstructionBatch*, std::optional<bool>> heldCopiesAnswers_;
  std::uint64_t batchesQueued_ = 0;
  DoneNotice batchNotice_;   // what the head batch did so far
  // The rows each reference request of the head batch sent, by stamp: its reply lists only the refused.
  std::unordered_map<std::uint32_t, int> referenceRowsSent_;
  std::mutex abandonedMutex_;
  std::vector<std::uint32_t> abandonedStamps_;
  // What the link handed back unanswered since it was last restored, one line each.
  std::vector<std::string> handedBack_;

 public:
  // ===== end of batch queue =====

  // ===== file, deletion and renaming replies (CBrannockDocFileReplies.cpp) =====
  void OnDocumentFilesReply(const Msg& reply, bool readOnly, bool checkOut);
  void OnCheckInReply(const Msg& reply);
  void OnUndoCheckOutReply(const Msg& reply);
  static constexpr const char* kUndoNotMarked =
      "The check-out was undone but the local copy could not be changed to read-only";
  void OnAddDocumentsReply(const Msg& reply);
  void OnDeleteProjectReply(const Msg& reply);
  void OnRenameProjectReply(const Msg& reply);
  void OnDeleteDocumentsReply(const Msg& reply);
  void OnRenameDocumentReply(const Msg& reply);
  // Shown for a refused project rename, which the server answers with no text.
  static constexpr const char* kProjectRenameRefused = "Wexmoor refused to rename the project.";

 private:
  // 5027 and 5019: marks the accepted documents' local copies read-only (when
  // `mark`), reports refused rows, refreshes the project's lists and views.
  void OnLocalCopiesReply(const Msg& reply, const char* notMarkedText, bool mark, int hint);
  // The project a reply names; null, with its instruction failed, when the tree has none.
  const ProjectNode* FindRepliedProject(std::uint32_t stamp, bool hasProject, const std::string& project);
  // Ends a reply that changed the project's documents: the instruction done, the lists asked again, the views told.
  void FinishLocalCopiesReply(std::uint32_t stamp, const std::string& project, int hint);
  // 5044/5045 and 5049/5050: a refusal fails the instruction and shows its text.
  void OnProjectChangedReply(const Msg& reply, bool refused);
  // 5047 and 5052/5053: `reasonField` reads the text behind the project line as one
  // string field, else as it stands.
  void OnDocumentsChangedReply(const Msg& reply, bool reasonField, bool refused);
  // The current user's backup root; empty when there is no current user.
  std::string GetUserBackupRoot();
  // Of the `received` documents of a retrieval into `folder`, the working copies of
  // check-outs the user holds that the user chose to keep (asked once, for all of
  // them; once per batch for a batch's retrievals); none when the project's list is
  // not held here.
  std::set<std::string> KeepWorkingCopies(std::uint32_t stamp, const std::string& projectIndexName,
                                          const std::string& projectName, const std::string& folder,
                                          const std::vector<std::string>& received);

 public:
  // ===== end of file, deletion and renaming replies =====

  // ===== publication (CBrannockDocPublication.cpp) =====
  // Appended to a versions cache file's path for the copy kept while a publication is prepared.
  static constexpr const char* kStagingCopySuffix = "_BPTemp";
  static constexpr const char* kEditionNoNameText =
      "Wexmoor has reported that the edition was successfully added but has not returned the edition name";
  static constexpr const char* kEditionNoIndexNameText =
      "Wexmoor has reported that the edition was successfully added but has not returned the internal edition name";
  // Stores the selection (its project becomes the publication's parent), the name and
  // the comments, and tells the tree to show its publication check boxes.
  void SetPublicationSelection(const PublicationSelection& selection, const std::string& name,
                               const std::string& comments);
  const PublicationSelection& GetPublicationSelection() const { return publicationSelection_; }
  const std::string& GetPublicationName() const { return publicationName_; }
  const std::string& GetPublicationComments() const { return publicationComments_; }
  // Gives up the publication being prepared: marks it running and ends it.
  void AbandonPublication();
  // Confirms the prepared publication: the views save their ticks and collect the
  // ticked projects into the publication mapping; then the batch that creates the
  // edition or supplement and fills it is queued. Nothing ticked queues nothing,
  // restores the staged cache copies and leaves preparing mode.
  void QueueEditionBatch();
  // Appends the add-original-project and add-original-references pair of `node` (the
  // first waiting on `prerequisite`, the second on the first) and, waiting on that
  // second one, the pairs of its children, recursively.
  void AddOriginalProjectInstructions(InstructionBatch& batch, int prerequisite, const FolderMapping& node);
  // Puts the staged copy back over the versions cache file of `node` and of every
  // project below it, and deletes the copy. Missing copies and nodes whose cache name
  // is not one safe file name are passed over; a copy that cannot be put back stays.
  void RestorePublicationCopies(const ProjectNode& node);
  // 5033 and 5036: the new node is inserted as a new project is, without hints.
  void OnEditionCreated(const Msg& reply);
  void OnOriginalProjectAdded(const Msg& reply);
  void OnOriginalReferencesAdded(const Msg& reply);
  // 5038 and 5042: one message per refused reference, shown together once; the
  // instruction succeeds whatever was refused, and fails only for an unknown project.
  void OnDocumentReferencesAdded(const Msg& reply);
  FolderMapping& GetPublicationMapping() { return publicationMapping_; }
  void SetPreparingPublication(bool preparing) { publicationPreparing_ = preparing; }
  bool IsPreparingPublication() const { return publicationPreparing_; }
  bool IsPublicationRunning() const { return publicationRunning_; }
  // ===== end of publication =====

  // ===== views current after every logon (CBrannockDocSession.cpp) =====
  // Fetching a check-out's file again replaces a differing local copy, kept as a backup.
  static constexpr std::int32_t kFetchReplaceMode = 3;

 private:
  // True once the link logged on (an open or a reconnect) since the views were last
  // brought up to date.
  bool IsNewLogon() const { return sessionLogon_ != logons_; }
  // Forgets which lists were asked for and asks for the tree; its reply asks again
  // for every list this computer keeps and looks for cut check-outs.
  void RefreshAfterLogon();
  // Asks for the project's document and version lists unless asked since the last
  // logon; the stamp of the version-list request, or none.
  std::optional<std::uint32_t> AskListsOnce(const std::string& projectIndexName);
  // Asks again for the lists of every project whose versions cache is kept here.
  void ScanKeptLists();
  // A version list (null when refused or unusable) answering `stamp`; once the
  // scan's last one came, offers to fetch the files of cut check-outs.
  void TakeScannedList(std::uint32_t stamp, const VersionedDocumentList* list);
  void OfferUndeliveredCheckOuts();

  int sessionLogon_ = 0;
  std::set<std::string> listsAsked_;   // since the last logon
  bool scanAfterTree_ = false;
  UndeliveredCheckOuts undelivered_;
  // ===== end of views current after every logon =====

  // The shared behaviour of 5038 and 5042 (publication part).
  void OnReferencesAdded(const Msg& reply);

  // Reads the chosen connection and the library entry of its name under the profile
  // lock; false (nothing read) when the index or the kind does not fit.
  bool ReadConnection(int index, LibraryConnection& connection, std::optional<LibraryEntry>& entry);
  // Loads the inventory and maps an unmapped root below "<working folder>/Libraries/".
  void LoadTree(const LibraryConnection& connection);
  // Creates the link and hands it the account; false (no link) when it refuses them.
  bool MakeConnection(const LibraryConnection& connection, const std::optional<LibraryEntry>& entry);
  void StopConnection();
  void RunConnection();
  // Tells the user, once, why the link ended without the user closing the library:
  // a visit that never logged on, or a lost link with the work it left unconfirmed.
  void TellLinkEnd();
  // One line per piece of work the server has not confirmed: requests handed back,
  // requests still awaited, and queued batches with the steps not done.
  std::vector<std::string> DescribeUnconfirmedWork() const;
  void Dispatch(const Msg& reply);
  void SendHint(int code, std::uint32_t view);

  CBrannockApp& app_;
  DocumentViews views_;
  ProjectTree tree_;
  std::unique_ptr<ProjectInventory> inventory_;   // set once the inventory was loaded

  std::string libraryFolder_;
  std::string displayName_;
  std::string connectionName_;   // the root's shown name without the connection kind
  std::string userText_;
  int connectionIndex_ = -1;

  LinkNotice::Library library_;   // who and where, for the notices
  bool linkEndTold_ = false;
  bool goodbye_ = false;
  bool openComplete_ = false;
  bool firstRequestSent_ = false;
  bool tipsOn_ = false;
  bool localSelection_ = false;
  bool documentCheckBoxes_ = false;
  TreeItem currentProjectItem_ = 0;
  std::int32_t replaceMode_ = 0;
  std::int32_t checkInMode_ = 0;

  AbandonedRequestNotice abandonedRequests_;

  // Shared by the parts of the document (see the blocks above).
  std::string shownLocalFolder_;
  bool publisher_ = true;
  InformationHook informationHook_;
  std::optional<AccountRights> rights_;
  DocumentListCache listCache_;
  std::map<std::uint32_t, RequestMemory> requestMemory_;
  VersionDeliveries versionDeliveries_;   // by the stamp of SendGetVersion's 5020
  std::map<std::uint32_t, std::uint32_t> unanswered_;   // stamp -> message id of requests awaiting their reply
  std::map<std::string, std::uint32_t> pendingListRequests_;   // project index name -> stamp of its 5015
  std::deque<InstructionBatch> batches_;
  int currentInstruction_ = -1;
  bool lastOutcome_ = false;
  bool refreshAfterTree_ = false;
  bool treeAskedForGoneProject_ = false;   // a list named a deleted project; the tree is asked for
  bool publicationRunning_ = false;
  bool publicationPreparing_ = false;
  FolderMapping publicationMapping_;
  PublicationSelection publicationSelection_;
  std::string publicationName_;
  std::string publicationComments_;

  std::atomic<bool> connectionEnded_{true};
  std::unique_ptr<IPConnection> connection_;
  std::thread connectionThread_;
};
