#include "server/store/CheckedOutIndex.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string kA = "/lib/P/WXFiName_Hi1Lo1_FileStatistics.wxf";
const std::string kB = "/lib/P/WXFiName_Hi1Lo2_FileStatistics.wxf";

FileStatistics Record(const std::string& holder) {
  FileEntry version;
  version.SetVersion(1);
  version.SetCheckedOutTo(holder);
  FileStatistics statistics;
  statistics.AddVersion(version);
  return statistics;
}

std::set<std::string> Listed(const CheckedOutIndex& index) {
  std::set<std::string> paths;
  for (const CheckedOutIndex::Candidate& candidate : index.Candidates()) paths.insert(candidate.path);
  return paths;
}

CheckedOutIndex::Candidate CandidateOf(const CheckedOutIndex& index, const std::string& path) {
  for (const CheckedOutIndex::Candidate& candidate : index.Candidates()) {
    if (candidate.path == path) return candidate;
  }
  return {path, 0};
}

TEST(CheckedOutIndexTest, ListsWhatWritersAndWalksMayHaveLeftCheckedOut) {
  CheckedOutIndex index;
  const struct {
    const char* step;
    std::function<void()> act;
    std::set<std::string> listed;
  } steps[] = {
      {"saved with a holder", [&] { index.Saved(kA, Record("ann")); }, {kA}},
      {"saved without one", [&] { index.Saved(kA, Record("")); }, {}},
      {"dropped unsaved", [&] { index.Dropped(kB); }, {kB}},
      {"a file list dropped", [&] { index.Dropped("/lib/P/WXFiName_Hi1Lo0_ProjectFileList.wxf"); }, {kB}},
      {"cleared by a reader", [&] { index.Cleared(CandidateOf(index, kB)); }, {}},
      {"found by a walk", [&] { index.Found(kA); }, {kA}},
  };
  for (const auto& step : steps) {
    step.act();
    EXPECT_EQ(Listed(index), step.listed) << step.step;
  }
}

TEST(CheckedOutIndexTest, AReaderClearsNothingAWriterTouchedAfterItLooked) {
  CheckedOutIndex index;
  index.Found(kA);
  const CheckedOutIndex::Candidate looked = CandidateOf(index, kA);
  index.Saved(kA, Record("bob"));
  index.Cleared(looked);
  EXPECT_EQ(Listed(index), std::set<std::string>{kA});
}

TEST(CheckedOutIndexTest, TheWholeLibraryIsUnreadFirstThenOnlyFoldersWhoseRecordsMoved) {
  CheckedOutIndex index;
  bool everything = false;
  index.DroppedBelow("/lib/P/");
  EXPECT_TRUE(index.TakeUnread(everything).empty());
  EXPECT_TRUE(everything);
  index.DroppedBelow("/lib/Q/");
  EXPECT_EQ(index.TakeUnread(everything), std::vector<std::string>{"/lib/Q/"});
  EXPECT_FALSE(everything);
  index.MarkUnread({"/lib/R/"}, false);   // a walk that stopped early
  EXPECT_EQ(index.TakeUnread(everything), std::vector<std::string>{"/lib/R/"});
  EXPECT_TRUE(index.TakeUnread(everything).empty());
}

}  // namespace
