#include "server/store/ServerProject.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "common/RecordFields.h"
#include "platform/AtomicFile.h"

namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

DateTime Stamp(const std::string& digits) {
  DateTime value;
  value.Parse(digits);
  return value;
}

ServerProject Node(const std::string& name, const std::string& folder, const std::string& internal) {
  ServerProject node;
  node.SetName(name);
  node.SetFolderPath(folder);
  node.SetInternalName(internal);
  return node;
}

// Plans (original) > <E> 2024 (edition) > <S> May (supplement), plus a plain sibling.
ServerProject TwoLevelTree() {
  ServerProject plans = Node("Plans", "/lib/WXFiName_Hi1Lo2", "WXFiName_Hi1Lo2");
  plans.SetOriginalProject(true);

  ServerProject edition = Node("<E> 2024", "/lib/WXFiName_Hi1Lo2/WXFiName_Hi1Lo3", "WXFiName_Hi1Lo3");
  EditionRecord& record = edition.GetEdition();
  record.SetName("<E> 2024");
  record.SetInternalName("WXFiName_Hi1Lo3");
  record.SetCreationTime(Stamp("20240301123005"));
  record.SetComments("first \"cut\", with commas");
  record.SetCreator("ann");
  record.SetProjectName("Plans");
  record.SetProjectInternalName("WXFiName_Hi1Lo2");

  ServerProject supplement =
      Node("<S> May", "/lib/WXFiName_Hi1Lo2/WXFiName_Hi1Lo3/WXFiName_Hi1Lo4", "WXFiName_Hi1Lo4");
  SupplementRecord& extra = supplement.GetSupplement();
  extra.SetName("<S> May");
  extra.SetInternalName("WXFiName_Hi1Lo4");
  extra.SetCreationTime(Stamp("20240502080000"));
  extra.SetCreator("bob");
  extra.SetProjectInternalName("WXFiName_Hi1Lo2");
  extra.SetProjectName("Plans");
  extra.SetEditionInternalName("WXFiName_Hi1Lo3");
  extra.SetIncluded(false);

  EXPECT_EQ(edition.AddSubProject(supplement), ServerProject::kOk);
  EXPECT_EQ(plans.AddSubProject(edition), ServerProject::kOk);
  ServerProject drawings = Node("Drawings", "/lib/WXFiName_Hi1Lo2/WXFiName_Hi1Lo5", "WXFiName_Hi1Lo5");
  drawings.SetWithinSupplement(true);
  EXPECT_EQ(plans.AddSubProject(drawings), ServerProject::kOk);
  return plans;
}

// `levels` blocks, each the only sub-project of the one before.
std::string Chain(int levels) {
  const std::string children = levels > 1 ? "Start Sub Projects\n" + Chain(levels - 1) + "End Sub Projects\n" : "";
  return "Start Project\nL\n/lib/L\nL\n0\n0\n0\n" + children + "End Project\n";
}

std::string Block(const std::string& name, const std::string& folder, const std::string& internal) {
  return "Start Project\n" + name + "\n" + folder + "\n" + internal +
         "\n0\n0\n0\nStart Edition\n1030,1,\"\",\"\",\"00000000000000\",\"\",\"\",\"\",\"\"\nEnd Edition\n"
         "Start Supplement\n1020,1,\"\",\"\",\"00000000000000\",\"\",\"\",\"\",\"\",\"\",1\nEnd Supplement\n"
         "End Project\n";
}

class ServerProjectFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/wex-project-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    path_ = root_ + "/" + ServerProject::kInventoryFileName;
  }
  void TearDown() override {
    platform::AtomicFile::SetWriteHookForTesting(nullptr);
    for (int i = 0; i < loaded_.GetSize(); ++i) delete loaded_.GetAt(i);
    std::filesystem::remove_all(root_);
  }
  bool Load() { return ServerProject::ReadInventoryFile(path_, loaded_, fault_); }

  std::string root_;
  std::string fault_;
  std::string path_;
  PointerArray<ServerProject> loaded_;
};

TEST(ServerProjectTest, WritesTheBlockLayoutByteForByte) {
  ServerProject node = Node("  Plans ", "/lib/WXFiName_Hi1Lo2", "WXFiName_Hi1Lo2");
  std::ostringstream out;
  ASSERT_EQ(node.Write(out), ServerProject::kOk);
  EXPECT_EQ(out.str(), Block("Plans", "/lib/WXFiName_Hi1Lo2", "WXFiName_Hi1Lo2"));
}

