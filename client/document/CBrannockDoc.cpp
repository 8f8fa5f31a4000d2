#include "client/document/CBrannockDoc.h"

#include <charconv>
#include <chrono>
#include <vector>

#include "client/document/CBrannockApp.h"
#include "client/document/ClientHints.h"
#include "client/document/FileComparison.h"
#include "common/FileHelpers.h"
#include "common/MessageIds.h"
#include "common/NameValidation.h"
#include "common/StringHelpers.h"
#include "platform/fs.h"
#include "platform/Notifier.h"

namespace {

// `text` with its "%s" replaced by `name`.
std::string WithName(const std::string& text, const std::string& name) {
  std::string result = text;
  const std::size_t at = result.find("%s");
  if (at != std::string::npos) result.replace(at, 2, name);
  return result;
}

}  // namespace

CBrannockDoc::CBrannockDoc(CBrannockApp& app)
    : app_(app), publisher_(app.IsPublisher()), listCache_([this](const std::string& projectIndexName) {
        listsAsked_.insert(projectIndexName);
        SendListDocuments(projectIndexName);
        SendListVersions(projectIndexName);
      }) {}

CBrannockDoc::~CBrannockDoc() {
  StopConnection();
  SaveInventory();
  connection_.reset();
  for (const InstructionBatch& batch : batches_) DeleteOwnedFiles(batch);
}

bool CBrannockDoc::SaveInventory() { return inventory_ != nullptr && inventory_->Save(tree_.GetRoot()); }

void CBrannockDoc::DeleteOwnedFiles(const InstructionBatch& batch) {
  for (const std::string& path : batch.GetOwnedFiles()) platform::fs::DeleteFile(path);
}

// ---- opening -------------------------------------------------------------------

std::optional<int> CBrannockDoc::ConnectionIndexFromPath(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  std::string_view text(path);
  if (slash != std::string::npos) text.remove_prefix(slash + 1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int index = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), index);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return index;
}

CBrannockDoc* CBrannockDoc::VisitLibrary(CBrannockApp& app, const std::string& path) {
  const std::optional<int> index = ConnectionIndexFromPath(path);
  if (!index) return nullptr;
  OpenLibraries& libraries = app.GetOpenLibraries();
  // One document per connection: a second one would log the same account on twice.
  LibraryDocument* open = libraries.Find([&](const LibraryDocument& document) {
    const auto* library = dynamic_cast<const CBrannockDoc*>(&document);
    return library != nullptr && library->GetConnectionIndex() == *index;
  });
  if (open != nullptr) return static_cast<CBrannockDoc*>(open);
  auto document = std::make_unique<CBrannockDoc>(app);
  if (!document->OnOpenDocument(path)) return nullptr;
  return static_cast<CBrannockDoc*>(&libraries.Open(std::move(document)));
}

bool CBrannockDoc::OnOpenDocument(const std::string& path) {
  openComplete_ = false;
  goodbye_ = false;
  const std::optional<int> index = ConnectionIndexFromPath(path);
  LibraryConnection connection;
  std::optional<LibraryEntry> entry;
  if (!index || !ReadConnection(*index, connection, entry)) return false;
  // The name becomes a folder level below "Libraries/": refuse it before anything is made.
  if (!IsValidStoredName(connection.GetName())) {
    platform::NotifyText(WithName(kUnsafeLibraryName, connection.GetName()), platform::NotifyIcon::Error);
    return false;
  }
  library_ = LinkNotice::LibraryOf(connection, entry ? &*entry : nullptr);
  if (!MakeConnection(connection, entry)) {
    // Keys that fit and a host name that does not resolve: the network's fault, not the certificate's.
    const bool nameNotFound =
        IPConnection::MakeCodec(connection, entry ? &*entry : nullptr).has_value() && !connection.ResolveAddress();
    platform::NotifyText(nameNotFound ? LinkNotice::FailedVisit(library_, LinkEnd::kNameNotFound, 0, "")
                                      : WithName(kUnusableConnection, connection.GetName()),
                         platform::NotifyIcon::Error);
    return false;
  }
  if (!CreateFolderPath(connection.GetLocalFolder())) {
    connection_.reset();
    return false;
  }
  LoadTree(connection);
  displayName_ = connection.GetName() + kDisplayNameSuffix;
  connectionName_ = connection.GetName();
  userText_ = connection.GetUserText();
  connectionIndex_ = *index;
  // Cleared before the thread starts, so no pass can take the new link for an ended one.
  connectionEnded_ = false;
  connectionThread_ = std::thread(&CBrannockDoc::RunConnection, this);
  tipsOn_ = true;
  openComplete_ = true;
  return true;
}

