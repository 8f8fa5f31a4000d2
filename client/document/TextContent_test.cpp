#include "client/document/TextContent.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/ScratchFolder.h"

namespace {

TEST(TextContentTest, TextIsUtf8WithoutNulAndACutSampleMayEndMidCharacter) {
  using namespace std::string_literals;
  const std::string euro = "\xe2\x82\xac";
  const struct {
    const char* what;
    std::string bytes;
    bool cut;
    bool text;
  } cases[] = {
      {"empty", "", false, true},
      {"plain lines", "one\r\ntwo\n\ttab", false, true},
      {"multi-byte characters", "price " + euro + " 5", false, true},
      {"a NUL byte", "a\0b"s, false, false},
      {"a stray continuation byte", "a\x80", false, false},
      {"a lead byte not followed on", "a\xc3" "b", false, false},
      {"a character cut by the file's end", "a\xe2\x82", false, false},
      {"a character cut by the sample's end", "a\xe2\x82", true, true},
      {"bytes of a picture", "\x89PNG\r\n\x1a\n\0\0"s, false, false},
  };
  for (const auto& c : cases) EXPECT_EQ(TextContent::IsText(c.bytes, c.cut), c.text) << c.what;

  platform::ScratchFolder folder;
  EXPECT_TRUE(TextContent::IsTextFile(folder.Put("a.txt", "text\n")));
  EXPECT_FALSE(TextContent::IsTextFile(folder.Put("a.bin", "\0\1"s)));
  EXPECT_FALSE(TextContent::IsTextFile(folder.Path() + "/missing"));
}

}  // namespace
