#include "server/ui/CEditUsersDlg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "common/CertificateFile.h"
#include "common/MessageIds.h"
#include "common/RecordFields.h"
#include "platform/AtomicFile.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"
#include "server/admin/GroupAdministration.h"
#include "server/store/CWexmoorDoc.h"
#include "testsupport/TestServer.h"

namespace {

using platform::NotifyAnswer;

constexpr const char* kInvalid = "User details are invalid.  Do you want help?";
constexpr const char* kSaveFailed = "Failed to save updated user table to disk";

// A running server with the account "ann" and the dialog over its document; each
// test acts inside one modal run of the dialog.
class EditUsersDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start());
    const std::optional<UserAccount> ann = server_.AddUser("ann", "pw");
    ASSERT_TRUE(ann);
    annId_ = ann->GetId();
    dialog_ = std::make_unique<CEditUsersDlg>(server_.Document());
    dialog_->SetPathChooser([this](const std::string& defaultName) {
      offeredName_ = defaultName;
      return chosenPath_;
    });
    dialog_->SetHelpRequest([this](int context) { helpContext_ = context; });
  }
  void TearDown() override { platform::AtomicFile::SetWriteHookForTesting(nullptr); }

  void Run(const std::function<void()>& steps) {
    QTimer::singleShot(0, dialog_.get(), [this, steps] {
      steps();
      if (dialog_->isVisible()) dialog_->accept();
    });
    dialog_->exec();
  }

  template <typename Widget = QWidget>
  Widget* Find(const char* name) {
    Widget* widget = dialog_->findChild<Widget*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  bool On(const char* name) { return Find(name)->isEnabled(); }
  void Type(const char* edit, const QString& text) {
    Find<QLineEdit>(edit)->setText(text);
    emit Find<QLineEdit>(edit)->textEdited(text);
  }
  void ChooseType(int item) {
    Find<QComboBox>("typeBox")->setCurrentIndex(item);
    emit Find<QComboBox>("typeBox")->activated(item);
  }
  QTreeWidgetItem* Row(int id) {
    QTreeWidget* list = Find<QTreeWidget>("userList");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      if (list->topLevelItem(i)->data(0, Qt::UserRole).toInt() == id) return list->topLevelItem(i);
    }
    return nullptr;
  }
  void Click(int id) { Find<QTreeWidget>("userList")->setCurrentItem(Row(id)); }
  void DoubleClick(int id) {
    Click(id);
    emit Find<QTreeWidget>("userList")->itemDoubleClicked(Row(id), 0);
  }
  // A new TCP/IP user through the dialog's add and save.
  void AddThroughDialog(const QString& name, const QString& port = "") {
    dialog_->AddNewUser();
    Type("nameEdit", name);
    Type("passwordEdit", "secret");
    ChooseType(UserAccount::kTcpIp);
    Type("portEdit", port);
    dialog_->SaveChanges();
  }
  std::string UsersFile() const {
    return platform::ScratchFolder::Read(server_.RootPath() + "/" + ServerSettings::kUsersFileName);
  }
  // The first line of the last message, and the line that names the field.
  std::pair<std::string, std::string> LastRefusal() const {
    const std::string text = Texts().empty() ? "" : Texts().back();
    const std::size_t field = text.rfind('\n');
    return {text.substr(0, text.find('\n')), field == std::string::npos ? "" : text.substr(field + 1)};
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const platform::Notification& n : notifier_.Received()) texts.push_back(n.text);
    return texts;
  }
  UserAccount Stored(int id) {
    const std::optional<UserAccount> account = server_.StoredUser(id);
    EXPECT_TRUE(account) << id;
    return account.value_or(UserAccount());
  }

  platform::ui::ScriptedNotifier notifier_;
  TestServer server_;
  platform::ScratchFolder scratch_;
  int annId_ = -1;
  std::unique_ptr<CEditUsersDlg> dialog_;
  std::string chosenPath_;
  std::string offeredName_;
  int helpContext_ = 0;
};

