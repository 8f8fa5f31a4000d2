#include "client/library/ProjectDocumentList.h"

#include <gtest/gtest.h>

#include "platform/ScratchFolder.h"

namespace {

DocumentVersionEntry Entry(const std::string& name, const std::string& comment) {
  DocumentVersionEntry entry;
  entry.SetName(name);
  entry.SetIndexName("WX_" + name);
  entry.SetVersion(2);
  entry.SetComment(comment);
  return entry;
}

ProjectDocumentList Sample(std::size_t longComment = 10000) {
  ProjectDocumentList list;
  list.SetProjectName("Main");
  list.SetProjectIndexName("WXPrName_1");
  // Quotes, commas, a line feed and a final backslash: the next entry must stay whole.
  list.Add(Entry("a.txt", "say \"hi\", then\nmore, \\"));
  list.Add(Entry("b.txt", std::string(longComment, 'c')));
  return list;
}

std::vector<std::string> Lines(const ProjectDocumentList& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.GetCount(); ++i) lines.push_back(list.GetAt(i)->Encode());
  return lines;
}

// Line 1 of the reply body is the header; a short second row reads its missing fields
// as empty. Lines ended CR LF read the same.
TEST(ProjectDocumentListTest, DecodesTheReplyBody) {
  for (const std::string end : {"\n", "\r\n"}) {
    QuotedLines body("\"Main\",\"WXPrName_1\",2" + end +
                     "\"a.txt\",\"WXF1\",1,10,\"ann\",\"20040301123005\",\"x\",\"\",\"00000000000000\",0,0,1" + end +
                     "\"b.txt\",\"WXF2\",4" + end);
    ProjectDocumentList list;
    ASSERT_TRUE(list.DecodeLines(body));
    EXPECT_EQ(list.GetProjectName(), "Main");
    EXPECT_EQ(list.GetProjectIndexName(), "WXPrName_1");
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetAt(0)->GetComment(), "x");
    EXPECT_TRUE(list.GetAt(0)->IsOriginalEdition());
    EXPECT_EQ(list.GetAt(1)->GetVersion(), 4);
    EXPECT_EQ(list.GetAt(1)->GetFileSize(), 0);
    EXPECT_EQ(list.GetAt(2), nullptr);
  }
}

TEST(ProjectDocumentListTest, CountNeverReadsPastTheRowsPresent) {
  QuotedLines body("\"Main\",\"WXP\",1000000\n\"a\",\"WA\",1\n\"b\",\"WB\",1\n");
  ProjectDocumentList list;
  EXPECT_FALSE(list.DecodeLines(body));
  EXPECT_EQ(list.GetCount(), 2);
  QuotedLines negative("\"Main\",\"WXP\",-5\n\"a\",\"WA\",1\n");
  EXPECT_TRUE(list.DecodeLines(negative));
  EXPECT_EQ(list.GetCount(), 0);
}

TEST(ProjectDocumentListTest, WriteFileAndReadFileRoundTrip) {
  platform::ScratchFolder folder;
  const ProjectDocumentList written = Sample();
  ASSERT_TRUE(written.WriteFile(folder / "cache"));
  EXPECT_EQ(platform::ScratchFolder::Read(folder / "cache"), written.Encode());

  ProjectDocumentList read;
  ASSERT_TRUE(read.ReadFile(folder / "cache"));
  EXPECT_EQ(read.GetProjectName(), "Main");
  EXPECT_EQ(Lines(read), Lines(written));
  EXPECT_EQ(read.GetAt(0)->GetComment(), "say \"hi\", then\nmore, \\");

  EXPECT_FALSE(read.ReadFile(folder / "missing"));
  EXPECT_EQ(read.GetCount(), 2);
  EXPECT_FALSE(written.WriteFile(folder / "no-such-folder/cache"));
}

// Every cut of a cache reads only whole rows, each equal to what was written.
TEST(ProjectDocumentListTest, TruncatedCacheKeepsOnlyTheRowsPresent) {
  const ProjectDocumentList written = Sample(8);
  const std::string text = written.Encode();
  const std::vector<std::string> rows = Lines(written);
  for (std::size_t cut = 0; cut < text.size(); ++cut) {
    QuotedLines lines(text.substr(0, cut));
    ProjectDocumentList read;
    const bool whole = read.DecodeLines(lines);
    ASSERT_LE(read.GetCount(), 2) << cut;
    EXPECT_EQ(whole, read.GetCount() == 2) << cut;
    for (int i = 0; i + 1 < read.GetCount(); ++i) EXPECT_EQ(read.GetAt(i)->Encode(), rows[static_cast<std::size_t>(i)]);
  }
  platform::ScratchFolder folder;
  const std::string path = folder.Put("cache", text.substr(0, text.find("cccc")));
  ProjectDocumentList read;
  EXPECT_TRUE(read.ReadFile(path));
  EXPECT_EQ(Lines(read), std::vector<std::string>{rows[0]});
}

}  // namespace
