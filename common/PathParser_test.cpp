#include "common/PathParser.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "common/ServerPathContext.h"
#include "platform/Process.h"

namespace {

namespace stdfs = std::filesystem;

class PathParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/paths-parser-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    top_ = pattern;
    stdfs::create_directories(top_ + "/Lib/P1");
    std::ofstream(top_ + "/Lib/P1/file.doc") << "x";
  }
  void TearDown() override {
    ServerPathContext::Uninstall();
    stdfs::remove_all(top_);
  }

  // Walks `path` as the second path of a fresh parser.
  bool Walk(const std::string& path) {
    parser_ = PathParser();
    parser_.SetSecondPath(path);
    return parser_.WalkSecondPath();
  }

  void InstallServer(const std::string& root) {
    root_ = root;
    ServerPathContext::Install({[this] { return root_; }, [] { return 1; }});
  }

  // "<folder>/<filler>" where the filler makes the whole text exactly `length` bytes.
  static std::string PadTo(const std::string& folder, std::size_t length) {
    return folder + "/" + std::string(length - folder.size() - 1, 'f');
  }

  std::string top_;
  std::string root_;
  PathParser parser_;
};

TEST_F(PathParserTest, WalkToPresentOrMissingFileEndsInItsFolder) {
  EXPECT_TRUE(Walk(top_ + "/Lib/P1/file.doc"));
  EXPECT_EQ(parser_.CurrentFolder(), top_ + "/Lib/P1");
  EXPECT_TRUE(parser_.IsSecondPathFile());

  EXPECT_TRUE(Walk(top_ + "/Lib/P1/new.doc"));  // a file about to be made
  EXPECT_EQ(parser_.CurrentFolder(), top_ + "/Lib/P1");
  EXPECT_TRUE(parser_.IsSecondPathFile());
}

TEST_F(PathParserTest, WalkFailsThroughMissingFolderOrFileOrEmptyName) {
  EXPECT_FALSE(Walk(top_ + "/Lib/P2/file.doc"));
  EXPECT_EQ(parser_.CurrentFolder(), top_ + "/Lib");  // where the walk stopped
  EXPECT_FALSE(Walk(top_ + "/Lib/P1/file.doc/inner.doc"));
  EXPECT_FALSE(Walk(top_ + "/Lib//P1/file.doc"));
  EXPECT_FALSE(Walk("/no-such-top-folder-of-paths-tests/x"));
}

TEST_F(PathParserTest, WalkIntoFolderClearsFlagUnlessPathEndsInSeparator) {
  EXPECT_TRUE(Walk(top_ + "/Lib/P1"));
  EXPECT_EQ(parser_.CurrentFolder(), top_ + "/Lib/P1");
  EXPECT_FALSE(parser_.IsSecondPathFile());

  EXPECT_TRUE(Walk(top_ + "/Lib/P1/"));
  EXPECT_EQ(parser_.CurrentFolder(), top_ + "/Lib/P1");
  EXPECT_TRUE(parser_.IsSecondPathFile());
  EXPECT_EQ(parser_.GetSecondPathFileName(), "");
}

TEST_F(PathParserTest, WalkOfRootAndOfTopFolder) {
  EXPECT_TRUE(Walk("/"));
  EXPECT_EQ(parser_.CurrentFolder(), "/");
  EXPECT_TRUE(parser_.IsSecondPathFile());

  EXPECT_TRUE(Walk("/tmp"));
  EXPECT_EQ(parser_.CurrentFolder(), "/tmp");
  EXPECT_FALSE(parser_.IsSecondPathFile());
}

TEST_F(PathParserTest, RelativeWalkStartsFromWorkingFolder) {
  // Up from the working folder to "/", then down to the test folder.
  std::string up;
  for (const auto& part : stdfs::path(platform::WorkingFolder()).relative_path()) {
    if (!part.empty()) up += "../";
  }
  EXPECT_TRUE(Walk(up + top_.substr(1) + "/Lib/P1/file.doc"));
  EXPECT_TRUE(stdfs::equivalent(parser_.CurrentFolder(), top_ + "/Lib/P1"));
  EXPECT_TRUE(parser_.IsSecondPathFile());

  EXPECT_TRUE(Walk("missing-name-of-paths-tests.txt"));
  EXPECT_EQ(parser_.CurrentFolder(), platform::WorkingFolder());
}