TEST_F(EditUsersDlgTest, ControlStatesFollowTheMode) {
  Run([&] {
    EXPECT_EQ(dialog_->GetMode(), CEditUsersDlg::kBrowsing);
    EXPECT_EQ(dialog_->GetSelectedId(), annId_);
    EXPECT_EQ(Row(annId_)->text(2), "Unlocked");
    EXPECT_EQ(Row(annId_)->text(3), "TCP/IP");
    EXPECT_EQ(Row(annId_)->text(5), "");  // no port without an IP address
    EXPECT_EQ(Find<QLineEdit>("nameEdit")->text(), "ann");  // the selected account's details
    for (const char* on : {"userList", "lockButton", "certificateButton", "deleteButton", "addButton"}) {
      EXPECT_TRUE(On(on)) << on;
    }
    for (const char* off : {"nameEdit", "passwordEdit", "typeBox", "saveButton", "ipAddressEdit", "portEdit",
                            "emailAddressEdit", "dialBackEdit"}) {
      EXPECT_FALSE(On(off)) << off;
    }

    dialog_->AddNewUser();
    EXPECT_EQ(dialog_->GetMode(), CEditUsersDlg::kAdding);
    EXPECT_TRUE(On("nameEdit") && On("typeBox"));
    EXPECT_EQ(dialog_->focusWidget(), Find("nameEdit"));
    EXPECT_EQ(Find<QComboBox>("typeBox")->currentIndex(), UserAccount::kTcpIp);
    EXPECT_FALSE(On("lockButton"));
    Type("nameEdit", "bob");
    EXPECT_FALSE(On("saveButton"));
    EXPECT_EQ(Find<QPushButton>("saveButton")->toolTip(), "Password: a password is required");
    Type("passwordEdit", "pw");
    ChooseType(UserAccount::kEmail);  // only "<Unspecified>" and "TCP/IP" can be chosen
    EXPECT_EQ(Texts().back(), "Only TCP/IP connections are supported.");
    EXPECT_EQ(Find<QComboBox>("typeBox")->currentIndex(), UserAccount::kTcpIp);
    EXPECT_TRUE(On("saveButton") && On("ipAddressEdit") && On("portEdit"));
    EXPECT_FALSE(On("emailAddressEdit") || On("dialBackEdit"));

    dialog_->SaveChanges();
    ASSERT_EQ(dialog_->GetMode(), CEditUsersDlg::kBrowsing);
    EXPECT_NE(dialog_->GetSelectedId(), annId_);  // bob's row
    EXPECT_EQ(Find<QLineEdit>("nameEdit")->text(), "bob");
    Click(annId_);
    EXPECT_EQ(Find<QLineEdit>("nameEdit")->text(), "ann");
    EXPECT_FALSE(On("nameEdit"));
    DoubleClick(annId_);
    EXPECT_EQ(dialog_->GetMode(), CEditUsersDlg::kEditing);
    EXPECT_EQ(Find<QLineEdit>("nameEdit")->text(), "ann");
    EXPECT_TRUE(On("nameEdit") && On("ipAddressEdit"));
    EXPECT_FALSE(On("typeBox") || On("lockButton") || On("saveButton"));
    Type("ipAddressEdit", "10.0.0.9");
    EXPECT_TRUE(On("saveButton"));
  });
}

