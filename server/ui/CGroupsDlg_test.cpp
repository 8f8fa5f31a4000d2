#include "server/ui/CGroupsDlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <functional>

#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"
#include "server/admin/GroupAdministration.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ServerProject.h"
#include "testsupport/TestServer.h"

namespace {

using platform::NotifyAnswer;

class GroupsDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start());
    ServerProject plans;
    ASSERT_EQ(server_.Document().CreateProject("", "Plans", "", plans, false), 0);
    dialog_ = std::make_unique<CGroupsDlg>(server_.Document());
  }

  template <typename Widget>
  Widget* Find(const char* name) {
    Widget* widget = dialog_->findChild<Widget*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void Select(const std::string& group) {
    QListWidget* list = Find<QListWidget>("groupList");
    for (int i = 0; i < list->count(); ++i) list->item(i)->setSelected(list->item(i)->text().toStdString() == group);
  }
  void Show(const std::string& name, int role, bool tickPlans) {
    Find<QLineEdit>("groupName")->setText(QString::fromStdString(name));
    emit Find<QLineEdit>("groupName")->textEdited(Find<QLineEdit>("groupName")->text());
    Find<QComboBox>("groupRole")->setCurrentIndex(role);
    Find<QTreeWidget>("groupProjects")->topLevelItem(0)->setCheckState(0, tickPlans ? Qt::Checked : Qt::Unchecked);
  }
  // The stored group of that name as "role over subtrees"; "" when there is none.
  std::string Stored(const std::string& name) {
    for (const GroupAdministration::GroupView& group : GroupAdministration(server_.Document()).List()) {
      if (group.name != name) continue;
      std::string text = GroupRoleText(group.role);
      for (const std::string& subtree : group.subtrees) text += " " + subtree;
      return text;
    }
    return "";
  }
  std::string LastText() const {
    const std::vector<platform::Notification> received = notifier_.Received();
    return received.empty() ? "" : received.back().text;
  }

  platform::ui::ScriptedNotifier notifier_;
  TestServer server_;
  std::unique_ptr<CGroupsDlg> dialog_;
};

TEST_F(GroupsDlgTest, EachButtonChangesTheStoredGroupsAndRefusalsNameTheirRule) {
  const std::string plans = server_.Document().GetSettings().GetLibraryName() + "->Plans";
  struct Step {
    const char* what;
    std::function<void()> act;
    std::string group;
    std::string stored;        // the group as then stored; "" gone
    std::string textStart;     // what the last message begins with; "" none expected
  };
  const Step steps[] = {
      {"new over a ticked project", [&] { Show("Roofers", 1, true); dialog_->NewGroup(); }, "Roofers",
       "author " + plans, ""},
      {"a name against the rule", [&] { Show("../x", 0, false); dialog_->NewGroup(); }, "../x", "", "Group name: "},
      {"rename", [&] { Select("Roofers"); Show("Roof team", 1, true); dialog_->RenameGroup(); }, "Roof team",
       "author " + plans, ""},
      {"widening to the whole library is asked and No keeps it",
       [&] {
         Select("Roof team");
         Show("Roof team", 2, false);
         notifier_.QueueAnswer(NotifyAnswer::No);
         dialog_->SaveGroup();
       },
       "Roof team", "author " + plans, "With no project ticked"},
      {"a new role saved", [&] { Select("Roof team"); Show("Roof team", 2, true); dialog_->SaveGroup(); },
       "Roof team", "publisher " + plans, "With no project ticked"},
      {"delete answered No keeps it",
       [&] {
         Select("Roof team");
         notifier_.QueueAnswer(NotifyAnswer::No);
         dialog_->DeleteGroup();
       },
       "Roof team", "publisher " + plans, "Delete the group Roof team?"},
      {"delete answered Yes",
       [&] {
         Select("Roof team");
         notifier_.QueueAnswer(NotifyAnswer::Yes);
         dialog_->DeleteGroup();
       },
       "Roof team", "", "Delete the group Roof team?"},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_EQ(Stored(step.group), step.stored) << step.what;
    EXPECT_EQ(LastText().rfind(step.textStart, 0), 0u) << step.what << ": " << LastText();
  }
}

}  // namespace
