#include "client/link/RequestBodies.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/ScratchFolder.h"

namespace {

using Bodies = RequestBodies;

// Texts that need quoting: a doubled quote, a comma and a raw line feed.
const std::string kProject = "Pro \"one\", two";
const std::string kName = "a \"b\", c.txt";
const std::string kComment = "line one\nline \"two\", end";
const std::string kQuotedProject = "\"Pro \"\"one\"\", two\"";
const std::string kQuotedName = "\"a \"\"b\"\", c.txt\"";
const std::string kQuotedComment = "\"line one\nline \"\"two\"\", end\"";

TEST(RequestBodies, EveryBodyIsExactToTheByte) {
  const std::vector<Bodies::DocumentVersion> versions{{kName, 3}, {"d", 12}};
  const std::vector<Bodies::FileRow> files{{kName, 5, kComment}, {"d", 0, ""}};
  const std::vector<Bodies::ReferenceRow> references{{kName, 2, "WXP1", kComment}, {"d", 1, kProject, ""}};
  const struct {
    std::string body;
    std::string expected;
  } cases[] = {
      {Bodies::RefreshProjects(), ""},
      {Bodies::AddProject("WXP1", kProject), "\"WXP1\"," + kQuotedProject + "\n"},
      {Bodies::AddProject("", "x"), "\"\",\"x\"\n"},
      {Bodies::ListDocuments(kProject), kQuotedProject + "\n"},
      {Bodies::AddDocuments("/home/a,b", kProject, files),
       "\"/home/a,b\"," + kQuotedProject + ",2\n" + kQuotedName + ",5," + kQuotedComment + "\n\"d\",0,\"\"\n"},
      {Bodies::AddDocuments("/f", "P", {}), "\"/f\",\"P\",0\n"},
      {Bodies::GetDocuments(kProject, versions), kQuotedProject + ",2\n" + kQuotedName + ",3\n\"d\",12\n"},
      {Bodies::GetDocuments("P", {}), "\"P\",0\n"},
      {Bodies::CheckOutDocuments("P", versions, true, false), "\"P\",2,1,0\n" + kQuotedName + ",3\n\"d\",12\n"},
      {Bodies::CheckOutDocuments("P", {}, false, true), "\"P\",0,0,1\n"},
      {Bodies::CheckInDocuments("/f", kProject, files),
       "\"/f\"," + kQuotedProject + ",2\n" + kQuotedName + ",5," + kQuotedComment + "\n\"d\",0,\"\"\n"},
      {Bodies::ListVersions(kProject), kQuotedProject + "\n"},
      {Bodies::CreateEdition("WXP1", kName, kComment), "\"WXP1\"," + kQuotedName + "," + kQuotedComment + "\n"},
      {Bodies::CreateEdition("Root", "E", ""), "\"\",\"E\",\"\"\n"},
      {Bodies::CreateEdition("root", "E", ""), "\"root\",\"E\",\"\"\n"},
      {Bodies::AddOriginalProject("WXP1", kProject), "\"WXP1\"," + kQuotedProject + "\n"},
      {Bodies::AddOriginalReferences("WXE1", references),
       "\"WXE1\",2\n" + kQuotedName + ",2,\"WXP1\"," + kQuotedComment + "\n\"d\",1," + kQuotedProject + ",\"\"\n"},
      {Bodies::AddOriginalReferences("WXE1", {}), "\"WXE1\",0\n"},
      {Bodies::GetOriginalDocuments("WXP1"), "\"WXP1\"\n"},
      {Bodies::AddDocumentReferences("WXP2", references),
       "\"WXP2\",2\n" + kQuotedName + ",2,\"WXP1\"," + kQuotedComment + ",1\n\"d\",1," + kQuotedProject + ",\"\",1\n"},
      {Bodies::DeleteProject("WXP1", "WXP2"), "\"WXP1\",\"WXP2\"\n"},
      {Bodies::DeleteDocuments("WXP1", {"WXF1", kName}), "\"WXP1\",2\n\"WXF1\"\n" + kQuotedName + "\n"},
      {Bodies::RenameProject("WXP1", kProject), "\"WXP1\"," + kQuotedProject + "\n"},
      {Bodies::RenameDocument("WXP1", "WXF1", kName), "\"WXP1\",\"WXF1\"," + kQuotedName + "\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.body, c.expected);
}

TEST(RequestBodies, FilePathAddsOneSeparatorOnlyWhereNeeded) {
  EXPECT_EQ(Bodies::FilePath("/a/b", "c"), "/a/b/c");
  EXPECT_EQ(Bodies::FilePath("/a/b/", "c"), "/a/b/c");
  EXPECT_EQ(Bodies::FilePath("", "c"), "c");
}

TEST(RequestBodies, OnlyReadableRegularFilesBelowTwoGibibytesCanBeSent) {
  platform::ScratchFolder folder;
  const std::string base = folder.Path() + "/";
  std::ofstream(base + "five", std::ios::binary) << "12345";
  std::ofstream(base + "empty", std::ios::binary);
  const auto sparse = [&](const std::string& name, std::uintmax_t size) {
    std::ofstream(base + name, std::ios::binary);
    std::filesystem::resize_file(base + name, size);
    return base + name;
  };
  EXPECT_EQ(Bodies::SendableFileSize(base + "five"), 5);
  EXPECT_EQ(Bodies::SendableFileSize(base + "empty"), 0);
  EXPECT_EQ(Bodies::SendableFileSize(sparse("largest", 0x7FFFFFFFull)), 0x7FFFFFFF);
  EXPECT_EQ(Bodies::SendableFileSize(sparse("two-gib", 0x80000000ull)), std::nullopt);
  EXPECT_EQ(Bodies::SendableFileSize(sparse("five-gib", 5ull << 30)), std::nullopt);
  EXPECT_EQ(Bodies::SendableFileSize(base + "missing"), std::nullopt);
  EXPECT_EQ(Bodies::SendableFileSize(folder.Path()), std::nullopt);
}

}  // namespace