TEST_F(EditUsersDlgTest, ComingBackToTheDialogShowsAccountsAddedMeanwhileAndKeepsWhatIsTyped) {
  struct Case {
    const char* what;
    std::function<void()> before;   // what the dialog is doing when the shell adds an account
    CEditUsersDlg::Mode mode;
    QString shownName;
  };
  const Case cases[] = {
      {"browsing", [] {}, CEditUsersDlg::kBrowsing, "ann"},
      {"adding", [&] { dialog_->AddNewUser(); Type("nameEdit", "carl"); }, CEditUsersDlg::kAdding, "carl"},
  };
  int added = 0;
  for (const Case& c : cases) {
    Run([&] {
      c.before();
      const std::optional<UserAccount> shellUser = server_.AddUser("shell" + std::to_string(++added), "pw");
      ASSERT_TRUE(shellUser) << c.what;
      EXPECT_EQ(Row(shellUser->GetId()), nullptr) << c.what;
      dialog_->activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(dialog_.get())) << c.what;
      QEvent activation(QEvent::ActivationChange);
      QApplication::sendEvent(dialog_.get(), &activation);
      EXPECT_NE(Row(shellUser->GetId()), nullptr) << c.what;
      EXPECT_EQ(dialog_->GetMode(), c.mode) << c.what;
      EXPECT_EQ(Find<QLineEdit>("nameEdit")->text(), c.shownName) << c.what;
      if (c.mode != CEditUsersDlg::kBrowsing) {
        notifier_.QueueAnswer(NotifyAnswer::No);   // leave without saving
        dialog_->reject();
      }
    });
  }
}

TEST_F(EditUsersDlgTest, TheGroupListsShowMembershipAndTheFourButtonsSaveEachChange) {
  GroupAdministration groups(server_.Document());
  std::vector<std::string> all;
  for (const GroupAdministration::GroupView& group : groups.List()) all.push_back(group.name);
  ASSERT_GE(all.size(), 2u);
  const auto listed = [&](const char* name) {
    std::vector<std::string> names;
    QListWidget* list = Find<QListWidget>(name);
    for (int i = 0; i < list->count(); ++i) names.push_back(list->item(i)->text().toStdString());
    return names;
  };
  const auto click = [&](const char* button) { Find<QPushButton>(button)->click(); };
  struct Step {
    const char* what;
    std::function<void()> act;
    std::vector<std::string> joined;   // what the table and the right-hand list then hold
  };
  const Step steps[] = {
      {"leave all", [&] { click("leaveAllButton"); }, {}},
      {"join the one selected",
       [&] {
         Find<QListWidget>("groupsNotJoined")->item(1)->setSelected(true);
         click("joinButton");
       },
       {all[1]}},
      {"join all", [&] { click("joinAllButton"); }, all},
      {"a failed save changes nothing",
       [&] {
         platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; });
         click("leaveAllButton");
         platform::AtomicFile::SetWriteHookForTesting(nullptr);
         EXPECT_EQ(Texts().back().rfind(GroupAdministration::kSaveFailedText, 0), 0u) << Texts().back();
       },
       all},
  };
  Run([&] {
    EXPECT_FALSE(On("joinButton") || On("leaveButton"));   // nothing selected yet
    for (const Step& step : steps) {
      step.act();
      EXPECT_EQ(groups.GroupsOf("ann"), step.joined) << step.what;
      EXPECT_EQ(listed("groupsJoined"), step.joined) << step.what;
      EXPECT_EQ(listed("groupsNotJoined").size() + step.joined.size(), all.size()) << step.what;
    }
    dialog_->AddNewUser();   // a new account joins groups once it is saved
    EXPECT_TRUE(listed("groupsJoined").empty() && listed("groupsNotJoined").empty());
    EXPECT_FALSE(On("groupsJoined") || On("joinAllButton"));
    dialog_->reject();
  });
}

