// Runs the built client program as a child process.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "client/document/CBrannockApp.h"
#include "platform/fs.h"
#include "platform/InstanceGuard.h"
#include "platform/ScratchFolder.h"
#include "testsupport/ChildProcess.h"

namespace {

class BrannockProgramTest : public ::testing::Test {
 protected:
  // The program on an offscreen display, SIGINT and SIGTERM held until it handles them.
  static ChildProcess::Options Offscreen() {
    ChildProcess::Options options;
    options.environment = ChildProcess::EnvironmentWithoutDisplay();
    options.environment.push_back("QT_QPA_PLATFORM=offscreen");
    options.ownEnvironment = true;
    options.blockTerminationSignals = true;
    return options;
  }

  platform::ScratchFolder scratch_;
  const std::string work_ = scratch_ / "work";
};

TEST_F(BrannockProgramTest, ATerminatingSignalClosesTheWindowInOrder) {
  for (const int signal : {SIGTERM, SIGINT}) {
    ChildProcess program(BRANNOCK_PROGRAM, {"--workdir", work_, "--create-workdir"}, Offscreen());
    ASSERT_TRUE(program.Started());
    program.Signal(signal);
    EXPECT_EQ(0, program.Finish()) << program.Errors();
    EXPECT_TRUE(platform::fs::IsFile(work_ + "/BKUsers.wxf"));
  }
}

TEST_F(BrannockProgramTest, RefusedStartsEndWithOne) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    bool offscreen;
    const char* error;   // on standard error; null: a box says it
  };
  scratch_.Put("file", "x");
  const Case cases[] = {
      {"no display", {"--workdir", work_}, false, "no display"},
      {"missing working folder", {"--workdir", work_}, true, "/work does not exist; check --workdir"},
      {"unusable working folder",
       {"--workdir", scratch_ / "file/work", "--create-workdir"},
       true,
       "cannot use the working folder"},
      {"second instance", {"--workdir", work_, "--create-workdir"}, true, nullptr},
  };
  const platform::InstanceGuard first(CBrannockApp::InstanceGuardName(work_), 0);
  ASSERT_TRUE(first.Held());
  for (const Case& c : cases) {
    ChildProcess::Options options = Offscreen();
    if (!c.offscreen) options.environment = ChildProcess::EnvironmentWithoutDisplay();
    ChildProcess program(BRANNOCK_PROGRAM, c.arguments, options);
    ASSERT_TRUE(program.Started());
    // Answers the refusal's box as a user would close it.
    if (c.error == nullptr) program.Signal(SIGTERM);
    EXPECT_EQ(1, program.Finish()) << c.name << ": " << program.Errors();
    if (c.error != nullptr) {
      EXPECT_NE(std::string::npos, program.Errors().find(c.error)) << c.name;
    }
  }
  EXPECT_FALSE(platform::fs::IsFile(work_ + "/BKUsers.wxf"));
}

TEST_F(BrannockProgramTest, BothClientsPrintTheirHelpWhereverItIsAsked) {
  for (const char* program : {BRANNOCK_PLAIN_PROGRAM, BRANNOCK_PROGRAM}) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--help"}, {"--workdir", work_, "--help"}, {"--test-hooks", "--help"}}) {
      ChildProcess help(program, arguments, Offscreen());
      EXPECT_EQ(0, help.Finish()) << program << ' ' << arguments.size() << ": " << help.Errors();
      EXPECT_NE(std::string::npos, help.Output().find("--create-workdir")) << help.Output();
    }
  }
  EXPECT_FALSE(platform::fs::Exists(work_)) << "help makes no folder";
}

}  // namespace
