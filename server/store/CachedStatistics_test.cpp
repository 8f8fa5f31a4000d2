#include "server/store/CachedStatistics.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "server/store/RecordArena.h"

namespace {

FileStatistics Document(const std::vector<int>& versionNumbers) {
  FileStatistics document;
  document.SetOwnerProject("WXFiName_Hi0Lo3");
  for (const int number : versionNumbers) {
    FileEntry version;
    version.SetName("Plan.txt");
    version.SetInternalFileName("WXFiName_Hi0Lo7");
    version.SetVersion(number);
    version.SetAuthor("anna");
    version.SetComments("draft " + std::to_string(document.GetVersionCount()) + "\nit's done");
    version.SetFileSize(100 * number);
    document.AddVersion(version);
  }
  if (!versionNumbers.empty()) document.SetHeader(document.GetVersion(document.GetVersionCount() - 1));
  return document;
}

}  // namespace

// The rows are those the record encodes, and the record read back is the one the text holds.
TEST(CachedStatisticsTest, ServesTheRowsAndTheRecordOfItsText) {
  struct Case {
    const char* what;
    std::vector<int> versions;
  };
  const ArenaAllocator<char> allocator(std::make_shared<RecordArena>());
  for (const Case& c : std::vector<Case>{{"one version", {1}},
                                         {"the latest in the middle", {1, 3, 2}},
                                         {"the first of two with the same number", {2, 2}}}) {
    const FileStatistics document = Document(c.versions);
    std::string text;
    ASSERT_EQ(document.Encode(text), 0) << c.what;
    const CachedStatistics cached(document, text, allocator);
    std::string latestRow;
    const int latest = document.GetLatestVersionIndex();
    if (latest >= 0) document.GetVersion(latest).EncodeRow(latestRow);
    EXPECT_EQ(cached.LatestRow(), latestRow) << c.what;
    EXPECT_EQ(cached.VersionRows(), document.EncodeVersions()) << c.what;
    const std::shared_ptr<const FileStatistics> read = cached.Statistics();
    ASSERT_NE(read, nullptr) << c.what;
    std::string readText;
    EXPECT_EQ(read->Encode(readText), 0) << c.what;
    EXPECT_EQ(readText, text) << c.what;
    EXPECT_GE(cached.Bytes(), text.size() + cached.VersionRows().size()) << c.what;
  }
  const CachedStatistics unreadable(Document({1}), "Start FileStatistics\r\r\n", allocator);
  EXPECT_EQ(unreadable.Statistics(), nullptr);
}
