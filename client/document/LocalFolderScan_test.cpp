#include "client/document/LocalFolderScan.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <map>

#include "platform/ScratchFolder.h"
#include "platform/fs.h"

namespace {

namespace fs = platform::fs;
using platform::ScratchFolder;

constexpr std::int64_t kFiveGiB = 5LL << 30;

// A folder "work" mapped to project P1 (documents Old.txt and README.txt), its
// sub-folder "src" mapped to P2, a sub-folder "build" with a folder and a document,
// a link to the folder itself, a pipe and a sparse 5 GiB file.
class LocalFolderScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"work", "work/src", "work/build", "work/build/inner"}) {
      ASSERT_TRUE(fs::CreateFolder(scratch_ / name));
    }
    for (const char* name : {"work/Old.BAK", "work/Old.txt", "work/readme.txt", "work/build/doc.txt"}) {
      scratch_.Put(name, "bytes");
    }
    ASSERT_TRUE(fs::SetReadOnly(scratch_ / "work/Old.txt", true));
    std::filesystem::create_directory_symlink(scratch_ / "work", scratch_ / "work/loop");
    ASSERT_EQ(::mkfifo((scratch_ / "work/pipe").c_str(), 0600), 0);
    scratch_.Put("work/big.bin", "");
    std::filesystem::resize_file(scratch_ / "work/big.bin", kFiveGiB);
    mapped_[Work()] = "P1";
    mapped_[Work() + "/src"] = "P2";
    documents_["P1"] = {"Old.txt", "README.txt"};
  }

  std::string Work() const { return scratch_ / "work"; }

  LocalFolderScan Scanner(const std::string& linkBound = "") {
    LocalFolderLookups lookups;
    lookups.linkBound = linkBound;
    lookups.findProjectByLocalFolder = [this](const std::string& folder) -> std::optional<std::string> {
      const auto found = mapped_.find(folder);
      if (found == mapped_.end()) return std::nullopt;
      return found->second;
    };
    lookups.loadProjectDocuments = [this](const std::string& index) -> std::optional<std::vector<std::string>> {
      loaded_.push_back(index);
      const auto found = documents_.find(index);
      if (found == documents_.end()) return std::nullopt;
      return found->second;
    };
    return LocalFolderScan(lookups);
  }

  std::vector<LocalFileEntry> Scan(const std::string& folder, const FolderRuleSet& rules,
                                   const std::string& linkBound = "") {
    std::vector<LocalFileEntry> entries(1);   // a stale entry the scan must drop
    Scanner(linkBound).Scan(folder, rules, entries);
    return entries;
  }

  static std::string Names(const std::vector<LocalFileEntry>& entries) {
    std::string names;
    for (const LocalFileEntry& entry : entries) names += entry.GetBaseName() + (entry.IsProjectMember() ? "* " : " ");
    return names;
  }

  ScratchFolder scratch_;
  std::map<std::string, std::string> mapped_;
  std::map<std::string, std::vector<std::string>> documents_;
  std::vector<std::string> loaded_;
};

struct RuleCase {
  const char* folder;
  std::vector<FolderRule> inclusions;
  std::vector<FolderRule> exclusions;
  const char* expected;   // names in listing order, members starred
};

TEST_F(LocalFolderScanTest, RulesChooseTheEntries) {
  const RuleCase cases[] = {
      {"work", {}, {}, ""},
      {"work", {{4, ""}}, {}, ""},
      {"work", {{3, ""}}, {}, "Old.BAK Old.txt* big.bin readme.txt "},
      {"work", {{3, ""}}, {{8, "*.bak"}}, "Old.txt* big.bin readme.txt "},
      {"work", {{2, "Src/"}}, {}, "src* "},
      {"work", {{1, ""}}, {}, "build src* "},
      {"work/build", {{1, ""}, {3, ""}}, {{9, "Build"}}, "doc.txt "},
  };
  for (const RuleCase& c : cases) {
    FolderRuleSet rules;
    for (const FolderRule& rule : c.inclusions) rules.AddInclusion(rule);
    for (const FolderRule& rule : c.exclusions) rules.AddExclusion(rule);
    EXPECT_EQ(Names(Scan(scratch_ / c.folder, rules)), c.expected) << c.folder << " " << rules.ToRecordString();
  }
}

