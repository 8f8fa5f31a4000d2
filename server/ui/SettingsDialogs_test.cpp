// The three small settings dialogs: what OK refuses (the dialog stays open and
// nothing changes), what it saves, and a failed save that changes nothing.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QHeaderView>
#include <memory>

#include "platform/ui/KeyboardWalk_test.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/WindowPlacement.h"
#include "server/store/StoreTestLibrary.h"
#include "server/store/TlsSettings.h"
#include "server/ui/CCheckOutControlDlg.h"
#include "server/ui/CGroupsDlg.h"
#include "server/ui/CEditUsersDlg.h"
#include "server/ui/CMainFrame.h"
#include "server/ui/CServerChooseDirectoryDlg.h"
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

  // The first line of the last message, and its last line (which names the field).
  std::pair<std::string, std::string> LastShown() const {
    const std::string& text = shown_.back();
    return {text.substr(0, text.find('\n')), text.substr(text.rfind('\n') + 1)};
  }

  std::vector<std::string> shown_;
};

// The TLS line: a port the library cannot take is refused naming the field; the
// first turn to TLS makes the key, and the mode is saved for the next start.
TEST_F(SettingsDialogsTest, AddressDialogSetsTheTlsModeAndPort) {
  struct Case {
    int mode;
    const char* port;
    bool closes;
    std::string shown;   // the start of the last message
    TlsSettings::Mode saved;
  };
  const Case cases[] = {
      {2, "70000", false, "TLS port: a port is a whole number from 1 to 65535", TlsSettings::Mode::Off},
      {2, "", true, "TLS is required from the server's next start", TlsSettings::Mode::Required},
      {0, "", true, "TLS is off from the server's next start", TlsSettings::Mode::Off},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    CServerAddressDlg dialog(Doc());
    dialog.findChild<QComboBox*>("tlsMode")->setCurrentIndex(c.mode);
    EXPECT_EQ(Confirm(dialog, "tlsPort", c.port), c.closes);
    ASSERT_FALSE(shown_.empty());
    EXPECT_EQ(shown_.back().rfind(c.shown, 0), 0u) << shown_.back();
    EXPECT_EQ(TlsSettings::Load(root_)->GetMode(), c.saved);
  }
  EXPECT_FALSE(TlsSettings::Fingerprint(root_).empty());
}

