#include "client/rules/CompareProgramChoice.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/ScratchFolder.h"

namespace {

TEST(CompareProgramChoiceTest, TheSettingWinsElseTheFirstExecutableKnownProgramOnThePath) {
  platform::ScratchFolder folder;
  const std::string first = folder.Path() + "/first";
  const std::string second = folder.Path() + "/second";
  ::mkdir(first.c_str(), 0755);
  ::mkdir(second.c_str(), 0755);
  const std::string known = CompareProgramChoice::KnownPrograms()[1];
  const std::string preferred = CompareProgramChoice::KnownPrograms()[0];
  folder.Put("first/" + preferred, "not executable");
  folder.Put("second/" + known, "#!/bin/sh\n");
  ::chmod((second + "/" + known).c_str(), 0755);
  ::mkdir((first + "/" + known).c_str(), 0755);   // a folder of the name is no program

  const struct {
    const char* what;
    std::string setting;
    std::string path;
    std::string chosen;
  } cases[] = {
      {"set by the user", "  /opt/compare --two  ", first + ":" + second, "/opt/compare --two"},
      {"found on the second folder", "", first + "::" + second, second + "/" + known},
      {"nothing on the path", " ", first, ""},
      {"an empty path", "", "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CompareProgramChoice::Effective(c.setting, c.path), c.chosen) << c.what;
}

}  // namespace
