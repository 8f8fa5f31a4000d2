#include "client/ui/CommandRouter.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

// Handles the commands of its map (id -> enabled) and counts what it ran.
struct Target : CommandTarget {
  CommandStatus QueryCommand(int command) override {
    const auto found = commands.find(command);
    return found == commands.end() ? CommandStatus{} : CommandStatus{true, found->second, false};
  }
  void RunCommand(int command) override { ran.push_back(command); }
  std::map<int, bool> commands;
  std::vector<int> ran;
};

TEST(CommandRouterTest, TheFirstTargetThatHandlesACommandDecidesAndItsStateIsAskedAgainBeforeItRuns) {
  Target view, frame;
  view.commands = {{1, true}, {2, false}};
  frame.commands = {{1, true}, {2, true}, {3, true}, {4, true}};
  const CommandRouter router([&](int) { return std::vector<CommandTarget*>{nullptr, &view, &frame}; },
                             [](int command) { return command == 4; });
  // 1: the view comes first; 2: the view disables it; 3: only the frame has it;
  // 4: vetoed whatever the frame says; 5: nobody has it.
  for (const auto& [command, enabled] : std::map<int, bool>{{1, true}, {2, false}, {3, true}, {4, false}, {5, false}}) {
    EXPECT_EQ(router.Query(command).enabled, enabled) << command;
    EXPECT_EQ(router.Run(command), enabled) << command;
  }
  EXPECT_EQ(view.ran, std::vector<int>{1});
  EXPECT_EQ(frame.ran, std::vector<int>{3});

  ASSERT_TRUE(router.Query(1).enabled);   // the button was drawn enabled, then the state changed
  view.commands[1] = false;
  EXPECT_FALSE(router.Run(1));
  EXPECT_EQ(view.ran, std::vector<int>{1});
}

}  // namespace
