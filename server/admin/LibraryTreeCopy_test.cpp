#include "server/admin/LibraryTreeCopy.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "server/store/StoreChange.h"
#include "server/store/StoreTestLibrary.h"

namespace {

namespace stdfs = std::filesystem;

class LibraryTreeCopyTest : public StoreTestLibrary {
 protected:
  // A root of two project folders, one inside the other, each with a record and a
  // version file, every folder dated well before the copy starts.
  void BuildRoot() {
    Plant(tree_ + "/WXUsers.wxf", "users");
    Plant(tree_ + "/P1/1Lo1_FileStatistics.wxf", "statistics one");
    Plant(tree_ + "/P1/1Lo1Ver1.wxf", "version one");
    Plant(tree_ + "/P1/P2/2Lo1_FileStatistics.wxf", "statistics two");
    Plant(tree_ + "/P1/P2/2Lo1Ver1.wxf", "version two");
    const struct timespec past[2] = {{::time(nullptr) - 60, 0}, {::time(nullptr) - 60, 0}};
    for (const std::string folder : {"", "/P1", "/P1/P2"}) {
      ASSERT_EQ(::utimensat(AT_FDCWD, (tree_ + folder).c_str(), past, 0), 0);
    }
  }
  static void Replace(const std::string& path, const std::string& content) {
    Plant(path + ".new", content);
    stdfs::rename(path + ".new", path);
  }
  // An append as the library's writers make it; the folder keeps its time.
  static void AppendByTheLibrary(const std::string& tree, const std::string& file, const std::string& bytes) {
    StoreChange change(tree + "/../journal");
    ASSERT_TRUE(change.AppendFile(tree + file, bytes));
    ASSERT_TRUE(change.Commit());
  }

  std::string tree_ = scratch_ / "tree";
  std::string copy_ = scratch_ / "copy";
};

TEST_F(LibraryTreeCopyTest, ALaterPassTakesEveryChangeMadeSinceTheOneBefore) {
  const struct {
    const char* change;
    std::function<void(const std::string&)> make;
  } cases[] = {
      {"record replaced", [](const std::string& t) { Replace(t + "/P1/1Lo1_FileStatistics.wxf", "statistics new"); }},
      {"record grown in place by the library",
       [](const std::string& t) { AppendByTheLibrary(t, "/P1/1Lo1_FileStatistics.wxf", " and more"); }},
      {"root record grown in place by the library",
       [](const std::string& t) { AppendByTheLibrary(t, "/WXUsers.wxf", " and more users"); }},
      {"root record replaced", [](const std::string& t) { Replace(t + "/WXUsers.wxf", "other users"); }},
      {"version added", [](const std::string& t) { Plant(t + "/P1/P2/2Lo1Ver2.wxf", "version two, second"); }},
      {"version removed", [](const std::string& t) { stdfs::remove(t + "/P1/1Lo1Ver1.wxf"); }},
      {"version made again under its name",
       [](const std::string& t) { Replace(t + "/P1/1Lo1Ver1.wxf", "another version one"); }},
      {"project added", [](const std::string& t) { Plant(t + "/P3/3Lo1Ver1.wxf", "version three"); }},
      {"project removed", [](const std::string& t) { stdfs::remove_all(t + "/P1/P2"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.change);
    stdfs::remove_all(tree_);
    stdfs::remove_all(copy_);
    BuildRoot();
    LibraryTreeCopy copy(tree_, copy_);
    ASSERT_EQ(copy.Pass(), "");
    ASSERT_EQ(copy.Pass(), "");
    c.make(tree_);
    ASSERT_EQ(copy.Pass(), "");
    EXPECT_EQ(Files(copy_), Files(tree_));
  }
}

}  // namespace
