// Fetching one chosen version through a running server: the caller hears where the
// file went, byte for byte the stored version, or "" when it did not come.
#include "client/document/VersionDeliveries.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/fs.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;
namespace fs = platform::fs;

class VersionDeliveriesTest : public ClientLibraryTest {
 protected:
  void SetUp() override {
    ClientLibraryTest::SetUp();
    plans_ = NewProject("", "Plans");
    AddDocument(plans_, kName, "version one\n");
    AddVersion(plans_, kName, std::string("version two\0\xff\n", 14), "second");
    AddVersion(plans_, kName, "version three\n", "third");
    doc_ = OpenReady("0");
    ASSERT_NE(doc_, nullptr);
    doc_->SetInformationHook([this](const std::string& text) { boxes_.push_back(text); });
    ASSERT_TRUE(PassUntil([&] { return doc_->GetProjectTree().FindProjectByPath(plans_) != nullptr; }));
  }
  // Fetches `version` into `folder`; what the caller heard, none when it heard nothing.
  std::optional<std::string> Fetch(std::int32_t version, const std::string& folder) {
    std::optional<std::string> heard;
    if (!doc_->SendGetVersion(plans_, kName, version, folder, [&](const std::string& path) { heard = path; })) {
      return std::nullopt;
    }
    EXPECT_TRUE(PassUntil([&] { return heard.has_value(); })) << version;
    return heard;
  }

  static constexpr const char* kName = "notes.txt";
  std::string plans_;
  CBrannockDoc* doc_ = nullptr;
  std::vector<std::string> boxes_;
};

TEST_F(VersionDeliveriesTest, AChosenVersionArrivesByteForByteReadOnlyInTheChosenFolder) {
  const struct {
    std::int32_t version;
    std::string content;
  } cases[] = {
      {2, std::string("version two\0\xff\n", 14)},
      {1, "version one\n"},
      {0, "version three\n"},   // below 1: the latest
  };
  const std::string chosen = folder_.Path() + "/chosen/deeper";
  for (const auto& c : cases) {
    const std::optional<std::string> path = Fetch(c.version, chosen);
    ASSERT_EQ(path, chosen + "/" + kName) << c.version;
    std::string bytes;
    ASSERT_TRUE(fs::ReadWholeFile(*path, bytes));
    EXPECT_EQ(bytes, c.content) << c.version;
    EXPECT_TRUE(fs::IsReadOnly(*path)) << c.version;
  }
  const ProjectNode* node = doc_->GetProjectTree().FindProjectByPath(plans_);
  EXPECT_FALSE(fs::Exists(node->GetLocalFolder() + "/" + kName)) << "the project's folder is left alone";
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(VersionDeliveriesTest, AVersionTheLibraryDoesNotHoldIsHeardAsNothing) {
  EXPECT_EQ(Fetch(9, folder_.Path() + "/chosen"), std::string());
  EXPECT_FALSE(fs::Exists(folder_.Path() + "/chosen/" + kName));
  EXPECT_EQ(doc_->SendGetVersion(plans_, "../escape", 1, folder_.Path(), [](const std::string&) {}), false);
}

}  // namespace
