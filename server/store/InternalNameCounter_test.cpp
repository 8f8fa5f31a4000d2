#include "server/store/InternalNameCounter.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/ScratchFolder.h"
#include "platform/fs.h"

namespace {

class InternalNameCounterTest : public ::testing::Test {
 protected:
  std::string FileText() const { return platform::ScratchFolder::Read(path_); }
  void WriteFile(const std::string& text) const { scratch_.Put(InternalNameCounter::kFileName, text); }

  platform::ScratchFolder scratch_;
  std::string path_ = scratch_ / InternalNameCounter::kFileName;
};

TEST_F(InternalNameCounterTest, NewLibraryStartsAtOneOneAndHandsOutInOrder) {
  InternalNameCounter counter(path_);
  ASSERT_TRUE(counter.Load(true));
  EXPECT_EQ(FileText(), "1,1");
  EXPECT_EQ(counter.Generate(), "WXFiName_Hi1Lo1");
  EXPECT_EQ(counter.Generate(), "WXFiName_Hi1Lo2");
  EXPECT_EQ(FileText(), "1,3");
}

TEST_F(InternalNameCounterTest, ExistingFileIsKeptEvenForALibraryWithoutProjects) {
  WriteFile("4,17");
  InternalNameCounter counter(path_);
  ASSERT_TRUE(counter.Load(true));
  EXPECT_EQ(counter.Generate(), "WXFiName_Hi4Lo17");
  EXPECT_EQ(FileText(), "4,18");
}

TEST_F(InternalNameCounterTest, MissingOrDamagedFileFailsWhenProjectsExist) {
  InternalNameCounter counter(path_);
  EXPECT_FALSE(counter.Load(false));
  EXPECT_FALSE(platform::fs::Exists(path_));  // nothing created
  WriteFile("3,0");
  EXPECT_FALSE(counter.Load(false));
  WriteFile("");
  EXPECT_FALSE(counter.Load(true));  // an existing file is never reset
  EXPECT_EQ(FileText(), "");
}

TEST_F(InternalNameCounterTest, LowCounterWrapsToOneWithHighPlusOne) {
  WriteFile("1,2147483646");
  InternalNameCounter counter(path_);
  ASSERT_TRUE(counter.Load(false));
  EXPECT_EQ(counter.Generate(), "WXFiName_Hi1Lo2147483646");
  EXPECT_EQ(FileText(), "1,2147483647");
  EXPECT_EQ(counter.Generate(), "WXFiName_Hi1Lo2147483647");
  EXPECT_EQ(FileText(), "2,1");
  EXPECT_EQ(counter.Generate(), "WXFiName_Hi2Lo1");
}

TEST_F(InternalNameCounterTest, LastPairIsNeverHandedOutTwice) {
  WriteFile("2147483647,2147483647");
  InternalNameCounter counter(path_);
  ASSERT_TRUE(counter.Load(false));
  EXPECT_EQ(counter.Generate(), "");
  EXPECT_EQ(counter.Generate(), "");
}

TEST_F(InternalNameCounterTest, DeletedFileMakesNamesEmptyWhileCountersAdvance) {
  InternalNameCounter counter(path_);
  ASSERT_TRUE(counter.Load(true));
  ASSERT_TRUE(platform::fs::DeleteFile(path_));
  EXPECT_EQ(counter.Generate(), "");
  EXPECT_EQ(counter.GetLow(), 2);
  EXPECT_FALSE(platform::fs::Exists(path_));
}

}  // namespace
