#include "client/records/FolderRuleSet.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <sstream>

// Every plain allocation of this test program is counted, so that a test can
// compare the bytes an operation allocates for inputs of different sizes.
namespace {
std::atomic<std::size_t> allocatedBytes{0};

void* Allocate(std::size_t size) {
  allocatedBytes += size;
  return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

void* operator new(std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

FolderRuleSet Sample() {
  FolderRuleSet set;
  set.AddInclusion(FolderRule::kAllDocuments, "");
  set.AddInclusion(FolderRule::kFoldersNamed, "Src/");
  set.AddExclusion(FolderRule::kNoDocumentsNamed, "*.bak");
  return set;
}

constexpr const char* kSampleRecord =
    "1010,1,2,1\n1000,1,3,\"\"\n1000,1,2,\"Src/\"\n1000,1,8,\"*.bak\"\n";

TEST(FolderRuleSetTest, DuplicatesAreDroppedCaseSensitively) {
  FolderRuleSet set;
  EXPECT_TRUE(set.AddInclusion(FolderRule::kDocumentsNamed, "a.txt"));
  EXPECT_FALSE(set.AddInclusion(FolderRule::kDocumentsNamed, "a.txt"));
  EXPECT_TRUE(set.AddInclusion(FolderRule::kDocumentsNamed, "A.txt"));
  EXPECT_FALSE(set.AddExclusion(FolderRule::kNoFoldersNamed, "x\ny"));
  EXPECT_EQ(set.GetInclusionCount(), 2);
  EXPECT_EQ(set.GetExclusionCount(), 0);

  set.RemoveInclusion(FolderRule::kDocumentsNamed, "A.TXT");
  EXPECT_EQ(set.GetInclusionCount(), 2);
  set.RemoveInclusion(FolderRule::kDocumentsNamed, "a.txt");
  ASSERT_EQ(set.GetInclusionCount(), 1);
  EXPECT_EQ(set.GetInclusion(0).GetParameter(), "A.txt");
}

TEST(FolderRuleSetTest, RecordIsByteExactAndRoundTrips) {
  EXPECT_EQ(Sample().ToRecordString(), kSampleRecord);
  EXPECT_EQ(Sample().ToRecordString("x"), std::string("x,") + kSampleRecord);

  FolderRuleSet read;
  EXPECT_EQ(read.FromRecordString(std::string(kSampleRecord) + "next"), "next");
  EXPECT_EQ(read, Sample());

  std::istringstream in(kSampleRecord);
  FolderRuleSet streamed;
  ASSERT_TRUE(streamed.Read(in));
  EXPECT_EQ(streamed, Sample());
}

// Bytes allocated to save a set of `count` rules and read it back in both forms.
std::size_t BytesToSaveAndRead(int count) {
  FolderRuleSet set;
  for (int i = 0; i < count; ++i) set.AddInclusion(FolderRule::kDocumentsNamed, "*." + std::to_string(i));
  const std::size_t before = allocatedBytes;
  std::ostringstream out;
  EXPECT_TRUE(set.Write(out));
  std::istringstream in(out.str());
  FolderRuleSet streamed;
  EXPECT_TRUE(streamed.Read(in));
  FolderRuleSet fromText;
  EXPECT_EQ(fromText.FromRecordString(set.ToRecordString()), "");
  const std::size_t bytes = allocatedBytes - before;
  EXPECT_EQ(streamed, set);
  EXPECT_EQ(fromText, set);
  return bytes;
}

TEST(FolderRuleSetTest, TwentyThousandRulesSaveAndReadInLinearBytes) {
  const std::size_t small = BytesToSaveAndRead(2000);
  const std::size_t large = BytesToSaveAndRead(20000);
  EXPECT_LT(large, 20 * small) << small << " bytes for 2000 rules, " << large << " for 20000";
}

TEST(FolderRuleSetTest, ForeignRecordLeavesTheSetEmptyAndTheTextUnchanged) {
  FolderRuleSet set = Sample();
  const std::string foreign = "1000,1,3,\"\"\n";
  EXPECT_EQ(set.FromRecordString(foreign), foreign);
  EXPECT_EQ(set, FolderRuleSet());

  std::istringstream in(foreign);
  EXPECT_FALSE(set.Read(in));
}

TEST(FolderRuleSetTest, HugeCountsStopAtTheFirstLineThatIsNoRule) {
  FolderRuleSet set;
  const std::string text = "1010,1,2147483647,2147483647\n1000,1,3,\"\"\n1030,1,\"<E> x\"\n";
  EXPECT_EQ(set.FromRecordString(text), "1030,1,\"<E> x\"\n");
  ASSERT_EQ(set.GetInclusionCount(), 1);
  EXPECT_EQ(set.GetExclusionCount(), 0);

  std::istringstream in(text);
  EXPECT_FALSE(set.Read(in));
  std::string next;
  std::getline(in, next);
  EXPECT_EQ(next, "1030,1,\"<E> x\"");   // the next record is not eaten
}

TEST(FolderRuleSetTest, NegativeCountsReadNoRule) {
  FolderRuleSet set;
  EXPECT_EQ(set.FromRecordString("1010,1,-1,-5\n1000,1,3,\"\"\n"), "1000,1,3,\"\"\n");
  EXPECT_EQ(set, FolderRuleSet());
}

TEST(FolderRuleSetTest, ExclusionsWinAndFoldersNeedAFolderInclusion) {
  FolderRuleSet set;
  set.AddInclusion(FolderRule::kAllDocuments, "");
  set.AddExclusion(FolderRule::kNoDocumentsNamed, "*.bak");
  EXPECT_FALSE(set.Keeps("/data", "Old.BAK", false));
  EXPECT_TRUE(set.Keeps("/data", "Old.txt", false));
  EXPECT_FALSE(set.Keeps("/data", "sub", true));
}

TEST(FolderRuleSetTest, FolderPatternIgnoresTrailingSeparatorAndCase) {
  FolderRuleSet set;
  set.AddInclusion(FolderRule::kFoldersNamed, "Src/");
  EXPECT_TRUE(set.Keeps("/proj/", "src", true));
  EXPECT_FALSE(set.Keeps("/proj/", "lib", true));
  EXPECT_FALSE(set.Keeps("/proj/", "src", false));

  FolderRuleSet byPath;
  byPath.AddInclusion(FolderRule::kFoldersNamed, "/proj/s*/");
  EXPECT_TRUE(byPath.Keeps("/proj", "sources", true));
}

TEST(FolderRuleSetTest, SubFoldersOfNamedFoldersAreExcludedButTheirDocumentsJudged) {
  FolderRuleSet set;
  set.AddInclusion(FolderRule::kAllFolders, "");
  set.AddInclusion(FolderRule::kAllDocuments, "");
  set.AddExclusion(FolderRule::kNoSubFoldersOfFoldersNamed, "Build");
  EXPECT_FALSE(set.Keeps("/proj/build/", "obj", true));
  EXPECT_TRUE(set.Keeps("/proj/build", "out.txt", false));
  EXPECT_TRUE(set.Keeps("/proj", "build", true));   // the folder itself stays
}

TEST(FolderRuleSetTest, UnusedTypeFourAndEmptySetsKeepNothing) {
  FolderRuleSet set;
  EXPECT_FALSE(set.Keeps("/d", "a.txt", false));
  set.AddInclusion(4, "*");
  EXPECT_FALSE(set.Keeps("/d", "a.txt", false));
  EXPECT_FALSE(set.Keeps("/d", "sub", true));
}

TEST(FolderRuleSetTest, AllSubFoldersExclusionLeavesDocuments) {
  FolderRuleSet set;
  set.AddInclusion(FolderRule::kAllFolders, "");
  set.AddInclusion(FolderRule::kDocumentsNamed, "*.doc");
  set.AddExclusion(FolderRule::kNoFolders, "");
  EXPECT_FALSE(set.Keeps("/d", "sub", true));
  EXPECT_TRUE(set.Keeps("/d", "a.DOC", false));
  EXPECT_FALSE(set.Keeps("/d", "a.txt", false));
}

}  // namespace
