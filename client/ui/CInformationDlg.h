#pragma once
// Shows one read-only text (the outcome of a reply) until the user closes it.
#include <string>

#include "client/document/CBrannockDoc.h"
#include "client/ui/ClientDialog.h"

class QPlainTextEdit;

class CInformationDlg : public ClientDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 135;

  explicit CInformationDlg(QWidget* parent = nullptr);

  void SetText(const std::string& text);
  std::string GetText() const;

  // The document's information hook: runs the dialog over `parent` (when it still
  // exists) while holding the document, so a close asked for meanwhile waits.
  static CBrannockDoc::InformationHook MakeHook(CBrannockDoc& document, QWidget* parent);

 private:
  QPlainTextEdit* text_;
};