TEST_F(EditUsersDlgTest, ChangesReachTheUsersFile) {
  Run([&] {
    AddThroughDialog("bob", "8901");
    const int bobId = dialog_->GetSelectedId();
    ASSERT_NE(bobId, annId_);
    EXPECT_EQ(dialog_->GetMode(), CEditUsersDlg::kBrowsing);
    EXPECT_EQ(Stored(bobId).GetName(), "bob");
    EXPECT_EQ(Stored(bobId).GetPort(), 8901);
    EXPECT_EQ(Stored(bobId).GetServerPort(), server_.Port());

    AddThroughDialog("bob");  // same name, type and (empty) address
    EXPECT_EQ(LastRefusal().first, "Failed to add this user.  User details must be unique in the user table.");
    EXPECT_EQ(LastRefusal().second.rfind("Username: an account named bob", 0), 0u);
    EXPECT_EQ(dialog_->GetMode(), CEditUsersDlg::kAdding);
    Type("nameEdit", "bob2");
    Click(annId_);  // leaving the row saves first
    EXPECT_EQ(dialog_->GetMode(), CEditUsersDlg::kBrowsing);
    EXPECT_EQ(dialog_->GetSelectedId(), annId_);
    EXPECT_EQ(server_.Document().GetSettings().GetUserCount(), 3);

    DoubleClick(annId_);
    Type("ipAddressEdit", "10.0.0.9");
    dialog_->SaveChanges();
    EXPECT_EQ(Stored(annId_).GetIpAddress(), "10.0.0.9");

    dialog_->ToggleLockStatus();
    EXPECT_TRUE(Stored(annId_).IsLockedOut());
    EXPECT_EQ(Row(annId_)->text(2), "Locked Out");
    dialog_->ToggleLockStatus();
    EXPECT_FALSE(Stored(annId_).IsLockedOut());

    Click(bobId);
    dialog_->DeleteUser();
    EXPECT_EQ(Texts().back(), "User bob will be deleted.  Proceed ?");
    EXPECT_EQ(notifier_.Received().back().buttons, platform::NotifyButtons::YesNo);  // a Yes/No box defaults to No
    EXPECT_FALSE(server_.StoredUser(bobId));
    EXPECT_EQ(Row(bobId), nullptr);
  });
}

TEST_F(EditUsersDlgTest, EachRefusalNamesItsFieldAndRule) {
  const std::string portRule = "Port: a port is a number from 0 to 65535, or empty";
  const std::string nameRule =
      "Username: a name cannot contain / \\ or control characters, be . or .., or begin with !";
  const struct {
    std::string name;
    const char* port;
    std::string field;
  } cases[] = {{"carl", "70000", portRule},
               {"carl", "8 0", portRule},
               {"bob/x", "", nameRule},
               {"..", "", nameRule},
               {std::string(256, 'c'), "", "Username: a name can be at most 255 bytes long"}};
  Run([&] {
    for (const auto& c : cases) {
      if (dialog_->IsModified()) notifier_.QueueAnswer(NotifyAnswer::No);  // drop the last try
      notifier_.QueueAnswer(NotifyAnswer::No);                             // no help
      AddThroughDialog(QString::fromStdString(c.name), c.port);
      EXPECT_EQ(LastRefusal(), std::make_pair(std::string(kInvalid), c.field)) << c.port;
      EXPECT_EQ(dialog_->GetMode(), CEditUsersDlg::kAdding) << c.port;
    }
    notifier_.QueueAnswer(NotifyAnswer::No);
    AddThroughDialog("../carl");  // the default answer asks for help
    EXPECT_EQ(helpContext_, CEditUsersDlg::kUserDetailsHelpContext);
  });
  EXPECT_EQ(server_.Document().GetSettings().GetUserCount(), 1);
}

