#pragma once
// Find in Library: documents of every project found by a piece of their name and by
// who holds them, listed as the lists come in with the progress over the projects;
// "My check-outs" finds what the user holds. Choosing a found document (Go To, Enter
// or a double click) ends the dialog with it; the caller shows it. The search drives
// the library's passes itself while it runs, so it takes no longer than the server.
#include <QTimer>
#include <memory>
#include <optional>

#include "client/rules/LibraryFind.h"
#include "client/ui/ClientDialog.h"

class CBrannockDoc;
class CListViewEx;
class QLabel;
class QLineEdit;
class QProgressBar;

class CFindInLibraryDlg : public ClientDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 160;

  explicit CFindInLibraryDlg(CBrannockDoc& document, QWidget* parent = nullptr);

  // Fills in the user as the holder and searches as soon as the dialog shows.
  void StartWithMyCheckOuts();
  // Searches with what the fields hold now.
  void StartFind();
  bool IsSearching() const { return find_ != nullptr; }
  // The document chosen when the dialog was accepted.
  const std::optional<LibraryFind::Found>& GetChosen() const { return chosen_; }
  const std::vector<LibraryFind::Found>& GetFound() const { return found_; }

  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnTick();
  void ShowNewlyFound();
  void Finish();

  CBrannockDoc& document_;
  QLineEdit* name_;
  QLineEdit* holder_;
  QPushButton* findButton_;
  QProgressBar* progress_;
  QLabel* status_;
  CListViewEx* results_;
  QPushButton* goTo_;
  QTimer timer_;
  std::unique_ptr<LibraryFind> find_;
  std::vector<LibraryFind::Found> found_;
  std::optional<LibraryFind::Found> chosen_;
  bool startOnShow_ = false;
};
