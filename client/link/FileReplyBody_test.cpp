#include "client/link/FileReplyBody.h"

#include <gtest/gtest.h>

namespace {

TEST(FileReplyBody, ReadsTheWireRowsAndRewritesThemWithTemporaryPaths) {
  std::optional<FileReplyBody> body =
      FileReplyBody::Parse("\"WXFiName_Hi0Lo3\",3,\"a.txt\",2,1,10\n\"b, \"\"c\"\".txt\",1,0,0\n\"d.txt\",4,1,0\n");
  ASSERT_TRUE(body);
  ASSERT_EQ(body->rows.size(), 3u);
  EXPECT_EQ(body->rows[1].name, "b, \"c\".txt");
  EXPECT_FALSE(body->rows[1].flagged);
  body->rows[0].temporaryPath = "/w/TemporaryFiles/TemporaryFile_1.wxf";
  body->rows[2].temporaryPath = "/w/TemporaryFiles/TemporaryFile_2.wxf";
  EXPECT_EQ(body->Rewrite(),
            "\"WXFiName_Hi0Lo3\",3\n"
            "\"a.txt\",2,1,\"/w/TemporaryFiles/TemporaryFile_1.wxf\",10\n"
            "\"b, \"\"c\"\".txt\",1,0,\"\",0\n"
            "\"d.txt\",4,1,\"/w/TemporaryFiles/TemporaryFile_2.wxf\",0\n");
}

TEST(FileReplyBody, CountsOnlyTheRowsCarried) {
  std::optional<FileReplyBody> empty = FileReplyBody::Parse("\"P\",0");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->Rewrite(), "\"P\",0\n");
  std::optional<FileReplyBody> oneOfAMillion = FileReplyBody::Parse("\"P\",1000000,\"a\",1,1,5\n");
  ASSERT_TRUE(oneOfAMillion);
  EXPECT_EQ(oneOfAMillion->rows.size(), 1u);
  EXPECT_EQ(oneOfAMillion->Rewrite(), "\"P\",1\n\"a\",1,1,\"\",5\n");
}

TEST(FileReplyBody, RefusesBodiesWhoseFilesCannotBeFramed) {
  for (const char* wire : {"\"P\",1,\"a\",1,1,-1\n", "\"P\",1,\"a\",1,1\n", "\"P\",1,\"a\",1\n", "\"P\",-1",
                           "\"P\",1,\"a\",1,1,5\n\"b\",1,1,5\n"}) {
    EXPECT_FALSE(FileReplyBody::Parse(wire)) << wire;
  }
  EXPECT_TRUE(FileReplyBody::Parse("\"P\",1,\"a\",1,0\n"));  // no bytes follow: no size needed
}

}  // namespace
