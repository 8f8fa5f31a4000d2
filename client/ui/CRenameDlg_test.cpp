#include "client/ui/CRenameDlg.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>

#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"

namespace {

TEST(CRenameDlgTest, OkRefusesBlankAndUnusableNamesAndTrimsTheOneItTakes) {
  struct Case {
    QString typed;
    std::string refusal;   // empty: accepted
    std::string name;
  };
  const std::string unusable = std::string(CRenameDlg::kUnusableName) + "\n";
  const std::vector<Case> cases = {
      {"   ", CRenameDlg::kBlankName, "Old"},
      {"a/b",
       unusable + "A name cannot hold \"/\", \"\\\", a line break or another control character: choose another name.",
       "Old"},
      {"..", unusable + "\".\" and \"..\" name folders of their own: choose another name.", "Old"},
      {"!note", unusable + "A name cannot begin with \"!\": choose another name.", "Old"},
      {QString(314, 'n'), unusable + "Names are at most 255 bytes; this one has 314. Choose a shorter name.", "Old"},
      {"  New plan ", "", "New plan"},
  };
  for (const Case& c : cases) {
    platform::ui::ScriptedNotifier notifier;
    CRenameDlg dialog;
    dialog.SetName("Old");
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    dialog.findChild<QLineEdit*>("1002")->setText(c.typed);
    dialog.accept();
    EXPECT_EQ(accepted.count(), c.refusal.empty() ? 1 : 0) << c.typed.toStdString();
    EXPECT_EQ(dialog.GetName(), c.name);
    const std::vector<platform::Notification> told = notifier.Received();
    EXPECT_EQ(told.empty() ? std::string() : told.front().text, c.refusal);
  }
}

TEST(CRenameDlgTest, CancelAsksBeforeDroppingATypedNameAndNoKeepsTheDialog) {
  using platform::NotifyAnswer;
  struct Case {
    QString typed;
    NotifyAnswer answer;
    int questions, rejections;
  };
  for (const Case& c : {Case{"Old", NotifyAnswer::No, 0, 1}, Case{"New", NotifyAnswer::No, 1, 0},
                        Case{"New", NotifyAnswer::Yes, 1, 1}}) {
    platform::ui::ScriptedNotifier notifier;
    notifier.QueueAnswer(c.answer);
    CRenameDlg dialog;
    dialog.SetName("Old");
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    dialog.findChild<QLineEdit*>("1002")->setText(c.typed);
    dialog.reject();
    EXPECT_EQ(static_cast<int>(notifier.Received().size()), c.questions);
    EXPECT_EQ(rejected.count(), c.rejections);
  }
}

}  // namespace
