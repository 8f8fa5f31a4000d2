#include "client/document/FileComparison.h"

#include <gtest/gtest.h>

#include "platform/ScratchFolder.h"

namespace {

TEST(FileComparisonTest, ComparesEveryBlock) {
  platform::ScratchFolder scratch;
  const std::string bytes(200000, 'x');   // four blocks, the last one short
  const std::string same = scratch.Put("same", bytes);
  const std::string lastDiffers = scratch.Put("last", bytes.substr(0, bytes.size() - 1) + "y");
  const std::string shorter = scratch.Put("shorter", bytes.substr(1));
  EXPECT_TRUE(FilesHaveSameContent(scratch.Put("a", bytes), same));
  EXPECT_TRUE(FilesHaveSameContent(scratch.Put("empty1", ""), scratch.Put("empty2", "")));
  EXPECT_FALSE(FilesHaveSameContent(same, lastDiffers));
  EXPECT_FALSE(FilesHaveSameContent(same, shorter));
  EXPECT_FALSE(FilesHaveSameContent(same, scratch / "missing"));
}

}  // namespace
