#include "server/store/ActiveFileLink.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "server/store/LimitedOutput_test.h"

namespace {

int ReadFrom(const std::string& text, ActiveFileLink& links) {
  std::istringstream in(text);
  int lines = 0;
  return links.Read(in, lines, "");
}

}  // namespace

TEST(ActiveFileLinkTest, AddingAndRemovingCountsPerProject) {
  ActiveFileLink links;
  links.AddLink("WXFiName_Hi0Lo2");
  links.AddLink("WXFiName_Hi0Lo5");
  links.AddLink("WXFiName_Hi0Lo2");
  links.AddLink("WXFiName_Hi0Lo2");
  ASSERT_EQ(links.GetCount(), 2);
  EXPECT_EQ(links.GetAt(0).GetName(), "WXFiName_Hi0Lo2");
  EXPECT_EQ(links.GetAt(0).GetCount(), 3);

  links.AddLink("wxfiname_hi0lo2");
  EXPECT_EQ(links.GetCount(), 3) << "names compare with case";

  for (int i = 0; i < 3; ++i) links.RemoveLink("WXFiName_Hi0Lo2");
  ASSERT_EQ(links.GetCount(), 2);
  EXPECT_EQ(links.GetAt(0).GetName(), "WXFiName_Hi0Lo5");
  links.RemoveLink("WXFiName_Hi0Lo2");
  links.RemoveLink("unknown");
  EXPECT_EQ(links.GetCount(), 2);
  EXPECT_EQ(links.GetAt(5).GetName(), "");
}

TEST(ActiveFileLinkTest, WritesSectionByteExactAndReadsItBack) {
  ActiveFileLink links;
  std::ostringstream empty;
  ASSERT_EQ(links.Write(empty), 0);
  EXPECT_EQ(empty.str(), "Start ActiveFileLink\r\r\nEnd ActiveFileLink\r\r\n");

  links.AddLink("A");
  links.AddLink("B");
  links.AddLink("B");
  std::ostringstream out;
  ASSERT_EQ(links.Write(out), 0);
  EXPECT_EQ(out.str(),
            "Start ActiveFileLink\r\r\n"
            "Start ActiveFileLinkEntry\r\r\nA\r\r\n1\r\r\nFalse\r\r\nEnd ActiveFileLinkEntry\r\r\n"
            "Start ActiveFileLinkEntry\r\r\nB\r\r\n2\r\r\nFalse\r\r\nEnd ActiveFileLinkEntry\r\r\n"
            "End ActiveFileLink\r\r\n");

  ActiveFileLink back;
  back.AddLink("stale");
  ASSERT_EQ(ReadFrom(out.str(), back), 0);
  ASSERT_EQ(back.GetCount(), 2);
  EXPECT_EQ(back.GetAt(0).GetName(), "A");
  EXPECT_EQ(back.GetAt(1).GetCount(), 2);
}

TEST(ActiveFileLinkTest, ReadCodes) {
  ActiveFileLink links;
  EXPECT_EQ(ReadFrom("Start FileEntry\r\r\n", links), ActiveFileLink::kStartMissing);
  EXPECT_EQ(ReadFrom("", links), ActiveFileLink::kEndOfFile);
  EXPECT_EQ(ReadFrom("Start ActiveFileLink\r\r\n", links), ActiveFileLink::kEndOfFile);
  const std::string entry = "Start ActiveFileLinkEntry\r\r\nA\r\r\n1\r\r\nFalse\r\r\nEnd ActiveFileLinkEntry\r\r\n";
  EXPECT_EQ(ReadFrom("Start ActiveFileLink\r\r\n" + entry, links), ActiveFileLinkEntry::kEndOfFile);
  EXPECT_EQ(ReadFrom("Start ActiveFileLink\r\r\n" + entry + "End FileEntry\r\r\n", links),
            ActiveFileLinkEntry::kStartMissing)
      << "the list's end marker is missing";
}

TEST(ActiveFileLinkTest, WriteFailuresAreReported) {
  ActiveFileLink links;
  links.AddLink("A");
  LimitedOutput atStart(5);
  EXPECT_EQ(links.Write(atStart.Stream()), ActiveFileLink::kNotWritable);
  LimitedOutput inEntry(30);
  EXPECT_EQ(links.Write(inEntry.Stream()), ActiveFileLinkEntry::kNotWritable);
  std::ostringstream full;
  ASSERT_EQ(links.Write(full), 0);
  LimitedOutput atEnd(full.str().size() - 1);
  EXPECT_EQ(links.Write(atEnd.Stream()), ActiveFileLink::kNotWritable);
}