TEST_F(ServerProjectFileTest, TwoLevelTreeIsByteIdenticalAfterWriteReadWrite) {
  std::unique_ptr<ServerProject> first = std::make_unique<ServerProject>(TwoLevelTree());
  std::unique_ptr<ServerProject> second = std::make_unique<ServerProject>(Node("Other", "/lib/B", "B"));
  PointerArray<ServerProject> projects;
  projects.Add(first.get());
  projects.Add(second.get());
  ASSERT_TRUE(ServerProject::WriteInventoryFile(path_, projects));
  const std::string written = ReadBytes(path_);

  ASSERT_TRUE(Load()) << fault_;
  ASSERT_EQ(loaded_.GetSize(), 2);
  const ServerProject& plans = *loaded_.GetAt(0);
  EXPECT_TRUE(plans.IsOriginalProject());
  ASSERT_EQ(plans.GetSubProjectCount(), 2);
  const ServerProject& edition = *plans.GetSubProjects().GetAt(0);
  EXPECT_TRUE(edition.HasEdition());
  EXPECT_EQ(edition.GetEdition().GetComments(), "first \"cut\", with commas");
  ASSERT_EQ(edition.GetSubProjectCount(), 1);
  const ServerProject& supplement = *edition.GetSubProjects().GetAt(0);
  EXPECT_TRUE(supplement.HasSupplement());
  EXPECT_FALSE(supplement.GetSupplement().IsIncluded());
  EXPECT_TRUE(plans.GetSubProjects().GetAt(1)->IsWithinSupplement());

  ASSERT_TRUE(ServerProject::WriteInventoryFile(path_, loaded_));
  EXPECT_EQ(ReadBytes(path_), written);
  EXPECT_EQ(loaded_.GetAt(0)->Encode(""), first->Encode(""));
}

TEST_F(ServerProjectFileTest, MarkersInOtherLetterCaseAndCommentLinesReadTheSame) {
  WriteBytes(path_,
             "! written by hand\n\n  start project\n  Mixed Case Name  \n/lib/A\nA\n1\n0\n0\n"
             "START SUB PROJECTS\nstart project\nChild\n/lib/A/C\nC\n0\n1\n0\n  END PROJECT\n"
             "end sub projects\n   \n! a remark\nStart edition\n"
             "1030,1,\"<E> x\",\"A\",\"20240301123005\",\"\",\"\",\"\",\"\"\n"
             "Start Supplement\n1020,1,\"\",\"\",\"00000000000000\",\"\",\"\",\"\",\"\",\"\",1\n"
             "  END PROJECT\n");
  ASSERT_TRUE(Load()) << fault_;
  ASSERT_EQ(loaded_.GetSize(), 1);
  const ServerProject& node = *loaded_.GetAt(0);
  EXPECT_EQ(node.GetName(), "Mixed Case Name");
  EXPECT_TRUE(node.IsOriginalProject());
  ASSERT_EQ(node.GetSubProjectCount(), 1);
  EXPECT_TRUE(node.GetSubProjects().GetAt(0)->IsWithinEdition());
  EXPECT_EQ(node.GetEdition().GetName(), "<E> x");  // no "End Edition" before "Start Supplement"
}

TEST_F(ServerProjectFileTest, EmptyAndMissingFilesGiveAnEmptyTree) {
  ASSERT_TRUE(Load()) << fault_;  // missing: created empty
  EXPECT_EQ(loaded_.GetSize(), 0);
  EXPECT_TRUE(std::filesystem::is_regular_file(path_));
  EXPECT_EQ(ReadBytes(path_), "");
}

