#pragma once
// The server's main window: menu 128 (Exit, View, Administration, Help), the
// toolbar with the administration commands, the status bar with each command's
// prompt, and the status console as its only view. Closing the window runs the
// server's shutdown before anything of the window goes; Exit, or closing by the
// window's title bar, asks first while users are connected.
#include <QMainWindow>
#include <functional>
#include <map>
#include <string>

class CWexmoorView;
class ConsoleRuntime;
class QAction;
class QMenu;
class QMessageBox;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  // Command ids of the menu and toolbar.
  static constexpr int kExit = 57665;
  static constexpr int kViewToolbar = 59392;
  static constexpr int kViewStatusBar = 59393;
  static constexpr int kUserAdministration = 32771;
  static constexpr int kSetRootPath = 32773;
  static constexpr int kSetServerAddress = 32774;
  static constexpr int kSetLibraryName = 32775;
  static constexpr int kCheckOutControl = 32776;
  static constexpr int kGroupAdministration = 32778;
  static constexpr int kHelpTopics = 57667;
  static constexpr int kAbout = 57664;
  static constexpr int kContextHelp = 57669;
  // The help topics of the main window and of the first steps.
  static constexpr int kFrameHelpTopic = 131200;
  static constexpr int kGettingStartedTopic = 131201;
  static constexpr int kGettingStarted = 32777;
  static constexpr int kDefaultWidth = 800;
  static constexpr int kDefaultHeight = 600;

  struct Commands {
    // Runs the server's shutdown; called once, when the window closes.
    std::function<void()> shutdown;
    // The administration commands by command id, each run with the window as
    // parent; an id without one is disabled.
    std::map<int, std::function<void(QWidget* parent)>> administration;
    // How many users are connected now (none while unset): Exit asks first when any are.
    std::function<int()> connectedUsers;
  };

  // `runtime` must outlive the window or the shutdown, whichever comes first.
  CMainFrame(ConsoleRuntime& runtime, const std::string& libraryName, Commands commands,
             QWidget* parent = nullptr);

  CWexmoorView& View() const { return *view_; }
  // Un-maximised, the window opens at this size (within its screen).
  QSize sizeHint() const override { return {kDefaultWidth, kDefaultHeight}; }
  // The action of a command id, or null for an id the window does not carry.
  QAction* Action(int command) const;

  // The About box (modal).
  void ShowAbout();
  // Fills the About box, unshown.
  static void PrepareAbout(QMessageBox& about);
  // The help window at `topic`.
  void ShowHelp(int topic);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* AddCommand(QMenu* menu, int command, const char* text);
  void ShowLibraryName(const std::string& name);
  void BuildMenus();
  void BuildToolBar();
  // True when no user is connected or the user agrees to exit all the same.
  bool ConfirmExit() const;

  CWexmoorView* view_;
  Commands commands_;
  std::map<int, QAction*> actions_;
  bool shutDown_ = false;
};
