#pragma once
// One open library: its connection and the thread that runs it, its project tree
// with the inventory file in the library folder, the views that show it and the
// flags through which pump, senders and views cooperate. Opened by connection index
// (Visit Library), driven by the application's periodic pass, closed after it.
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "client/core/AbandonedRequestNotice.h"
#include "client/core/DocumentViews.h"
#include "client/core/IPConnection.h"
#include "client/core/LibraryDocument.h"
#include "client/core/ProjectInventory.h"
#include "client/core/ProjectTree.h"

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
  // Asks the application to close this library: after the pass when one runs, else
  // at once (so not from inside this document's own updates outside a pass).
  void OnCloseDocument();

  // LibraryDocument.
  bool IsFirstRequestSent() const override { return firstRequestSent_; }
  void SetFirstRequestSent() override { firstRequestSent_ = true; }
  // Connection not ended and logged on.
  bool IsReady() const override;
  bool IsLinkEnded() const override { return connection_ == nullptr || connectionEnded_; }
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

  // True when both files open and hold the same bytes (two empty files are equal).
  static bool CompareFiles(const std::string& first, const std::string& second);

  // Update-hint senders.
  void ChooseLocalFolder();
  void AddSelectedLocalFiles();
  // Stores the tree item of the project the user selected and tells the document list.
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

 private:
  // Reads the chosen connection and the library entry of its name under the profile
  // lock; false (nothing read) when the index or the kind does not fit.
  bool ReadConnection(int index, LibraryConnection& connection, std::optional<LibraryEntry>& entry);
  // Loads the inventory and maps an unmapped root below "<working folder>/Libraries/".
  void LoadTree(const LibraryConnection& connection);
  // Creates the link and hands it the account; false (no link) when it refuses them.
  bool MakeConnection(const LibraryConnection& connection, const std::optional<LibraryEntry>& entry);
  void StopConnection();
  void RunConnection();
  void Dispatch(const Msg& reply);
  void SendHint(int code, std::uint32_t view);

  CBrannockApp& app_;
  DocumentViews views_;
  ProjectTree tree_;
  std::unique_ptr<ProjectInventory> inventory_;   // set once the inventory was loaded

  std::string libraryFolder_;
  std::string displayName_;
  std::string userText_;
  int connectionIndex_ = -1;

  bool goodbye_ = false;
  bool openComplete_ = false;
  bool firstRequestSent_ = false;
  bool tipsOn_ = false;
  bool documentCheckBoxes_ = false;
  TreeItem currentProjectItem_ = 0;
  std::int32_t replaceMode_ = 0;
  std::int32_t checkInMode_ = 0;

  AbandonedRequestNotice abandonedRequests_;

  std::atomic<bool> connectionEnded_{true};
  std::unique_ptr<IPConnection> connection_;
  std::thread connectionThread_;
};
