#include "client/link/FileRequestBody.h"

#include <gtest/gtest.h>

namespace {

TEST(FileRequestBody, StripsTheFolderAndNamesTheCountedFiles) {
  std::optional<FileRequestBody> request =
      FileRequestBody::Parse("\"/home/u/docs\",\"WXFiName_Hi0Lo3\",2\n\"a.txt\",10,\"why, \"\"so\"\"\"\n"
                             "\"b.txt\",0,\"why, \"\"so\"\"\"\n");
  ASSERT_TRUE(request);
  EXPECT_EQ(request->wireBody,
            "\"WXFiName_Hi0Lo3\",2\n\"a.txt\",10,\"why, \"\"so\"\"\"\n\"b.txt\",0,\"why, \"\"so\"\"\"\n");
  ASSERT_EQ(request->files.size(), 2u);
  EXPECT_EQ(request->files[0].path, "/home/u/docs/a.txt");
  EXPECT_EQ(request->files[0].size, 10);
  EXPECT_EQ(request->files[1].path, "/home/u/docs/b.txt");
}

TEST(FileRequestBody, RefusesWhatTheServerCouldNotFrame) {
  for (const char* queued : {"\"/d\",\"P\",2\n\"a\",1,\"\"\n", "\"/d\",\"P\",1\n\"a\",-1,\"\"\n",
                             "\"/d\",\"P\",1\n\"a\",1\n", "\"\",\"P\",0\n", "\"/d\",\"P\",-2\n",
                             "\"/d\",\"P\",1000000\n\"a\",1,\"\"\n"}) {
    EXPECT_FALSE(FileRequestBody::Parse(queued)) << queued;
  }
}

}  // namespace
