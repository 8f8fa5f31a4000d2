#include "client/rules/LibraryFind.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;

// Alpha (Beta) and Gamma, with plans and notes; bob holds Beta's plan, ann Gamma's notes.
class LibraryFindTest : public ClientLibraryTest {
 protected:
  void SetUp() override {
    ClientLibraryTest::SetUp();
    ASSERT_TRUE(server_.AddUser("bob", "secret").has_value());
    const std::string alpha = NewProject("", "Alpha");
    const std::string beta = NewProject(alpha, "Beta");
    const std::string gamma = NewProject("", "Gamma");
    AddDocument(alpha, "Site Plan.dwg", "1");
    AddDocument(alpha, "notes.txt", "2");
    AddDocument(beta, "plan-b.dwg", "3");
    AddDocument(gamma, "notes.txt", "4");
    EXPECT_EQ(Store().CheckOutDocuments(beta, "plan-b.dwg", -1, "bob", false, false).code, 0);
    EXPECT_EQ(Store().CheckOutDocuments(gamma, "notes.txt", -1, "ann", false, false).code, 0);
    document_ = OpenReady("0");
    ASSERT_NE(document_, nullptr);
  }

  // "project path:document name" of each find, sorted.
  std::vector<std::string> Find(const DocumentFilter& filter) {
    LibraryFind find(*document_, filter);
    EXPECT_TRUE(PassUntil([&] {
      find.Step();
      return find.IsFinished();
    }));
    EXPECT_EQ(find.GetPhase(), LibraryFind::Phase::kDone);
    EXPECT_EQ(find.GetProjectCount(), 3);
    EXPECT_EQ(find.GetSearchedCount(), 3);
    EXPECT_TRUE(find.GetUnread().empty());
    std::vector<std::string> found;
    for (const LibraryFind::Found& f : find.GetFound()) found.push_back(f.projectPath + ":" + f.document.GetName());
    std::sort(found.begin(), found.end());
    return found;
  }

  CBrannockDoc* document_ = nullptr;
};

TEST_F(LibraryFindTest, FindsByNameAndByHolderInEveryProject) {
  using Holder = DocumentFilter::Holder;
  const struct {
    std::string name;
    Holder holder;
    std::string holderName;
    std::vector<std::string> found;
  } cases[] = {
      {"PLAN", Holder::kAny, "", {"Alpha/Beta:plan-b.dwg", "Alpha:Site Plan.dwg"}},
      {"notes", Holder::kAny, "", {"Alpha:notes.txt", "Gamma:notes.txt"}},
      {"", Holder::kNamed, "bob", {"Alpha/Beta:plan-b.dwg"}},
      {"", Holder::kMe, "", {"Gamma:notes.txt"}},   // My check-outs
      {"plan", Holder::kMe, "", {}},
      {"missing", Holder::kAny, "", {}},
  };
  for (const auto& c : cases) {
    DocumentFilter filter;
    filter.SetNameContains(c.name);
    filter.SetHolder(c.holder, c.holderName);
    EXPECT_EQ(Find(filter), c.found) << c.name << " " << c.holderName;
  }
}

TEST_F(LibraryFindTest, AProjectAddedOnTheServerSinceTheVisitIsSearchedToo) {
  AddDocument(NewProject("", "Delta"), "late plan.txt", "5");
  DocumentFilter filter;
  filter.SetNameContains("late");
  LibraryFind find(*document_, filter);
  ASSERT_TRUE(PassUntil([&] {
    find.Step();
    return find.IsFinished();
  }));
  ASSERT_EQ(find.GetFound().size(), 1u);
  EXPECT_EQ(find.GetFound()[0].projectPath, "Delta");
}

TEST_F(LibraryFindTest, ALostLinkEndsTheFind) {
  // As the Find window does, the search holds the library: it closes only afterwards.
  OpenLibraries::Hold hold(app_->GetOpenLibraries(), *document_);
  LibraryFind cut(*document_, DocumentFilter());
  server_.Stop();
  ASSERT_TRUE(PassUntil([&] {
    cut.Step();
    return cut.IsFinished();
  }));
  EXPECT_EQ(cut.GetPhase(), LibraryFind::Phase::kLinkEnded);
}

}  // namespace
