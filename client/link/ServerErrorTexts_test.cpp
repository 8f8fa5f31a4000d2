#include "client/link/ServerErrorTexts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/ScratchFolder.h"

namespace {

constexpr const char* kDefault = ServerErrorTexts::kDefaultText;

TEST(ServerErrorTexts, DefaultTextIsExact) {
  EXPECT_STREQ(kDefault,
               "Wexmoor has reported an error that cannot be identified with this version of Brannock.  Try "
               "downloading the latest Brannock from the Internet.");
}

TEST(ServerErrorTexts, MissingFileOrUnlistedNumberGivesTheDefault) {
  platform::ScratchFolder folder;
  EXPECT_EQ(ServerErrorTexts::Lookup(ServerErrorTexts::FilePath(folder.Path()), 3), kDefault);
  EXPECT_FALSE(std::filesystem::exists(ServerErrorTexts::FilePath(folder.Path())));   // not created
  const std::string path = folder.Put(ServerErrorTexts::kFileName, "1,\"one\"\n2,\"two\"\n");
  EXPECT_EQ(ServerErrorTexts::FilePath(folder.Path()), path);
  for (int unlisted : {0, 3, -1}) EXPECT_EQ(ServerErrorTexts::Lookup(path, unlisted), kDefault) << unlisted;
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
  const std::filesystem::path shipped =
      std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "resources" /
      ServerErrorTexts::kFileName;
  ASSERT_TRUE(std::filesystem::exists(shipped)) << shipped;
  std::set<std::string> texts;
  constexpr int kLastNumber = 61;
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
}

}  // namespace
