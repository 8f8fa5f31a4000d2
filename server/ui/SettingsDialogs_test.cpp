// The three small settings dialogs: what OK refuses (the dialog stays open and
// nothing changes), what it saves, and a failed save that changes nothing.
#include <QCheckBox>
#include <QLineEdit>

#include "platform/ui/QtTestApplication.h"
#include "server/store/StoreTestLibrary.h"
#include "server/ui/CCheckOutControlDlg.h"
#include "server/ui/CServerAddressDlg.h"
#include "server/ui/CSetLibraryNameDlg.h"

namespace {

class SettingsDialogsTest : public StoreTestLibrary {
 protected:
  void SetUp() override {
    StoreTestLibrary::SetUp();
    platform::SetNotifyHandler([this](const platform::Notification& shown) {
      shown_.push_back(shown.text);
      return platform::NotifyAnswer::Ok;
    });
  }

  // Types `text` into the named line and presses OK; true when the dialog closed.
  template <typename Dialog>
  bool Confirm(Dialog& dialog, const char* field, const QString& text) {
    dialog.template findChild<QLineEdit*>(field)->setText(text);
    dialog.accept();
    return dialog.result() == QDialog::Accepted;
  }

  // The users file as it is on disk now.
  std::unique_ptr<ServerSettings> Reloaded() {
    auto settings = std::make_unique<ServerSettings>(CertificateBuiltInKey());
    EXPECT_TRUE(settings->LoadUsers(root_));
    return settings;
  }

  std::vector<std::string> shown_;
};

TEST_F(SettingsDialogsTest, LibraryNameMustBeAUsableFolderNameAndIsSaved) {
  const std::string before = Doc().GetSettings().GetLibraryName();
  for (const char* refused : {"   ", "a/b", "..", "!x"}) {
    CSetLibraryNameDlg dialog(Doc());
    EXPECT_FALSE(Confirm(dialog, "libraryName", refused)) << refused;
  }
  EXPECT_EQ(shown_.front(), "You must specify a name for the library");
  EXPECT_EQ(shown_.size(), 4u);
  EXPECT_EQ(Reloaded()->GetLibraryName(), before);

  CSetLibraryNameDlg failing(Doc());
  FailWrite(1);
  EXPECT_FALSE(Confirm(failing, "libraryName", "Specs"));
  StopFailing();
  EXPECT_EQ(shown_.back(), "Failed to save updated user table to disk");
  EXPECT_EQ(Doc().GetSettings().GetLibraryName(), before);

  CSetLibraryNameDlg dialog(Doc());
  EXPECT_TRUE(Confirm(dialog, "libraryName", "  Specs Library "));
  EXPECT_EQ(Reloaded()->GetLibraryName(), "Specs Library");
}

TEST_F(SettingsDialogsTest, PortMustBeAPositiveNumberUpTo65535AndReachesExistingUsers) {
  UserAccount ann;
  ann.SetName("ann");
  ann.SetPassword("pw");
  ann.SetConnectionType(UserAccount::kTcpIp);
  ann.SetId(-1);
  ASSERT_TRUE(Doc().AddUser(ann));
  Doc().GetSettings().SetServerAddress("10.0.0.1");
  const int before = Doc().GetSettings().GetPort();
  const std::vector<std::pair<QString, std::string>> refusals = {
      {"abc", "Please enter a positive integer."},
      {"-1", "Please enter a positive integer."},
      {"0", "Server Port must have a value greater than zero"},
      {"65536", "Server Port must have a value no greater than 65535"},
      {"99999999999999999999", "Server Port must have a value no greater than 65535"}};
  for (const auto& [text, message] : refusals) {
    CServerAddressDlg dialog(Doc());
    EXPECT_FALSE(Confirm(dialog, "serverPort", text));
    EXPECT_EQ(shown_.back(), message);
  }
  EXPECT_EQ(Reloaded()->GetPort(), before);

  CServerAddressDlg dialog(Doc());
  EXPECT_TRUE(dialog.findChild<QLineEdit*>("serverAddress")->isReadOnly());
  EXPECT_TRUE(Confirm(dialog, "serverPort", "65535"));
  EXPECT_EQ(Reloaded()->GetPort(), 65535);
  const int index = Doc().GetSettings().FindUserIndex(ann.GetId());
  std::string certificate;
  ASSERT_TRUE(Doc().GetSettings().BuildCertificateText(index, certificate));
  EXPECT_NE(certificate.find("65535"), std::string::npos);
}

TEST_F(SettingsDialogsTest, EmptyAddressRefusesEveryOk) {
  Doc().GetSettings().SetServerAddress("");
  CServerAddressDlg dialog(Doc());
  EXPECT_FALSE(Confirm(dialog, "serverPort", "6000"));
  EXPECT_EQ(shown_.back(), "You must specify an IP Address");
}

TEST_F(SettingsDialogsTest, CheckOutFlagIsSavedInTheRootPathFileOnOk) {
  CCheckOutControlDlg dialog(Doc());
  EXPECT_FALSE(dialog.findChild<QCheckBox*>("onlyLatest")->isChecked());
  dialog.findChild<QCheckBox*>("onlyLatest")->setChecked(true);
  FailWrite(1);
  dialog.accept();
  StopFailing();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(Doc().IsOnlyLatestCheckOut());

  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(platform::ScratchFolder::Read(work_ + "/" + CWexmoorDoc::kRootPathFileName),
            "\"" + root_ + "\",\"\",1");
}

}  // namespace
