#include "server/store/RecordLines.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>

#include "common/EditionRecord.h"
#include "common/RecordFields.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/store/FileStatistics.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ServerProject.h"

namespace {

constexpr int kEof = 777;

FileStatistics Document(const std::string& owner, const std::string& comments, const std::string& link) {
  FileEntry version;
  version.SetName("doc");
  version.SetInternalFileName("WXFiName_Hi0Lo1");
  version.SetVersion(1);
  version.SetAuthor("ann");
  version.SetComments(comments);
  if (!link.empty()) version.AddLink(link);
  FileStatistics document;
  document.SetOwnerProject(owner);
  document.AddVersion(version);
  document.SetHeader(version);
  return document;
}

FileStatistics LoadedDocument(const std::string& path) {
  FileStatistics document;
  int lines = 0;
  EXPECT_EQ(document.Load(path, lines), 0);
  return document;
}

bool SaveInventory(const std::string& path, const std::string& name, const std::string& editionComments) {
  ServerProject node;
  node.SetName(name);
  node.SetFolderPath("/lib/A");
  node.SetInternalName("A");
  node.GetEdition().SetComments(editionComments);
  PointerArray<ServerProject> projects;
  projects.Add(&node);
  return ServerProject::WriteInventoryFile(path, projects);
}

ServerProject LoadedInventoryNode(const std::string& path) {
  PointerArray<ServerProject> loaded;
  std::string fault;
  EXPECT_TRUE(ServerProject::ReadInventoryFile(path, loaded, fault)) << fault;
  ServerProject node = loaded.GetSize() == 1 ? *loaded.GetAt(0) : ServerProject();
  for (int i = 0; i < loaded.GetSize(); ++i) delete loaded.GetAt(i);
  return node;
}

}  // namespace

TEST(RecordLinesTest, AcceptsEveryLineEndingAndSkipsBlankAndCommentLines) {
  std::istringstream in("first\n  \r\r\n ! a comment\r\nsecond\r\n\nthird\r\r\n  last  ");
  int lines = 0;
  int result = -1;
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), "first");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), "second");
  EXPECT_EQ(lines, 4);
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), "third");
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), "last");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), "");
  EXPECT_EQ(result, kEof);
  EXPECT_EQ(lines, 7);
}

TEST(RecordLinesTest, OnlyCommentsReadsAsEndOfFile) {
  std::istringstream in("! one\r\r\n\r\r\n!two");
  int lines = 0;
  int result = 0;
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), "");
  EXPECT_EQ(result, kEof);
}

TEST(RecordLinesTest, ReadsLongLinesWholeUpToTheCap) {
  const std::string longLine(100000, 'x');
  std::istringstream in(longLine + "\r\r\nnext\r\r\n");
  int lines = 0;
  int result = 0;
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), longLine);
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), "next");

  std::istringstream tooLong(std::string(kMaxRecordLineLength + 1, 'y') + "\nnext\n");
  EXPECT_EQ(ReadRecordLine(tooLong, lines, kEof, result), "");
  EXPECT_EQ(result, kEof);
  EXPECT_EQ(ReadRecordLine(tooLong, lines, kEof, result), "") << "a failed stream stays failed";
}

TEST(RecordLinesTest, TextToIntFollowsAtoiAndSaturates) {
  EXPECT_EQ(RecordTextToInt("42"), 42);
  EXPECT_EQ(RecordTextToInt("  -7xyz"), -7);
  EXPECT_EQ(RecordTextToInt("+3"), 3);
  EXPECT_EQ(RecordTextToInt("abc"), 0);
  EXPECT_EQ(RecordTextToInt(""), 0);
  EXPECT_EQ(RecordTextToInt("99999999999999999999"), INT_MAX);
  EXPECT_EQ(RecordTextToInt("-99999999999999999999"), INT_MIN);
  EXPECT_EQ(RecordTextToInt("-2147483648"), INT_MIN);
}

TEST(RecordLinesTest, WritersTakeWhatTheReadersTakeAndRefuseMoreWritingNothing) {
  using Path = const std::string&;
  using Value = const std::string&;
  const std::size_t room = kMaxRecordLineLength - (kRecordLineEnd.size() - 1);  // the CRs count against the cap
  const struct {
    const char* what;
    std::size_t room;
    std::function<bool(Path, Value)> save;
    std::function<std::string(Path)> load;
  } cases[] = {
      {"version comments", room - std::strlen("COMMENTS="),
       [](Path path, Value value) { return Document("P", value, "").Save(path) == 0; },
       [](Path path) { return LoadedDocument(path).GetVersion(0).GetComments(); }},
      {"owner project", room, [](Path path, Value value) { return Document(value, "", "").Save(path) == 0; },
       [](Path path) { return LoadedDocument(path).GetOwnerProject(); }},
      {"referencing project", room, [](Path path, Value value) { return Document("P", "", value).Save(path) == 0; },
       [](Path path) { return LoadedDocument(path).GetVersion(0).GetLinkAt(0).GetName(); }},
      {"file list value", room,
       [](Path path, Value value) {
         ProjectFileList list;
         return list.Add("doc", value) && list.Save(path);
       },
       [](Path path) { return ProjectFileList(path).Lookup("doc"); }},
      {"inventory name", kMaxRecordLineLength, [](Path path, Value value) { return SaveInventory(path, value, ""); },
       [](Path path) { return LoadedInventoryNode(path).GetName(); }},
      {"edition comments", kMaxRecordLineLength - (EditionRecord().Encode("").size() - 1),
       [](Path path, Value value) { return SaveInventory(path, "A", value); },
       [](Path path) { return LoadedInventoryNode(path).GetEdition().GetComments(); }},
  };
  platform::ScratchFolder folder;
  for (const auto& c : cases) {
    for (const std::size_t extra : {0, 1}) {
      SCOPED_TRACE(std::string(c.what) + (extra == 0 ? " at the limit" : " past it"));
      const std::string path = folder / (c.what + std::to_string(extra));
      const std::string value(c.room + extra, 'v');
      ASSERT_EQ(c.save(path, value), extra == 0);
      if (extra == 0) {
        EXPECT_TRUE(c.load(path) == value);
      } else {
        EXPECT_FALSE(platform::fs::Exists(path));
      }
    }
  }
}
