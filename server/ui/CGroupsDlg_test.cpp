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

TEST(GroupsDlgTest, EachButtonChangesTheStoredGroupsAndRefusalsNameTheirRule) {
  platform::ui::ScriptedNotifier notifier;
  TestServer server;
  ASSERT_TRUE(server.Start());
  ServerProject created;
  ASSERT_EQ(server.Document().CreateProject("", "Plans", "", created, false), 0);
  CGroupsDlg dialog(server.Document());
  const std::string plans = server.Document().GetSettings().GetLibraryName() + "->Plans";
  // Selects `group` and shows the name, role and tick given, as the user would.
  const auto show = [&](const std::string& group, const char* name, int role, bool tickPlans) {
    auto* list = dialog.findChild<QListWidget*>("groupList");
    for (int i = 0; i < list->count(); ++i) list->item(i)->setSelected(list->item(i)->text().toStdString() == group);
    auto* edit = dialog.findChild<QLineEdit*>("groupName");
    edit->setText(name);
    emit edit->textEdited(edit->text());
    dialog.findChild<QComboBox*>("groupRole")->setCurrentIndex(role);
    dialog.findChild<QTreeWidget*>("groupProjects")->topLevelItem(0)->setCheckState(0, tickPlans ? Qt::Checked
                                                                                                 : Qt::Unchecked);
  };
  // The stored group as "role subtree..."; "" when there is none.
  const auto stored = [&](const std::string& name) {
    std::string text;
    for (const GroupAdministration::GroupView& group : GroupAdministration(server.Document()).List()) {
      if (group.name != name) continue;
      text = GroupRoleText(group.role);
      for (const std::string& subtree : group.subtrees) text += " " + subtree;
    }
    return text;
  };
  struct Step {
    const char* what;
    std::function<void()> act;
    std::string group;
    std::string stored;      // "": gone
    std::string lastText;    // how the last message begins
  };
  const Step steps[] = {
      {"new", [&] { show("", "Roofers", 1, true); dialog.NewGroup(); }, "Roofers", "author " + plans, ""},
      {"a name against the rule", [&] { show("Roofers", "../x", 0, false); dialog.NewGroup(); }, "../x", "",
       "Group name: "},
      {"rename", [&] { show("Roofers", "Roof team", 1, true); dialog.RenameGroup(); }, "Roof team",
       "author " + plans, "Group name: "},
      {"widening to the whole library asks; No keeps it",
       [&] {
         show("Roof team", "Roof team", 2, false);
         notifier.QueueAnswer(NotifyAnswer::No);
         dialog.SaveGroup();
       },
       "Roof team", "author " + plans, "With no project ticked"},
      {"delete asks; Yes deletes",
       [&] {
         show("Roof team", "Roof team", 1, true);
         notifier.QueueAnswer(NotifyAnswer::Yes);
         dialog.DeleteGroup();
       },
       "Roof team", "", "Delete the group Roof team?"},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_EQ(stored(step.group), step.stored) << step.what;
    const std::string last = notifier.Received().empty() ? "" : notifier.Received().back().text;
    EXPECT_EQ(last.rfind(step.lastText, 0), 0u) << step.what << ": " << last;
  }
}

}  // namespace