TEST_F(LocalFolderScanTest, DocumentsCarryTheirAttributes) {
  const std::time_t stamp = std::time(nullptr) - 86400;
  const struct timespec times[2] = {{stamp, 0}, {stamp, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (Work() + "/readme.txt").c_str(), times, 0), 0);
  FolderRuleSet rules;
  rules.AddInclusion(FolderRule::kAllDocuments, "");
  const std::vector<LocalFileEntry> entries = Scan(Work(), rules);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_TRUE(entries[1].IsReadOnly());
  EXPECT_FALSE(entries[3].IsReadOnly());
  EXPECT_EQ(entries[2].GetSize(), kFiveGiB);
  EXPECT_EQ(entries[3].GetSize(), 5);
  std::tm local{};
  ASSERT_NE(localtime_r(&stamp, &local), nullptr);
  char expected[16];
  std::strftime(expected, sizeof expected, "%Y%m%d%H%M%S", &local);
  EXPECT_EQ(entries[3].GetModified().Format(), expected);
  EXPECT_FALSE(entries[0].IsDirectory() || entries[0].IsCheckedOut());
  EXPECT_EQ(loaded_, std::vector<std::string>{"P1"});
}

TEST_F(LocalFolderScanTest, RootMappedFolderHasNoMemberDocuments) {
  FolderRuleSet rules;
  rules.AddInclusion(FolderRule::kAllDocuments, "");
  rules.AddInclusion(FolderRule::kAllFolders, "");
  for (const char* root : {"Root", ""}) {
    mapped_[Work()] = root;
    documents_[root] = {"Old.txt"};
    EXPECT_EQ(Names(Scan(Work(), rules)), "Old.BAK Old.txt big.bin build readme.txt src* ") << root;
  }
  EXPECT_TRUE(loaded_.empty());
}

TEST_F(LocalFolderScanTest, UnheldListMissingFolderAndEmptyPathGiveNoMembersOrNothing) {
  FolderRuleSet rules;
  rules.AddInclusion(FolderRule::kAllDocuments, "");
  documents_.clear();
  EXPECT_EQ(Names(Scan(Work(), rules)), "Old.BAK Old.txt big.bin readme.txt ");
  EXPECT_TRUE(Scan(scratch_ / "missing", rules).empty());
  EXPECT_TRUE(Scan("", rules).empty());
}

TEST_F(LocalFolderScanTest, LinkedFoldersAreFollowedWithinTheBoundAndNeverBackUpTheirPath) {
  // work/shared -> outside, work/build/up -> work, work/build/across -> work/src
  ASSERT_TRUE(fs::CreateFolder(scratch_ / "outside"));
  std::filesystem::create_directory_symlink(scratch_ / "outside", scratch_ / "work/shared");
  std::filesystem::create_directory_symlink(Work(), scratch_ / "work/build/up");
  std::filesystem::create_directory_symlink(Work() + "/src", scratch_ / "work/build/across");
  FolderRuleSet folders;
  folders.AddInclusion(FolderRule::kAllFolders, "");
  struct Case {
    const char* folder;
    std::string bound;
    const char* expected;
  };
  const Case cases[] = {
      {"work", "", "build src* "},
      {"work", scratch_.Path(), "build shared src* "},   // never "loop": it is work itself
      {"work", Work(), "build src* "},                    // "shared" leads out of the bound
      {"work/build", Work(), "across inner "},            // "up" leads back to work
      {"work/build/up", scratch_.Path(), "build shared src "},   // work again, seen through a link
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Names(Scan(scratch_ / c.folder, folders, c.bound)), c.expected) << c.folder << " in " << c.bound;
  }
}

}  // namespace