TEST_F(EditUsersDlgTest, EnterSavesAndLeavingWithChangesAsks) {
  Run([&] {
    dialog_->AddNewUser();
    Type("nameEdit", "bob/x");
    Type("passwordEdit", "pw");
    notifier_.QueueAnswer(NotifyAnswer::No);  // no help
    QTest::keyClick(Find("passwordEdit"), Qt::Key_Return);
    EXPECT_EQ(LastRefusal().second.rfind("Username:", 0), 0u);
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(dialog_->GetMode(), CEditUsersDlg::kAdding);
    Type("nameEdit", "bob");
    QTest::keyClick(Find("passwordEdit"), Qt::Key_Return);
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(dialog_->GetMode(), CEditUsersDlg::kBrowsing);
    EXPECT_EQ(Stored(dialog_->GetSelectedId()).GetName(), "bob");
  });

  // Escape or Close with an edited address: Save (Yes), Discard (No) or Cancel.
  const struct {
    bool escape;
    NotifyAnswer answer;
    bool closes;
  } cases[] = {{true, NotifyAnswer::Yes, true},
               {true, NotifyAnswer::No, true},
               {true, NotifyAnswer::Cancel, false},
               {false, NotifyAnswer::Yes, true}};
  int address = 0;
  std::string saved;
  for (const auto& c : cases) {
    const std::string before = UsersFile();
    const std::string typed = "10.0.0." + std::to_string(++address);
    Run([&] {
      DoubleClick(annId_);
      Type("ipAddressEdit", QString::fromStdString(typed));
      notifier_.QueueAnswer(c.answer);
      if (c.escape) {
        QTest::keyClick(Find("ipAddressEdit"), Qt::Key_Escape);
      } else {
        Find<QPushButton>("closeButton")->click();
      }
      EXPECT_EQ(Texts().back(), "Save changes to user ann?") << typed;
      EXPECT_EQ(dialog_->isVisible(), !c.closes) << typed;
      if (!c.closes) dialog_->accept();  // what Cancel kept is dropped by the next showing
    });
    if (c.answer == NotifyAnswer::Yes) {
      saved = typed;
    } else {
      EXPECT_EQ(UsersFile(), before) << typed;
    }
    EXPECT_EQ(Stored(annId_).GetIpAddress(), saved) << typed;
  }
}

TEST_F(EditUsersDlgTest, EnterPressesTheFocusedButtonAndSavesFromTheConnectionTypeBox) {
  chosenPath_ = scratch_ / "ann.wxc";
  Run([&] {
    Click(annId_);
    Find("certificateButton")->setFocus();
    QTest::keyClick(Find("certificateButton"), Qt::Key_Return);
    EXPECT_EQ(offeredName_.rfind("ann_", 0), 0u);

    dialog_->AddNewUser();
    Type("nameEdit", "cy");
    Type("passwordEdit", "pw");
    ChooseType(UserAccount::kTcpIp);
    Find("typeBox")->setFocus();
    QTest::keyClick(Find("typeBox"), Qt::Key_Enter);
    EXPECT_EQ(dialog_->GetMode(), CEditUsersDlg::kBrowsing);
    EXPECT_EQ(Stored(dialog_->GetSelectedId()).GetName(), "cy");
  });
}

// The plain certificate of `account` as the users file now holds it.
std::string ExpectedCertificate(const ServerSettings& settings, const UserAccount& account) {
  return "\"" + settings.GetLibraryName() + "\",16,\"" + settings.GetDefaultKey() + "\"\n" +
         std::to_string(account.GetId()) + ",\"" + account.GetName() + "\",\"" + account.GetPassword() + "\",\"" +
         account.GetKeyText() + "\",16,1,\"" + account.GetLogonCode() + "\",\"" + account.GetServerAddress() + "\"," +
         std::to_string(account.GetServerPort()) + ",\"" + account.GetIpAddress() + "\"," +
         std::to_string(account.GetPort()) + "\n";
}

TEST_F(EditUsersDlgTest, CertificateHoldsTheSavedCodeAndKey) {
  chosenPath_ = scratch_ / "ann.wxc";
  std::string first;
  Run([&] {
    dialog_->CreateCertificate();
    ASSERT_EQ(CertificateFile::Read(chosenPath_, first), CertificateFile::ReadResult::Read);
    dialog_->CreateCertificate();
  });
  EXPECT_EQ(offeredName_.size(), std::string("ann_").size() + 14);
  EXPECT_EQ(offeredName_.rfind("ann_", 0), 0u);
  EXPECT_EQ(Texts().back(), "Certificate " + chosenPath_ + " created successfully and is now operational");

  std::string second;
  ASSERT_EQ(CertificateFile::Read(chosenPath_, second), CertificateFile::ReadResult::Read);
  const UserAccount stored = Stored(annId_);
  EXPECT_EQ(second, ExpectedCertificate(server_.Document().GetSettings(), stored));
  EXPECT_EQ(server_.Document().GetSettings().GetDefaultKey().size(), 32u);
  EXPECT_EQ(stored.GetKeyText().size(), 32u);
  EXPECT_NE(first, second);
  EXPECT_EQ(first.find(stored.GetLogonCode()), std::string::npos);
  struct stat mode;
  ASSERT_EQ(::stat(chosenPath_.c_str(), &mode), 0);
  EXPECT_EQ(mode.st_mode & 0777, 0600u);
}

