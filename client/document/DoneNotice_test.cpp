#include "client/document/DoneNotice.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using Operation = DoneNotice::Operation;

TEST(DoneNotice, EachOperationSaysWhatItDidAndHowMany) {
  struct Case {
    const char* what;
    std::function<void(DoneNotice&)> replies;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"nothing counted", [](DoneNotice&) {}, ""},
      {"a retrieval over two replies keeps the first folder",
       [](DoneNotice& n) {
         n.Count(Operation::kRetrieve, "/w/plans", 3, 0);
         n.Count(Operation::kRetrieve, "/w/plans/sub", 2, 1);
       },
       "Retrieved 5 files into /w/plans, 1 not placed"},
      {"a retrieval whose project failed",
       [](DoneNotice& n) {
         n.Count(Operation::kRetrieve, "/w", 1, 0);
         n.CountFailed();
       },
       "Retrieved 1 file into /w, 1 project failed"},
      {"a check-out", [](DoneNotice& n) { n.Count(Operation::kCheckOut, "/w", 2, 1); },
       "Checked out 2 files into /w, 1 refused"},
      {"a check-in", [](DoneNotice& n) { n.Count(Operation::kCheckIn, "/w", 1, 0); }, "Checked in 1 document"},
      {"an add says all three counts",
       [](DoneNotice& n) {
         n.Count(Operation::kAdd, "/w/a", 10, 2);
         n.CountFailed();
       },
       "Add to Library: 10 documents added, 2 refused, 1 folder failed"},
      {"an add whose every step failed",
       [](DoneNotice& n) {
         n.SetOperation(Operation::kAdd, "/w/a");
         n.CountFailed();
         n.CountFailed();
       },
       "Add to Library: 0 documents added, 0 refused, 2 folders failed"},
      {"a publication drops its own retrievals and takes its edition's name",
       [](DoneNotice& n) {
         n.Count(Operation::kRetrieve, "/w", 4, 0);
         n.Count(Operation::kPublish, "", 6, 1);
         n.Count(Operation::kRetrieve, "/w", 4, 0);
         n.SetOperation(Operation::kPublish, "First");
       },
       "Published \"First\" with 6 documents, 1 refused"},
  };
  for (const Case& c : cases) {
    DoneNotice notice;
    c.replies(notice);
    EXPECT_EQ(notice.Text(), c.expected) << c.what;
    EXPECT_EQ(notice.IsEmpty(), c.expected.empty()) << c.what;
  }
}

}  // namespace
