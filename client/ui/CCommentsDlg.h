#pragma once
// Asks for the comments that go with an addition or a check-in. Enter breaks the
// line, Tab leaves the text and Ctrl+Enter confirms; the callers decide what empty
// comments mean.
#include <string>

#include "client/ui/ClientDialog.h"

class QPlainTextEdit;

class CCommentsDlg : public ClientDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 140;

  explicit CCommentsDlg(QWidget* parent = nullptr);

  void SetComments(const std::string& comments);
  std::string GetComments() const { return comments_; }

  void accept() override;

 protected:
  bool HasTypedInput() const override;
  // Ctrl+Enter in the text confirms.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPlainTextEdit* edit_;
  std::string comments_;
};
