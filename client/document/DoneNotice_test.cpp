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
  };
  for (const auto& c : cases) {
    DoneNotice notice;
    c.replies(notice);
    EXPECT_EQ(notice.Text(), c.expected);
  }
}

}  // namespace
