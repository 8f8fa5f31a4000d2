#include "client/rules/LocalFileRow.h"

#include <gtest/gtest.h>

#include "platform/NumberLocale.h"

namespace {

TEST(LocalFileRowTest, TextsAndImagesOfEachKindOfRow) {
  struct Case {
    const char* name;
    bool folder, member, readOnly;
    std::int64_t size;
    platform::NumberLocale locale;
    int image;
    const char* texts;  // the columns joined by '|', the time shown as '*'
  };
  const Case cases[] = {
      {"..", true, false, false, 0, {3, ","}, LocalFileRow::kParentImage, "Up to Parent Directory|||||"},
      {".", true, false, false, 0, {3, ","}, LocalFileRow::kChooseImage, "Choose Directory|||||"},
      {"sub", true, true, false, 0, {3, ","}, LocalFileRow::kMappedFolderImage, "sub|||||Project Member"},
      {"plain", true, false, true, 0, {3, ","}, LocalFileRow::kFolderImage, "plain|||||"},
      {"e.txt", false, false, false, 0, {3, ","}, LocalFileRow::kFileImage, "e.txt|*|Write Enabled||0 Bytes|"},
      {"k.txt",
       false,
       true,
       true,
       1000,
       {3, "."},
       LocalFileRow::kMemberImage,
       "k.txt|*|Read Only||1.000 Bytes|Project Member"},
      {"g.txt", false, false, true, 1000, {4, "."}, LocalFileRow::kFileImage, "g.txt|*|Read Only||1000 Bytes|"},
      {"big",
       false,
       false,
       false,
       5LL << 30,
       {3, ","},
       LocalFileRow::kFileImage,
       "big|*|Write Enabled||5,368,709,120 Bytes|"},
  };
  for (const Case& c : cases) {
    LocalFileEntry entry;
    entry.SetAll(c.name, "", c.readOnly, c.member, c.folder, -1, false);
    entry.SetSize(c.size);
    platform::SetNumberLocaleForTesting([&] { return c.locale; });
    const LocalFileRow row = LocalFileRow::Of(entry);
    std::string texts;
    for (std::size_t i = 0; i < row.texts.size(); ++i) {
      texts += (i == 0 ? "" : "|") + (i == 1 && !row.texts[i].empty() ? std::string("*") : row.texts[i]);
    }
    EXPECT_EQ(texts, c.texts) << c.name;
    EXPECT_EQ(row.image, c.image) << c.name;
  }
  platform::SetNumberLocaleForTesting(nullptr);
}

}  // namespace
