#pragma once
// Asks for the new name of a project or document. OK keeps the dialog open for a
// blank name and for one that cannot be a file or folder name.
#include <string>

#include "client/ui/ClientDialog.h"

class QLineEdit;

class CRenameDlg : public ClientDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 134;
  static constexpr const char* kBlankName = "You cannot leave this field blank";
  static constexpr const char* kUnusableName = "This name cannot be used for a file or folder.";

  explicit CRenameDlg(QWidget* parent = nullptr);

  // kUnusableName, then why `name` cannot be used and what to do.
  static std::string UnusableNameText(const std::string& name);

  // The caller puts the current name in; after OK it holds the new name, trimmed.
  void SetName(const std::string& name);
  std::string GetName() const { return name_; }

  void accept() override;

 protected:
  bool HasTypedInput() const override;

 private:
  QLineEdit* edit_;
  std::string name_;
};