TEST_F(PathParserTest, FileNameIsTextAfterLastSeparator) {
  parser_.SetSecondPath("/Lib/x.doc");
  EXPECT_EQ(parser_.GetSecondPathFileName(), "x.doc");
  parser_.SetSecondPath("x.doc");
  EXPECT_EQ(parser_.GetSecondPathFileName(), "x.doc");
}

TEST_F(PathParserTest, WalkFirstPathComesBackToWorkingFolder) {
  PathParser parser;
  parser.SetSecondPath(top_ + "/Lib/P1");
  ASSERT_TRUE(parser.WalkSecondPath());
  ASSERT_EQ(parser.CurrentFolder(), top_ + "/Lib/P1");
  EXPECT_TRUE(parser.WalkFirstPath());
  EXPECT_EQ(parser.CurrentFolder(), platform::WorkingFolder());

  parser.Reset();
  EXPECT_TRUE(parser.IsSecondPathFile());
  EXPECT_EQ(parser.GetSecondPathFileName(), "");
}

TEST_F(PathParserTest, SplitWithoutServerKeepsThePath) {
  const std::string deep = PadTo(top_, 230) + "/X/file.doc";
  parser_.SetSecondPath(deep);
  EXPECT_EQ(parser_.SplitSecondPath(), deep);
  parser_.SetSecondPath("A/B.txt");
  EXPECT_EQ(parser_.SplitSecondPath(), "A/B.txt");
  parser_.SetSecondPath("/file.doc");
  EXPECT_EQ(parser_.SplitSecondPath(), "/file.doc");
}

TEST_F(PathParserTest, SplitRedirectsOnlyPast200Bytes) {
  InstallServer(top_ + "/Root");
  const std::string x200 = PadTo(top_, 198) + "/X";  // 200 bytes up to and with X
  parser_.SetSecondPath(x200 + "/Y/file.doc");
  EXPECT_EQ(parser_.SplitSecondPath(), top_ + "/Root/MAX_PATH/Y/file.doc");
  EXPECT_TRUE(parser_.IsSecondPathFile());

  const std::string x201 = PadTo(top_, 199) + "/X";
  parser_.SetSecondPath(x201 + "/Y/file.doc");
  EXPECT_EQ(parser_.SplitSecondPath(), top_ + "/Root/MAX_PATH/X/Y/file.doc");

  parser_.SetSecondPath(x201 + "/");  // the last folder written with '/' is a component
  EXPECT_EQ(parser_.SplitSecondPath(), top_ + "/Root/MAX_PATH/X");
  parser_.SetSecondPath(x201);  // ... but a last name is never redirected
  EXPECT_EQ(parser_.SplitSecondPath(), x201);
}

TEST_F(PathParserTest, ServerWalkFindsDeepFoldersUnderTheRoot) {
  InstallServer(top_ + "/Root/");  // a trailing separator on the root changes nothing
  const std::string at200 = PadTo(top_, 200);
  stdfs::create_directories(at200);
  stdfs::create_directories(top_ + "/Root/MAX_PATH/X/Y");
  std::ofstream(top_ + "/Root/MAX_PATH/X/Y/file.doc") << "x";

  EXPECT_TRUE(Walk(at200 + "/X/Y/file.doc"));
  EXPECT_EQ(parser_.CurrentFolder(), top_ + "/Root/MAX_PATH/X/Y");
  EXPECT_TRUE(parser_.IsSecondPathFile());

  EXPECT_TRUE(Walk(at200 + "/X/Y"));
  EXPECT_EQ(parser_.CurrentFolder(), top_ + "/Root/MAX_PATH/X/Y");
  EXPECT_FALSE(parser_.IsSecondPathFile());

  EXPECT_FALSE(Walk(at200 + "/Z/file.doc"));  // Z is not under MAX_PATH
}

}  // namespace