TEST_F(ServerProjectFileTest, DamagedBlockLoadsNothingSaysWhyAndLeavesTheFileAlone) {
  const std::string good = Block("One", "/lib/1", "I1") + Block("Two", "/lib/2", "I2");
  const struct {
    std::string tail;
    const char* fault;
  } cases[] = {
      {"Start Project\nThree\n/lib/3\n", "top-level project 3 ends before"},
      {"Three\n/lib/3\n", "top-level project 3 does not begin with"},
      {"Start Project\nThree\n/lib/3\nI3\n0\n0\n0\nsomething else\n", "top-level project 3 does not end with"},
      {std::string(kMaxRecordLineLength + 1, 'x') + "\n", "top-level project 3 holds a line longer than"},
      {Chain(ServerProject::kMaxTreeDepth + 1), "top-level project 3 nests sub-projects deeper than"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    WriteBytes(path_, good + c.tail);
    EXPECT_FALSE(Load());
    EXPECT_NE(fault_.find(c.fault), std::string::npos) << fault_;
    EXPECT_EQ(loaded_.GetSize(), 0);
    EXPECT_TRUE(ReadBytes(path_) == good + c.tail) << "the file is left as it was";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root_), {}), 1) << "no other file written";
  }
}

TEST_F(ServerProjectFileTest, TreeAtTheDepthLimitRoundTripsAndADeeperOneIsNotWritten) {
  WriteBytes(path_, Chain(ServerProject::kMaxTreeDepth));
  ASSERT_TRUE(Load()) << fault_;
  ASSERT_EQ(loaded_.GetSize(), 1);
  ASSERT_TRUE(ServerProject::WriteInventoryFile(path_, loaded_));
  const std::string written = ReadBytes(path_);

  ServerProject* deepest = loaded_.GetAt(0);
  while (deepest->HasSubProjects()) deepest = deepest->GetSubProject(0);
  ASSERT_EQ(deepest->AddSubProject(Node("L", "/lib/L", "L")), ServerProject::kOk);
  EXPECT_FALSE(ServerProject::WriteInventoryFile(path_, loaded_));
  EXPECT_EQ(ReadBytes(path_), written);
}

TEST_F(ServerProjectFileTest, EditionCommentWithLineBreaksSurvivesAReload) {
  ServerProject node = Node("<E> 1", "/lib/E", "E");
  node.GetEdition().SetInternalName("E");
  node.GetEdition().SetComments("line one\r\nline two\nthree");
  node.GetSupplement().SetComments("s\rt");
  PointerArray<ServerProject> projects;
  projects.Add(&node);
  ASSERT_TRUE(ServerProject::WriteInventoryFile(path_, projects));
  const std::string bytes = ReadBytes(path_);
  EXPECT_EQ(bytes.find('\r'), std::string::npos);
  EXPECT_NE(bytes.find("line one\x01\x02line two\x02three"), std::string::npos);

  ASSERT_TRUE(Load()) << fault_;
  ASSERT_EQ(loaded_.GetSize(), 1);
  EXPECT_EQ(loaded_.GetAt(0)->GetEdition().GetComments(), "line one\r\nline two\nthree");
  EXPECT_EQ(loaded_.GetAt(0)->GetSupplement().GetComments(), "s\rt");
  // The reply form carries the record exactly as the record encodes it.
  EXPECT_NE(loaded_.GetAt(0)->Encode("").find("\"line one\r\nline two\nthree\""), std::string::npos);
}

TEST_F(ServerProjectFileTest, LineBreakInANameFailsTheSaveAndKeepsTheOldFile) {
  WriteBytes(path_, "previous");
  ServerProject child = Node("Child", "/lib/A/C", "C");
  ServerProject node = Node("A", "/lib/A", "A");
  ASSERT_EQ(node.AddSubProject(child), ServerProject::kOk);
  node.GetSubProject(0)->SetName("Two\nlines");
  std::ostringstream out;
  EXPECT_EQ(node.Write(out), ServerProject::kWriteFailed);
  PointerArray<ServerProject> projects;
  projects.Add(&node);
  EXPECT_FALSE(ServerProject::WriteInventoryFile(path_, projects));
  EXPECT_EQ(ReadBytes(path_), "previous");

  ServerProject creator = Node("B", "/lib/B", "B");
  creator.GetEdition().SetCreator("x\ny");
  std::ostringstream other;
  EXPECT_EQ(creator.Write(other), ServerProject::kWriteFailed);
}

TEST_F(ServerProjectFileTest, FailedReplaceReportsFailure) {
  ServerProject node = Node("A", "/lib/A", "A");
  PointerArray<ServerProject> projects;
  projects.Add(&node);
  platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; });
  EXPECT_FALSE(ServerProject::WriteInventoryFile(path_, projects));
}

