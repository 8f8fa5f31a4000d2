#include "client/document/DocumentSteps.h"

#include <gtest/gtest.h>

namespace {

ProjectDocumentList Documents(int count) {
  ProjectDocumentList list;
  list.SetProjectName("Plans");
  list.SetProjectIndexName("P1");
  for (int i = 0; i < count; ++i) {
    DocumentVersionEntry entry;
    entry.SetName("d" + std::to_string(i));
    entry.SetVersion(i + 1);
    list.Add(entry);
  }
  return list;
}

// Steps are bounded by documents and by bytes; a document over the byte bound goes
// alone; an operation within both bounds stays one step.
TEST(DocumentSteps, AnOperationSplitsByDocumentsAndBytesInItsOrder) {
  const struct {
    const char* what;
    std::vector<std::int64_t> sizes;   // one per document
    int files;
    std::int64_t bytes;
    std::vector<int> steps;            // documents per step
  } cases[] = {
      {"nothing chosen", {}, 3, 10, {}},
      {"small stays whole", {1, 1, 1}, 3, 10, {3}},
      {"by documents", std::vector<std::int64_t>(7, 1), 3, 100, {3, 3, 1}},
      {"by bytes", {4, 4, 4, 4}, 10, 8, {2, 2}},
      {"a large document alone", {2, 20, 2, 2}, 10, 8, {1, 1, 2}},
      {"a large first document alone", {20, 2}, 10, 8, {1, 1}},
      {"negative and missing sizes count nothing", {-5, 8}, 10, 8, {3}},
  };
  for (const auto& c : cases) {
    const int count = [&] {
      int total = 0;
      for (int n : c.steps) total += n;
      return total;
    }();
    const ProjectDocumentList documents = Documents(count);
    const std::vector<ProjectDocumentList> steps = DocumentSteps::Split(documents, c.sizes, c.files, c.bytes);
    std::vector<int> counts;
    int next = 0;
    for (const ProjectDocumentList& step : steps) {
      counts.push_back(step.GetCount());
      EXPECT_EQ(step.GetProjectIndexName(), "P1") << c.what;
      EXPECT_EQ(step.GetProjectName(), "Plans") << c.what;
      for (int i = 0; i < step.GetCount(); ++i, ++next) {
        EXPECT_EQ(step.GetAt(i)->GetName(), documents.GetAt(next)->GetName()) << c.what;
        EXPECT_EQ(step.GetAt(i)->GetVersion(), next + 1) << c.what;
      }
    }
    EXPECT_EQ(counts, c.steps) << c.what;
  }
}

TEST(DocumentSteps, AStepIsNamedByItsDocuments) {
  EXPECT_EQ(DocumentSteps::Name(Documents(0)), "");
  EXPECT_EQ(DocumentSteps::Name(Documents(1)), "d0");
  EXPECT_EQ(DocumentSteps::Name(Documents(40)), "d0 to d39 (40 documents)");
}

}  // namespace
