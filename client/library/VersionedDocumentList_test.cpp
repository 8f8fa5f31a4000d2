#include "client/library/VersionedDocumentList.h"

#include <gtest/gtest.h>

#include "platform/ScratchFolder.h"

namespace {

DocumentVersionEntry Version(const std::string& name, std::int32_t number, const std::string& comment) {
  DocumentVersionEntry version;
  version.SetName(name);
  version.SetIndexName("WX_" + name);
  version.SetVersion(number);
  version.SetComment(comment);
  return version;
}

VersionedDocumentList Sample() {
  VersionedDocumentList list;
  list.SetProjectName("Main");
  list.SetProjectIndexName("WXPrName_1");
  VersionedDocument first;
  first.AddVersion(Version("a.txt", 2, "say \"hi\", then\nmore, \\"));
  first.AddVersion(Version("a.txt", 1, "first"));
  first.SetSelectedIndex(0);
  VersionedDocument second;
  second.AddVersion(Version("b.txt", 1, "plain"));
  list.Add(first);
  list.Add(second);
  return list;
}

std::string Text(const VersionedDocumentList& list) {
  std::string text;
  list.Write(text);
  return text;
}

TEST(VersionedDocumentListTest, WritesTheReplyLayout) {
  const std::string text = Text(Sample());
  EXPECT_EQ(text.substr(0, text.find('\n') + 1), "\"Main\",\"WXPrName_1\",2\n");
  EXPECT_NE(text.find("\n2,0\n\"a.txt\""), std::string::npos);
  EXPECT_NE(text.find("\n1,-1\n\"b.txt\""), std::string::npos);
}

TEST(VersionedDocumentListTest, WriteFileAndReadFileRoundTrip) {
  platform::ScratchFolder folder;
  const VersionedDocumentList written = Sample();
  ASSERT_TRUE(written.WriteFile(folder / "cacheWithVersions"));
  VersionedDocumentList read;
  ASSERT_TRUE(read.ReadFile(folder / "cacheWithVersions"));
  EXPECT_EQ(Text(read), Text(written));
  EXPECT_EQ(read.GetAt(0)->GetVersion(0)->GetComment(), "say \"hi\", then\nmore, \\");
  EXPECT_EQ(read.GetAt(1)->GetVersion(0)->GetName(), "b.txt");
  EXPECT_EQ(read.GetAt(2), nullptr);

  EXPECT_FALSE(read.ReadFile(folder / "missing"));
  EXPECT_EQ(read.GetCount(), 0);
  EXPECT_FALSE(written.WriteFile(folder / "no-such-folder/cache"));
}

TEST(VersionedDocumentListTest, TruncatedCacheKeepsTheDocumentsReadWhole) {
  const std::string text = Text(Sample());
  struct Case {
    std::string text;
    bool whole;
    int documents;
  };
  const Case cases[] = {
      {"", false, 0},
      {"\"Main\",\"WXPrName_1\",1000000\n1,0\n\"x\",\"WX\",1\n", false, 1},
      {text.substr(0, text.find("then")), false, 0},    // inside the first document's comment
      {text.substr(0, text.find("plain")), false, 1},   // inside the second document's comment
      {text.substr(0, text.find("1,-1")), false, 1},    // before the second document's count line
      {text, true, 2},
  };
  for (const Case& c : cases) {
    QuotedLines lines(c.text);
    VersionedDocumentList read;
    EXPECT_EQ(read.Read(lines), c.whole) << c.text;
    EXPECT_EQ(read.GetCount(), c.documents) << c.text;
  }
}

}  // namespace