bool CBrannockDoc::ReadConnection(int index, LibraryConnection& connection, std::optional<LibraryEntry>& entry) {
  {
    platform::CriticalSection::Lock lock(app_.GetProfileLock());
    const UserProfile* user = app_.GetCurrentUser();
    const LibraryConnection* chosen = user == nullptr ? nullptr : user->GetConnection(index);
    if (chosen == nullptr || !chosen->IsTcpIp()) return false;
    connection = *chosen;
  }
  for (const LibraryEntry& known : app_.GetLibraryEntries()) {
    if (known.GetName() == connection.GetName()) {
      entry = known;
      break;
    }
  }
  return true;
}

void CBrannockDoc::LoadTree(const LibraryConnection& connection) {
  libraryFolder_ = connection.GetLocalFolder();
  inventory_ = std::make_unique<ProjectInventory>(libraryFolder_);
  tree_.Load(*inventory_);
  ProjectNode& root = tree_.GetRoot();
  if (root.GetLocalFolder().empty()) {
    const std::string folder =
        EnsureTrailingBackslash(app_.GetWorkingDirectory()) + kLibrariesFolder + connection.GetName();
    root.SetLocalFolder(folder, true);
    CreateFolderPath(folder);   // a folder that cannot be made now is made when a file lands
  }
}

// ---- the connection and its thread ----------------------------------------------

bool CBrannockDoc::MakeConnection(const LibraryConnection& connection, const std::optional<LibraryEntry>& entry) {
  IPConnection::Hooks hooks;
  hooks.logonCodeChanged = [this](const std::string& libraryName, int userNumber, const std::string& code) {
    ++logons_;
    app_.UpdateLogonCode(libraryName, userNumber, code);
  };
  hooks.requestsAbandoned = [this](std::vector<Msg> requests) {
    NoteAbandonedRequests(requests);
    abandonedRequests_.Note();
  };
  hooks.linkRestored = [this] { abandonedRequests_.NoteRestored(); };
  hooks.temporaryFileName = [this] { return app_.MakeTemporaryFileName(); };
  auto link = std::make_unique<IPConnection>(std::move(hooks));
  if (!link->SetConnection(connection, entry ? &*entry : nullptr)) return false;
  connection_ = std::move(link);
  return true;
}

void CBrannockDoc::RunConnection() {
  connection_->Connect();
  connectionEnded_ = true;
}

void CBrannockDoc::StopConnection() {
  if (connection_ != nullptr) connection_->RequestStop();
  if (connectionThread_.joinable()) connectionThread_.join();
}

std::optional<std::string> CBrannockDoc::GetConnectingText() const {
  if (connection_ == nullptr || connectionEnded_ || connection_->WasLoggedOn()) return std::nullopt;
  return LinkNotice::Connecting(library_);
}

bool CBrannockDoc::IsReady() const { return !connectionEnded_ && connection_ != nullptr && connection_->IsLoggedOn(); }

// ---- closing --------------------------------------------------------------------

void CBrannockDoc::OnCloseDocument() { app_.GetOpenLibraries().RequestClose(*this); }

void CBrannockDoc::Close() {
  if (connection_ != nullptr && !connectionEnded_ && connection_->Logoff()) {
    for (int pass = 0; pass < kLogoffPasses && !goodbye_; ++pass) {
      ProcessMessages(true);
      if (!goodbye_) std::this_thread::sleep_for(std::chrono::milliseconds(kLogoffPassMs));
    }
  }
  // A logoff that could not be queued (logon under way) or went unanswered still
  // ends the link here: nothing may be freed under a running connection thread.
  StopConnection();
  SendHint(ClientHints::kQueueEmpty, UpdateHint::kTreeView);
}

void CBrannockDoc::OnClosePending() { SendHint(ClientHints::kQueueEmpty, UpdateHint::kTreeView); }