TEST(ServerProjectTest, FailedStreamGivesWriteFailure) {
  ServerProject node = Node("A", "/lib/A", "A");
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  EXPECT_EQ(node.Write(out), ServerProject::kWriteFailed);
}

TEST(ServerProjectTest, ReadReportsEachFailureCode) {
  const struct {
    std::string text;
    int expected;
  } cases[] = {
      {"", ServerProject::kReadFailed},
      {"Name\n", ServerProject::kMissingStart},
      {"Start Project\nA\n/lib/A\nA\n0\n0\n", ServerProject::kReadFailed},
      {"Start Project\nA\n/lib/A\nA\n0\n0\n0\nStart Edition\n! remark\n", ServerProject::kReadFailed},
      {"Start Project\nA\n/lib/A\nA\n0\n0\n0\nStart Edition\nEnd Project\n", ServerProject::kReadFailed},
      {"Start Project\nA\n/lib/A\nA\n0\n0\n0\nEnd Sub Projects\n", ServerProject::kMissingEnd},
      {"Start Project\nA\n/lib/A\nA\n0\n0\n0\nEnd Project\n", ServerProject::kOk},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::istringstream in(c.text);
    ServerProject node;
    EXPECT_EQ(node.Read(in, ""), c.expected);
  }
}

TEST(ServerProjectTest, AddSubProjectChecksNamePathAndInternalNameInOrder) {
  ServerProject parent = Node("P", "/lib/P", "P");
  int index = 7;
  EXPECT_EQ(parent.AddSubProject(Node(" ", "", ""), index), ServerProject::kEmptyName);
  EXPECT_EQ(index, -1);
  EXPECT_EQ(parent.AddSubProject(Node("C", "", "")), ServerProject::kEmptyFolderPath);
  EXPECT_EQ(parent.AddSubProject(Node("C", "/lib/P/C", "")), ServerProject::kEmptyInternalName);
  EXPECT_EQ(parent.AddSubProject(Node("C", "/lib/P/C", "C"), index), ServerProject::kOk);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(parent.AddSubProject(Node("D", "/lib/P/D", "D"), index), ServerProject::kOk);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(parent.GetSubProject(2), &parent);
  EXPECT_EQ(parent.GetSubProject(-1), &parent);
  EXPECT_EQ(parent.GetSubProject(1)->GetName(), "D");
}

TEST(ServerProjectTest, CopiesAreDeepAndAssignmentFromOwnChildWorks) {
  ServerProject tree = TwoLevelTree();
  ServerProject copy = tree;
  copy.GetSubProject(0)->SetName("changed");
  EXPECT_EQ(tree.GetSubProject(0)->GetName(), "<E> 2024");

  tree = *tree.GetSubProject(0);  // the source lives inside the target
  EXPECT_EQ(tree.GetName(), "<E> 2024");
  ASSERT_EQ(tree.GetSubProjectCount(), 1);
  EXPECT_EQ(tree.GetSubProject(0)->GetName(), "<S> May");

  tree.Clear();
  EXPECT_EQ(tree.GetSubProjectCount(), 0);
  EXPECT_FALSE(tree.HasEdition());
}

TEST(ServerProjectTest, EncodeSendsTheSubtreeInPreOrder) {
  ServerProject plans = Node("Plans", "/lib/P", "WXFiName_Hi1Lo2");
  plans.SetOriginalProject(true);
  ASSERT_EQ(plans.AddSubProject(Node("A", "/lib/P/A", "IA")), ServerProject::kOk);
  ASSERT_EQ(plans.AddSubProject(Node("B", "/lib/P/B", "IB")), ServerProject::kOk);
  const std::string records =
      "1030,1,\"\",\"\",\"00000000000000\",\"\",\"\",\"\",\"\"\n"
      "1020,1,\"\",\"\",\"00000000000000\",\"\",\"\",\"\",\"\",\"\",1\n";
  EXPECT_EQ(plans.Encode("x\n"), "x\n\"Plans\",\"WXFiName_Hi1Lo2\",2,1,0,0\n" + records +
                                     "\"A\",\"IA\",0,0,0,0\n" + records + "\"B\",\"IB\",0,0,0,0\n" + records);
}

}  // namespace
