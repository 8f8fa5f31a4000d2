#pragma once
// Two text files side by side, line against line, the differences marked: changed
// lines on both sides, removed lines on the left, added lines on the right. The
// fetched copies it shows are its own and go when it closes.
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "client/document/VersionCopyFolder.h"
#include "client/rules/SideBySideDiff.h"
#include "client/ui/ClientDialog.h"

class QLabel;
class QTreeWidget;

class CCompareDlg : public ClientDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 161;
  enum Column { kLeftNumber, kLeftText, kRightNumber, kRightText };
  static constexpr const char* kNotRead = "This file could not be read for the comparison: ";

  struct Side {
    std::string path;
    QString title;   // such as "Version 2" or "Local copy"
  };

  // Reads both files and shows their rows; a file that cannot be read is told and
  // shows no lines. `copies` are removed when the dialog closes.
  CCompareDlg(const QString& documentName, const Side& left, const Side& right,
              std::vector<std::unique_ptr<VersionCopyFolder>> copies, QWidget* parent = nullptr);
  ~CCompareDlg() override;

  int GetDifferenceCount() const { return differences_; }
  // The background that marks rows of `kind` on the given side; none for kSame.
  static QColor MarkOf(SideBySideDiff::Kind kind, bool leftSide);

  void done(int result) override;

 private:
  static std::vector<std::string> ReadLines(const std::string& path);
  void ShowRows(const std::vector<SideBySideDiff::Row>& rows);

  QTreeWidget* rows_;
  QLabel* summary_;
  int differences_ = 0;
  std::vector<std::unique_ptr<VersionCopyFolder>> copies_;
};
