#pragma once
// The versions of one document (version, date, author, size, comment, holder and
// check-out time), newest first, and what can be done with them: get a version
// into a chosen folder, open a read-only copy of it, compare two versions or one
// with the local copy. Copies fetched to open or to hand to the compare program
// are removed when the window closes; a text comparison's copies go with its window.
#include <QPointer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "client/document/VersionCopyFolder.h"
#include "client/library/VersionedDocument.h"
#include "client/rules/ComparePlan.h"
#include "client/ui/ClientDialog.h"

class CBrannockDoc;
class CListViewEx;
class QLabel;

class CHistoryDlg : public ClientDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 160;
  enum Button { kGet = 1002, kOpen = 1003, kCompare = 1004, kCompareLocal = 1005 };

  static constexpr const char* kChooseOneVersion = "Select the one version to get or open.";
  static constexpr const char* kNotSent = "The request could not be sent: the link to the library has ended.";
  static constexpr const char* kNotFetched = "This version could not be fetched from the library: version ";
  static constexpr const char* kReplaceQuestion = "This folder already holds a file of that name. Replace it?\n";
  static constexpr const char* kCompareUnderWay = "A comparison is being prepared; wait for it to open.";

  struct Subject {
    std::string projectIndexName;
    std::string name;        // the document's name
    std::string localPath;   // where its local copy is (or would be); "" when the project has no folder
    VersionedDocument versions;
  };

  CHistoryDlg(CBrannockDoc& document, Subject subject, QWidget* parent = nullptr);
  ~CHistoryDlg() override;

  CListViewEx& GetList() const { return *list_; }
  QString GetStatus() const;

  void done(int result) override;

 private:
  std::vector<std::int32_t> SelectedVersions() const;
  // The single selected version; 0, the user told, when not exactly one is selected.
  std::int32_t OneSelectedVersion();
  // Fetches `version` into `folder`; `then` runs from the event loop with the path
  // ("" when it did not come). False, the user told, when it cannot be asked for.
  bool Fetch(std::int32_t version, const std::string& folder, std::function<void(const std::string&)> then);
  std::string TemporaryFolder() const;
  void SetStatus(const QString& text);
  void Warn(const std::string& text);

  void GetVersion();
  void OpenVersion();
  void Compare(bool withLocalCopy);
  void FinishCompare();

  // A comparison waiting for its versions.
  struct CompareRun {
    ComparePlan plan;
    std::vector<std::unique_ptr<VersionCopyFolder>> copies;
    std::map<std::int32_t, std::string> paths;   // by version, once arrived
  };

  CBrannockDoc& document_;
  Subject subject_;
  CListViewEx* list_;
  QLabel* status_;
  std::unique_ptr<CompareRun> run_;
  std::vector<std::unique_ptr<VersionCopyFolder>> copies_;   // opened and program-compared copies
};