bool CBrannockDoc::IsClosePending() const { return app_.GetOpenLibraries().IsClosePending(*this); }

// ---- the pump and the tree request ----------------------------------------------

void CBrannockDoc::ProcessMessages(bool closing) {
  if (!openComplete_) return;
  FailAbandonedInstructions();
  if (abandonedRequests_.TellUser(handedBack_)) handedBack_.clear();
  Msg reply;
  if (IsLinkEnded()) {
    goodbye_ = true;
    if (closing) return;
    // Replies that arrived whole before the end are still answers (their files included).
    if (connection_ != nullptr && connection_->Receive(reply) == IPConnection::kDone) {
      Dispatch(reply);
      return;
    }
    TellLinkEnd();
    OnCloseDocument();
    return;
  }
  if (!closing && IsNewLogon() && IsReady()) RefreshAfterLogon();
  if (connection_->Receive(reply) == IPConnection::kDone) {
    SendHint(ClientHints::kReplyReceived, UpdateHint::kTreeView);
    Dispatch(reply);
  }
  // The queue moves on every step, with or without a reply.
  ProcessNextInstruction();
}

void CBrannockDoc::TellLinkEnd() {
  if (connection_ == nullptr || linkEndTold_) return;
  linkEndTold_ = true;
  const IPConnection& link = *connection_;
  if (!link.WasLoggedOn()) {
    platform::NotifyText(
        LinkNotice::FailedVisit(library_, link.GetEnd(), link.GetConnectError(), link.GetRefusalText(),
                                {link.GetExpectedFingerprint(), link.GetPresentedFingerprint()}),
        platform::NotifyIcon::Error);
    return;
  }
  const std::vector<std::string> unconfirmed = DescribeUnconfirmedWork();
  handedBack_.clear();
  platform::NotifyText(LinkNotice::LostLink(library_, link.GetEnd(), link.GetReconnectEnd(), unconfirmed),
                       platform::NotifyIcon::Warning);
}

void CBrannockDoc::RequestProjectTree(bool force) {
  // A gone link is closed by the next pass's pump, never under the caller's feet.
  if (IsLinkEnded()) return;
  // A stored tree may be out of date: after a logon the server's is always asked for.
  if (IsNewLogon()) {
    RefreshAfterLogon();
    return;
  }
  const ProjectNode& root = tree_.GetRoot();
  if (!force && !root.GetName().empty() && !root.IsRefreshNeeded()) {
    for (std::uint32_t view : {UpdateHint::kTreeView, UpdateHint::kDocumentListView, UpdateHint::kLocalFileListView}) {
      SendHint(ClientHints::kProjectTree, view);
    }
    return;
  }
  SendRequest(MSGID_REFRESH_PROJECTS, std::string());
}

// ---- hints ------------------------------------------------------------------------

void CBrannockDoc::SendHint(int code, std::uint32_t view) {
  const UpdateHint hint(view);
  views_.UpdateAllViews(code, &hint);
}

void CBrannockDoc::SetShownLocalFolder(const std::string& folder) {
  shownLocalFolder_ = folder;
  app_.GetShownLocalFolders().Remember(libraryFolder_, folder);
}

std::string CBrannockDoc::GetStartLocalFolder() const {
  std::string folder = app_.GetShownLocalFolders().Find(libraryFolder_);
  if (folder.empty()) folder = tree_.GetRoot().GetLocalFolder();
  return folder.empty() ? app_.GetWorkingDirectory() : folder;
}

void CBrannockDoc::ChooseLocalFolder() { SendHint(ClientHints::kChooseLocalFolder, UpdateHint::kLocalFileListView); }

void CBrannockDoc::AddSelectedLocalFiles() { SendHint(ClientHints::kAddSelectedLocalFiles, UpdateHint::kLocalFileListView); }

void CBrannockDoc::SetCurrentProject(TreeItem item) {
  currentProjectItem_ = item;
  SendHint(ClientHints::kDocumentList, UpdateHint::kDocumentListView);
  // Choosing a project again is how a user asks to see the disk as it is now.
  SendHint(ClientHints::kDocumentList, UpdateHint::kLocalFileListView);
}

bool CBrannockDoc::CompareFiles(const std::string& first, const std::string& second) {
  return FilesHaveSameContent(first, second);
}
