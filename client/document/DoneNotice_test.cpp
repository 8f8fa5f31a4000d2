#include "client/document/DoneNotice.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using Operation = DoneNotice::Operation;

TEST(DoneNotice, EachOperationSaysWhatItDidAndHowMany) {
  const struct {
    std::function<void(DoneNotice&)> replies;
    std::string expected;
  } cases[] = {
      {[](DoneNotice&) {}, ""},
      {[](DoneNotice& n) {   // the first folder is named; a failed project is said
         n.Count(Operation::kRetrieve, "/w/plans", 3, 0);
         n.Count(Operation::kRetrieve, "/w/plans/sub", 2, 1);
         n.CountFailed();
       },
       "Retrieved 5 files into /w/plans, 1 not placed, 1 project failed"},
      {[](DoneNotice& n) {   // an add whose every step failed still says all three counts
         n.SetOperation(Operation::kAdd, "/w/a");
         n.CountFailed();
       },
       "Add to Library: 0 documents added, 0 refused, 1 folder failed"},
      {[](DoneNotice& n) {   // a publication drops its own retrievals and takes its edition's name
         n.Count(Operation::kRetrieve, "/w", 4, 0);
         n.Count(Operation::kPublish, "", 6, 1);
         n.Count(Operation::kRetrieve, "/w", 4, 0);
         n.SetOperation(Operation::kPublish, "First");
       },
       "Published \"First\" with 6 documents, 1 refused"},
      {[](DoneNotice& n) {   // a split operation: a failed step named by its first documents, the cancelled counted
         n.Count(Operation::kCheckIn, "", 100, 2);
         n.CountNotDone({"a", "b", "c", "d", "e"});
         n.CountNotDone({"f"});
         n.CountCancelled(40);
       },
       "Checked in 100 documents, 2 refused, 6 not done (a, b, c and 3 more), 40 cancelled"},
      {[](DoneNotice& n) {
         n.SetOperation(Operation::kRetrieve, "");
         n.CountNotDone({"only.txt"});
       },
       "Retrieved 0 files, 1 not done (only.txt)"},
  };
  for (const auto& c : cases) {
    DoneNotice notice;
    c.replies(notice);
    EXPECT_EQ(notice.Text(), c.expected);
  }
}

}  // namespace
