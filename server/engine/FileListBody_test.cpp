#include "server/engine/FileListBody.h"

#include <gtest/gtest.h>

namespace {

TEST(FileListBody, RequestRoundTripsWithTemporaryPaths) {
  FileRequest request;
  ASSERT_EQ(FileRequestError::None,
            ParseFileRequest("\"WXP\",2\n\"a b.txt\",0,\"x\"\n\"c.txt\",12,\"two\r\nlines\"\n", request));
  ASSERT_EQ(2u, request.files.size());
  EXPECT_EQ("WXP", request.field1);
  EXPECT_EQ(12, request.files[1].size);
  request.files[0].temporaryPath = "/t/Temp7_1.wxf";
  request.files[1].temporaryPath = "/t/Temp7_2.wxf";
  const std::string body = BuildFileRequestBody(request);
  EXPECT_EQ("\"WXP\",2\n\"a b.txt\",0,\"x\",\"/t/Temp7_1.wxf\"\n\"c.txt\",12,\"two\r\nlines\",\"/t/Temp7_2.wxf\"\n", body);
  EXPECT_EQ((std::vector<std::string>{"/t/Temp7_1.wxf", "/t/Temp7_2.wxf"}), TemporaryPathsOf(body));
}

TEST(FileListBody, MalformedRequestsNameTheirReason) {
  FileRequest request;
  EXPECT_EQ(FileRequestError::Empty1, ParseFileRequest("", request));
  EXPECT_EQ(FileRequestError::Empty2, ParseFileRequest("\"WXP\"", request));
  EXPECT_EQ(FileRequestError::Empty3, ParseFileRequest("\"WXP\",2\n\"a\",1,\"c\"\n", request));
  EXPECT_EQ(FileRequestError::Empty4, ParseFileRequest("\"WXP\",1\n\"a\"\n", request));
  EXPECT_EQ(FileRequestError::Empty5, ParseFileRequest("\"WXP\",1\n\"a\",1\n", request));
  EXPECT_EQ(FileRequestError::BadCount, ParseFileRequest("\"WXP\",-1\n", request));
  EXPECT_EQ(FileRequestError::BadSize, ParseFileRequest("\"WXP\",1\n\"a\",-5,\"c\"\n", request));
  EXPECT_EQ(FileRequestError::BadSize, ParseFileRequest("\"WXP\",1\n\"a\",,\"c\"\n", request));
}

TEST(FileListBody, WireReplyDropsServerPathsAndCountsRealRows) {
  std::string field1;
  std::vector<OutgoingFile> files;
  ParseFileReply("\"WXP\",3\n\"a.txt\",2,1,\"/lib/x\",10\n\"b.txt\",4,0,\"\",0\n", field1, files);
  ASSERT_EQ(2u, files.size());
  EXPECT_EQ("/lib/x", files[0].serverPath);
  EXPECT_TRUE(files[0].send);
  EXPECT_EQ("\"WXP\",2,\"a.txt\",2,1,10\n\"b.txt\",4,0,0\n", BuildWireFileReply(field1, files));
}

}  // namespace
