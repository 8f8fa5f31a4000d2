#include "client/document/HeldWorkingCopies.h"

#include <gtest/gtest.h>

#include "platform/ScratchFolder.h"

namespace {

// Only a file in the folder of a document the user holds is a working copy.
TEST(HeldWorkingCopies, FindsOnlyFilesOfDocumentsTheUserHolds) {
  platform::ScratchFolder folder;
  ProjectDocumentList list;
  for (const auto& [name, holder] :
       {std::pair{"mine.txt", "ann"}, {"missing.txt", "ann"}, {"bobs.txt", "bob"}, {"free.txt", ""}, {"..", "ann"}}) {
    DocumentVersionEntry entry;
    entry.SetName(name);
    entry.SetCheckedOutTo(holder);
    list.Add(entry);
    if (std::string(name) != "missing.txt" && std::string(name) != "..") folder.Put(name, "x");
  }
  const std::vector<std::string> names = {"free.txt", "bobs.txt", "..", "missing.txt", "mine.txt", "other.txt"};
  struct Case {
    std::string user;
    std::string folder;
    std::vector<std::string> found;
  };
  for (const Case& c : {Case{"ann", folder.Path(), {"mine.txt"}}, Case{"bob", folder.Path() + "/", {"bobs.txt"}},
                        Case{"carol", folder.Path(), {}}, Case{"", folder.Path(), {}}, Case{"ann", "", {}}}) {
    SCOPED_TRACE(c.user + " in " + c.folder);
    EXPECT_EQ(HeldWorkingCopies::Find(list, c.user, c.folder, names), c.found);
  }
}

}  // namespace
