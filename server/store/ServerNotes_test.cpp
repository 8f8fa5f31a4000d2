#include "server/store/ServerNotes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using TimePoint = std::chrono::steady_clock::time_point;

TEST(ServerNotesTest, LinesBeforeTheSinkReachItInOrderAndLaterOnesAtOnce) {
  ServerNotes notes;
  notes.Add("first");
  notes.Add("second");
  std::vector<std::string> seen;
  notes.SetSink([&seen](const std::string& line) { seen.push_back(line); });
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "second"}));
  notes.Add("third");
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "second", "third"}));
  notes.SetSink(nullptr);
  notes.Add("kept");
  EXPECT_EQ(seen.size(), 3u);
}

TEST(ServerNotesTest, ABurstPassesItsMinutesShareAndTheNextMinuteSaysHowManyWereLeftOut) {
  TimePoint now{};
  ServerNotes notes([&now] { return now; });
  std::vector<std::string> seen;
  notes.SetSink([&seen](const std::string& line) { seen.push_back(line); });
  for (std::size_t i = 0; i < ServerNotes::kLinesPerMinute + 5; ++i) notes.Add("line " + std::to_string(i));
  ASSERT_EQ(seen.size(), ServerNotes::kLinesPerMinute);
  EXPECT_EQ(seen.back(), "line " + std::to_string(ServerNotes::kLinesPerMinute - 1));
  now += std::chrono::seconds(59);
  notes.Add("still the same minute");
  EXPECT_EQ(seen.size(), ServerNotes::kLinesPerMinute);
  now += std::chrono::seconds(1);
  notes.Add("next minute");
  ASSERT_EQ(seen.size(), ServerNotes::kLinesPerMinute + 2);
  EXPECT_EQ(seen[ServerNotes::kLinesPerMinute], "6 further notice(s) were left out.");
  EXPECT_EQ(seen.back(), "next minute");
}

}  // namespace
