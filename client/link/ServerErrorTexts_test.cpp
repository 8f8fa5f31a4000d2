#include "client/link/ServerErrorTexts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "client/link/BuiltInErrorTexts.h"
#include "common/ResultCodes.h"
#include "platform/ScratchFolder.h"

namespace {

constexpr const char* kDefault = ServerErrorTexts::kDefaultText;

TEST(ServerErrorTexts, DefaultTextIsExact) {
  EXPECT_STREQ(kDefault,
               "Wexmoor has reported an error that cannot be identified with this version of Brannock.  Try "
               "downloading the latest Brannock from the Internet.");
}

// The shipped file in resources/.
std::string ShippedFilePath() { return SHIPPED_ERROR_TEXTS; }

TEST(ServerErrorTexts, WithoutTheNumberInAFileTheBuiltInTextAnswersThenTheDefault) {
  platform::ScratchFolder folder;
  const std::string missing = ServerErrorTexts::FilePath(folder.Path());
  EXPECT_FALSE(std::filesystem::exists(missing));   // not created
  const std::string partial = folder.Put("partial.txt", "1,\"one\"\n2,\"two\"\n");
  const std::string shipped3 = ServerErrorTexts::Lookup(ShippedFilePath(), 3);
  struct Case {
    std::string path;
    int number;
    std::string text;
  };
  for (const Case& c : {
           Case{missing, 3, shipped3},   // no file at all: the built-in copy
           Case{partial, 3, shipped3},   // a file without the number
           Case{partial, 1, "one"},      // the file's own text comes first
           Case{missing, 0, kDefault},   // a number nobody knows
           Case{partial, -1, kDefault},
       }) {
    EXPECT_EQ(ServerErrorTexts::Lookup(c.path, c.number), c.text) << c.path << " " << c.number;
  }
  EXPECT_NE(shipped3, kDefault);
}

TEST(ServerErrorTexts, WorkingFolderCopyComesBeforeTheInstalledOne) {
  platform::ScratchFolder work;
  platform::ScratchFolder installed;
  const std::string ownPath = work / ServerErrorTexts::kFileName;
  EXPECT_EQ(ServerErrorTexts::FilePath(work.Path(), installed.Path()), ownPath);   // neither: the default text
  installed.Put(ServerErrorTexts::kFileName, "7,\"installed\"\n");
  EXPECT_EQ(ServerErrorTexts::Lookup(ServerErrorTexts::FilePath(work.Path(), installed.Path()), 7), "installed");
  work.Put(ServerErrorTexts::kFileName, "7,\"own\"\n");
  EXPECT_EQ(ServerErrorTexts::Lookup(ServerErrorTexts::FilePath(work.Path(), installed.Path()), 7), "own");
}

TEST(ServerErrorTexts, FirstMatchingLineWinsWithAnyLineEnd) {
  platform::ScratchFolder folder;
  struct Case {
    const char* content;
    int number;
    const char* text;
  };
  for (const Case& c : {
           Case{"3,\"first\"\n3,\"second\"\n", 3, "first"},
           Case{"1,\"one\"\r\n\r\n2,\"two, with \"\"quotes\"\"\"\r\n", 2, "two, with \"quotes\""},
           Case{"\n\n7,bare text,ignored\n", 7, "bare text"},
           Case{"5,\"\"\n5,\"later\"\n", 5, ""},
           Case{"12,\"twelve\"\n1,\"one\"", 1, "one"},   // last line without a line feed
       }) {
    const std::string path = folder.Put(ServerErrorTexts::kFileName, c.content);
    EXPECT_EQ(ServerErrorTexts::Lookup(path, c.number), c.text) << c.content;
  }
}

TEST(ServerErrorTexts, ShippedFileNamesEveryNumberTheServerSends) {
  const std::filesystem::path shipped = ShippedFilePath();
  ASSERT_TRUE(std::filesystem::exists(shipped)) << shipped;
  EXPECT_EQ(BuiltInErrorTexts(), platform::ScratchFolder::Read(shipped));   // built in as it is
  std::set<std::string> texts;
  constexpr int kLastNumber = kRightsRefusedCode;
  for (int number = 1; number <= kLastNumber; ++number) {
    const std::string text = ServerErrorTexts::Lookup(shipped.string(), number);
    EXPECT_NE(text, kDefault) << number;
    EXPECT_FALSE(text.empty()) << number;
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), static_cast<std::size_t>(kLastNumber));   // each number in its own words
  EXPECT_EQ(ServerErrorTexts::Lookup(shipped.string(), 0), kDefault);
  EXPECT_EQ(ServerErrorTexts::Lookup(shipped.string(), kLastNumber + 1), kDefault);
  // A refusal because the library cannot be written says so, never "checked out" or "no longer exists".
  EXPECT_NE(ServerErrorTexts::Lookup(shipped.string(), 57).find("cannot write to the library"), std::string::npos);
  EXPECT_NE(ServerErrorTexts::Lookup(shipped.string(), kRightsRefusedCode).find("Ask the administrator"),
            std::string::npos);
}

}  // namespace
