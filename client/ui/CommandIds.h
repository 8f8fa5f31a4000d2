#pragma once
// Command ids of the client's menu 128, toolbar 128 and accelerators. A command is
// routed to the active library window's focused view, then its library window,
// then the main frame, then the application (see CommandTarget).
namespace CommandIds {

constexpr int kVisitLibrary = 57601;          // "&Visit Library...\tCtrl+O"
constexpr int kMapToFolder = 32781;           // "Map project to local folder ..."
constexpr int kImportCertificate = 32771;     // "&Import Certificate ..."
constexpr int kExit = 57665;
constexpr int kViewToolbar = 59392;
constexpr int kViewStatusBar = 59393;
constexpr int kToolTips = 32784;              // "Tool-tips On / Off"
constexpr int kRetrieve = 32780;              // "Retrieve documents from Library ..."
constexpr int kCheckOut = 32779;              // "Check-out documents ..."
constexpr int kCheckIn = 32778;               // "Check-in documents ..."
constexpr int kUndoCheckOut = 32789;          // "Undo check-out ..." (servers that take check-outs back)
constexpr int kAddToLibrary = 32777;          // "Add to Library ..."
constexpr int kDelete = 32786;                // "Delete from Library ..." (publisher only)
constexpr int kRename = 32787;                // "Rename folder or document ..." (publisher only)
constexpr int kPublish = 32782;               // "Publish new Edition or Supplement ..."
constexpr int kConfirmPublication = 32783;    // "Confirm publication details"
constexpr int kChooseLocalFolder = 1025;      // toolbar only: "Choose local folder"
constexpr int kHistory = 32790;              // "&History ...\tCtrl+H": the focused document's versions
constexpr int kCompareProgram = 32791;       // "Compare &program ...": the option of the compare program
constexpr int kRefresh = 32788;               // "&Refresh" (F5): what a right double-click on the current item does
constexpr int kHelpTopics = 57667;
constexpr int kAbout = 57664;
constexpr int kHelp = 57670;                  // F1
constexpr int kContextHelp = 57669;           // Shift+F1
constexpr int kNextPane = 57680;              // F6
constexpr int kPreviousPane = 57681;          // Shift+F6
constexpr int kFindInLibrary = 32793;         // "&Find in Library ..." (Ctrl+F)
constexpr int kMyCheckOuts = 32794;           // "&My Check-outs ..."
constexpr int kDocumentDetails = 32792;       // the document list's context menu: the row's details

// The main frame's help topic.
constexpr int kFrameHelpTopic = 131200;

}  // namespace CommandIds
