#pragma once
// The client's main window: menu 128, toolbar 128 and the status bar with each
// command's prompt, one library window per open library in its multiple-document
// area, and the 200 ms timer (from the first show on) that runs the application's
// periodic pass. Commands go to the active library window's active view, then to
// that window, then here (the frame's and the application's commands); their
// states are asked when a menu opens, on every tick and again before one runs.
// Closing the window closes every library first.
#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "client/rules/PaneLayout.h"
#include "client/ui/CommandRouter.h"
#include "client/ui/CommandTarget.h"
#include "client/ui/WaitCursor.h"

class CBrannockApp;
class CBrannockDoc;
class QAction;
class QMdiArea;
class QMenu;
class QTimer;
class SplitterFrame;

class CMainFrame : public QMainWindow, public CommandTarget {
  Q_OBJECT

 public:
  static constexpr const char* kIdlePrompt = "For Help, press F1";
  static constexpr const char* kNotTcpIp = "This library's connection is not TCP/IP and cannot be opened.";
  static constexpr const char* kCertificateFilter = "Certificate Files (*.wxc)";
  static constexpr int kTimerMs = 200;

  // Asks for the certificate file to import; "" when the user cancels.
  using CertificatePathChooser = std::function<std::string(QWidget* parent)>;

  explicit CMainFrame(CBrannockApp& app, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // The first show: maximised when the stored window state says so; from then on
  // the window's size type is stored.
  void ShowAtStart();

  // The action of a command id, or null when the window does not carry it.
  QAction* Action(int command) const;
  // A command's own menu text; "" for a command the window does not know.
  QString MenuText(int command) const;
  // The plain program's items and prompts name it as its title does.
  QString ProgramText(const char* text) const;
  // Every action's state afresh (the toolbar refresh).
  void RefreshCommands();
  // Runs a command as its menu item or button would: asked again first.
  void RunRoutedCommand(int command);

  SplitterFrame* ActiveLibraryWindow() const;
  SplitterFrame* FindLibraryWindow(const CBrannockDoc& document) const;
  QMdiArea& Area() const { return *area_; }

  void SetCertificatePathChooser(CertificatePathChooser chooser) { chooseCertificate_ = std::move(chooser); }

  // The frame's and the application's commands.
  CommandStatus QueryCommand(int command) override;
  void RunCommand(int command) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildCommands();
  void BuildMenus();
  void BuildToolBar();
  QAction* MakeAction(int command);
  void OnTick();
  // While a visit connects: the wait cursor and the status line that names it.
  void ShowConnecting();
  void StoreWindowState();
  bool CloseAllLibraries();

  void VisitLibrary();
  void OpenLibraryWindow(CBrannockDoc& document);
  void ImportCertificate();
  // The compare program option of the current user (CCompareProgramDlg).
  void ChooseCompareProgram();
  std::string ChooseCertificateWithDialog();
  void ShowAbout();
  void ShowHelp();

  CBrannockApp& app_;
  PaneLayout layout_;
  CommandRouter router_;
  QMdiArea* area_;
  QTimer* timer_ = nullptr;
  std::map<int, QAction*> actions_;
  CertificatePathChooser chooseCertificate_;
  bool exitRequested_ = false;
  std::unique_ptr<WaitCursor> connecting_;   // while a visit connects
};
