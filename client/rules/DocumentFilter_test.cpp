#include "client/rules/DocumentFilter.h"

#include <gtest/gtest.h>

#include "client/library/DocumentListTestData_test.h"

namespace {

using document_list_test::Document;
using Holder = DocumentFilter::Holder;

DateTime Day(const std::string& digits) {
  DateTime date;
  date.Parse(digits + "000000");
  return date;
}

TEST(DocumentFilter, MatchesAVersionByNameHolderAndDate) {
  // The version: "Site Plan.dwg", version 2, held by Ann, changed on 2004-03-10 at noon.
  const DocumentVersionEntry version = *Document("Site Plan.dwg", {{2, "Ann", 0, "20040310120000"}}).GetVersion(0);
  const struct {
    std::string name;
    Holder holder;
    std::string holderName;
    std::string since;   // "" none
    std::string user;
    bool matches;
  } cases[] = {
      {"", Holder::kAny, "", "", "ann", true},
      {"plan", Holder::kAny, "", "", "ann", true},        // no case on ASCII letters
      {"PLAN.DWG", Holder::kAny, "", "", "ann", true},
      {"plans", Holder::kAny, "", "", "ann", false},
      {"", Holder::kMe, "", "", "ann", true},
      {"", Holder::kMe, "", "", "bob", false},
      {"", Holder::kMe, "", "", "", false},               // a user without a name holds nothing
      {"", Holder::kAnyone, "", "", "bob", true},
      {"", Holder::kNamed, "ANN", "", "bob", true},
      {"", Holder::kNamed, "an", "", "bob", false},       // the whole name, not a piece
      {"", Holder::kAny, "", "20040310", "ann", true},    // the same day counts
      {"", Holder::kAny, "", "20040311", "ann", false},
      {"site", Holder::kMe, "", "20040301", "ann", true},
      {"site", Holder::kMe, "", "20040301", "bob", false},
  };
  for (const auto& c : cases) {
    DocumentFilter filter;
    filter.SetNameContains(c.name);
    filter.SetHolder(c.holder, c.holderName);
    if (!c.since.empty()) filter.SetChangedSince(Day(c.since));
    EXPECT_EQ(filter.Matches(version, c.user), c.matches)
        << c.name << " " << static_cast<int>(c.holder) << " " << c.holderName << " " << c.since << " " << c.user;
  }
}

TEST(DocumentFilter, ADocumentMatchesThroughAnyOfItsVersionsAndAFreeOneMatchesNoHolder) {
  // Version 3 is free and new; version 2 is held by bob and old.
  const VersionedDocument document = Document("a.txt", {{3, "", 0, "20050101000000"}, {2, "bob", 0, "20040101000000"}});
  const VersionedDocument free = Document("b.txt", {{1, "", 0, "20050101000000"}});
  const struct {
    Holder holder;
    std::string since;
    bool document;
    bool free;
  } cases[] = {
      {Holder::kAnyone, "", true, false},
      {Holder::kMe, "", false, false},
      {Holder::kAny, "20041201", true, true},
      {Holder::kAnyone, "20041201", true, false},   // held in one version, changed in another
      {Holder::kAny, "20060101", false, false},
  };
  for (const auto& c : cases) {
    DocumentFilter filter;
    filter.SetHolder(c.holder);
    if (!c.since.empty()) filter.SetChangedSince(Day(c.since));
    EXPECT_FALSE(filter.IsEmpty());
    EXPECT_EQ(filter.Matches(document, "ann"), c.document) << static_cast<int>(c.holder) << " " << c.since;
    EXPECT_EQ(filter.Matches(free, "ann"), c.free) << static_cast<int>(c.holder) << " " << c.since;
  }
  EXPECT_TRUE(DocumentFilter().IsEmpty());
}

}  // namespace