TEST_F(EditUsersDlgTest, FailedCertificateChangesNothing) {
  const UserAccount before = Stored(annId_);
  chosenPath_ = scratch_ / "missing/ann.wxc";
  Run([&] {
    dialog_->CreateCertificate();
    EXPECT_EQ(Texts().back(), "Failed to write certificate " + chosenPath_ + ": No such file or directory");
    chosenPath_ = scratch_ / "ann.wxc";
    platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; });
    dialog_->CreateCertificate();
    EXPECT_EQ(Texts().back(), kSaveFailed);
    dialog_->ToggleLockStatus();
    EXPECT_EQ(Texts().back(), kSaveFailed);
    dialog_->DeleteUser();
    EXPECT_EQ(Texts().back(), kSaveFailed);
    platform::AtomicFile::SetWriteHookForTesting(nullptr);
  });
  EXPECT_FALSE(platform::fs::Exists(chosenPath_));
  const UserAccount after = Stored(annId_);
  EXPECT_EQ(after.GetLogonCode(), before.GetLogonCode());
  EXPECT_EQ(after.GetKeyText(), before.GetKeyText());
  EXPECT_FALSE(after.IsLockedOut());
}

// What a client takes from a certificate to log on.
struct Certificate {
  std::string defaultKey;
  int id = -1;
  std::string name;
  std::string password;
  std::string key;
  std::string code;
};

Certificate Decode(const std::string& path) {
  std::string text;
  EXPECT_EQ(CertificateFile::Read(path, text), CertificateFile::ReadResult::Read);
  Certificate certificate;
  std::string library;
  int number = 0;
  text = ReadStringField(library, text);
  text = ReadIntField(number, text);
  text = ReadStringField(certificate.defaultKey, text);
  text = ReadIntField(certificate.id, text);
  text = ReadStringField(certificate.name, text);
  text = ReadStringField(certificate.password, text);
  text = ReadStringField(certificate.key, text);
  text = ReadIntField(number, text);
  text = ReadIntField(number, text);
  ReadStringField(certificate.code, text);
  return certificate;
}

TEST_F(EditUsersDlgTest, CertificateMadeWhileEditingStillLogsOnAfterSave) {
  chosenPath_ = scratch_ / "ann.wxc";
  Run([&] {
    DoubleClick(annId_);
    dialog_->CreateCertificate();
    Type("ipAddressEdit", "10.0.0.9");
    dialog_->SaveChanges();
    EXPECT_EQ(dialog_->GetMode(), CEditUsersDlg::kBrowsing);
  });
  const Certificate certificate = Decode(chosenPath_);
  EXPECT_EQ(Stored(annId_).GetIpAddress(), "10.0.0.9");

  TestClient client(static_cast<std::uint32_t>(certificate.id), certificate.defaultKey, certificate.key);
  ASSERT_TRUE(client.Connect(server_.Port()));
  TestClient::Reply reply;
  ASSERT_EQ(client.Logon(certificate.name, certificate.password, certificate.code, reply),
            TestClient::ReceiveStatus::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
}

TEST(EditUsersDlgFileDialogTest, AsksForACertificateWithoutOverwritePrompt) {
  QFileDialog dialog;
  CEditUsersDlg::PrepareCertificateFileDialog(dialog, "ann_20261208120000");
  EXPECT_EQ(dialog.windowTitle(), "Specify Certificate Name");
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(dialog.defaultSuffix(), "wxc");
  EXPECT_EQ(dialog.nameFilters(), QStringList{"Certificate Files (*.wxc)"});
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_TRUE(dialog.selectedFiles().front().endsWith("/ann_20261208120000.wxc"));
}

}  // namespace