TEST_F(SettingsDialogsTest, LibraryNameMustBeAUsableFolderNameAndIsSaved) {
  const std::string before = Doc().GetSettings().GetLibraryName();
  const std::string folderRule = "Library name: a name cannot contain / \\ or control characters, be . or .., or "
                                 "begin with !";
  const std::pair<std::string, std::pair<std::string, std::string>> refusals[] = {
      {"   ", {"You must specify a name for the library", "You must specify a name for the library"}},
      {"a/b", {"The library name cannot be used as a folder name", folderRule}},
      {"..", {"The library name cannot be used as a folder name", folderRule}},
      {"!x", {"The library name cannot be used as a folder name", folderRule}},
      {std::string(256, 'n'),
       {"The library name cannot be used as a folder name", "Library name: a name can be at most 255 bytes long"}}};
  for (const auto& [refused, message] : refusals) {
    CSetLibraryNameDlg dialog(Doc());
    EXPECT_FALSE(Confirm(dialog, "libraryName", QString::fromStdString(refused))) << refused;
    EXPECT_EQ(LastShown(), message) << refused;
  }
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
    const std::string rule = "Server Port: a port is a whole number from 1 to 65535";
    EXPECT_EQ(LastShown(), std::make_pair(message, rule));
  }
  EXPECT_EQ(Reloaded()->GetPort(), before);

  CServerAddressDlg dialog(Doc());
  dialog.SetListeningPort(before);
  const QLineEdit* address = dialog.findChild<QLineEdit*>("serverAddress");
  EXPECT_TRUE(address->isReadOnly());
  EXPECT_NE(address->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
  EXPECT_TRUE(Confirm(dialog, "serverPort", "65535"));
  EXPECT_EQ(Reloaded()->GetPort(), 65535);
  EXPECT_EQ(shown_.back().rfind("Wexmoor listens on port 65535 from its next start; until then it keeps port " +
                                    std::to_string(before),
                                0),
            0u);
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

TEST_F(SettingsDialogsTest, EveryDialogOpensWideEnoughForItsTitleAndValues) {
  Doc().GetSettings().SetLibraryName("Default Library Name");
  auto about = std::make_unique<QMessageBox>();
  CMainFrame::PrepareAbout(*about);
  std::vector<std::unique_ptr<QWidget>> windows;
  windows.push_back(std::make_unique<CEditUsersDlg>(Doc()));
  windows.push_back(std::make_unique<CServerAddressDlg>(Doc()));
  windows.push_back(std::make_unique<CSetLibraryNameDlg>(Doc()));
  windows.push_back(std::make_unique<CCheckOutControlDlg>(Doc()));
  windows.push_back(std::make_unique<CServerChooseDirectoryDlg>());
  windows.push_back(std::move(about));
  for (const std::unique_ptr<QWidget>& window : windows) {
    window->show();
    EXPECT_GE(window->width(), platform::ui::TitleBarWidth(*window)) << window->windowTitle().toStdString();
    EXPECT_LE(window->width(), 1000) << window->windowTitle().toStdString();
    for (const QTreeWidget* list : window->findChildren<QTreeWidget*>()) {
      for (int c = 0; c < list->columnCount(); ++c) {
        EXPECT_GE(list->columnWidth(c), list->header()->sectionSizeHint(c)) << list->headerItem()->text(c).toStdString();
      }
    }
    for (const QLineEdit* field : window->findChildren<QLineEdit*>()) {
      if (!field->isVisible()) continue;
      EXPECT_GT(field->width(), field->fontMetrics().horizontalAdvance(field->text()))
          << field->objectName().toStdString();
    }
  }
}

TEST_F(SettingsDialogsTest, TabVisitsEveryDialogsControlsInTheOrderOfItsLayout) {
  const struct {
    std::unique_ptr<QWidget> window;
    std::vector<std::string> chain;
  } orders[] = {
      // The account with its IP details below it, the groups beside them, the group lists, the buttons.
      {std::make_unique<CEditUsersDlg>(Doc()),
       {"userList", "nameEdit", "passwordEdit", "typeBox", "ipAddressEdit", "portEdit", "emailAddressEdit",
        "emailServerEdit", "emailAccountEdit", "emailPasswordEdit", "dialBackEdit", "dialInAccountEdit",
        "dialInPasswordEdit", "groupsNotJoined", "joinAllButton", "joinButton", "leaveButton", "leaveAllButton",
        "groupsJoined",
        "certificateButton", "saveButton", "addButton", "deleteButton", "lockButton", "closeButton"}},
      // The address is read-only and left to the mouse.
      {std::make_unique<CServerAddressDlg>(Doc()), {"serverPort", "tlsMode", "tlsPort", "OK", "Cancel"}},
      {std::make_unique<CSetLibraryNameDlg>(Doc()), {"libraryName", "OK", "Cancel"}},
      {std::make_unique<CCheckOutControlDlg>(Doc()), {"onlyLatest", "OK", "Cancel"}},
      {std::make_unique<CGroupsDlg>(Doc()),
       {"groupList", "groupName", "groupRole", "groupProjects", "newButton", "renameButton", "saveButton",
        "deleteButton", "closeButton"}},
      {std::make_unique<CServerChooseDirectoryDlg>(),
       {"pathEdit", "CDirectoryTree", "CDriveComboBox", "Accept", "newFolder", "Cancel"}},
  };
  for (const auto& [window, chain] : orders) {
    EXPECT_EQ(platform::ui::TabChain(*window), chain) << window->windowTitle().toStdString();
  }
}

TEST_F(SettingsDialogsTest, TheFocusedControlShowsItsFocusFromTheFirstShowing) {
  CCheckOutControlDlg dialog(Doc());
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  QCheckBox* box = dialog.findChild<QCheckBox*>("onlyLatest");
  box->setFocus(Qt::OtherFocusReason);
  const QImage focused = box->grab().toImage();
  dialog.findChild<QDialogButtonBox*>()->buttons().front()->setFocus(Qt::OtherFocusReason);
  EXPECT_NE(focused, box->grab().toImage());
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
