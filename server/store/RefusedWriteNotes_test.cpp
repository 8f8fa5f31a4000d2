#include "server/store/RefusedWriteNotes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using Cause = RefusedWriteNotes::Cause;
using namespace std::chrono_literals;

TEST(RefusedWriteNotesTest, EachCauseNamesItsFolderOnceAMinute) {
  const struct {
    Cause cause;
    std::string line;
  } cases[] = {
      {Cause::ReadOnlyLibrary, "The library folder \"/lib\" cannot be written: the add of \"a\" was refused."},
      {Cause::ReadOnlyTemporaryFiles, "The folder \"/lib\" takes no new files: the add of \"a\" was refused."},
      {Cause::FullDisk, "The disk holding \"/lib\" is full: the add of \"a\" was refused."},
      {Cause::CommentTooLong, "A comment longer than 65536 bytes came for \"/lib\": the add of \"a\" was refused."},
  };
  for (const auto& c : cases) {
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    ServerNotes notes([&now] { return now; });
    std::vector<std::string> lines;
    notes.SetSink([&lines](const std::string& line) { lines.push_back(line); });
    RefusedWriteNotes refused(notes, [&now] { return now; });
    refused.Note(c.cause, "/lib/", "the add of \"a\"");
    now += 59s;
    refused.Note(c.cause, "/lib/", "the add of \"b\"");
    EXPECT_EQ(lines, std::vector<std::string>{c.line});
    // Another cause is named at once, and this one again when the minute is over.
    refused.Note(c.cause == Cause::FullDisk ? Cause::CommentTooLong : Cause::FullDisk, "/other", "a check-in");
    now += 1s;
    refused.Note(c.cause, "/lib", "the add of \"a\"");
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines.back(), c.line);
  }
}

}  // namespace
