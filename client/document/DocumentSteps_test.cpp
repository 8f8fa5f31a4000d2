#include "client/document/DocumentSteps.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

// Steps are bounded by documents and by bytes, keep the list's order and project; a
// document over the byte bound goes alone; an operation within both stays one step.
TEST(DocumentSteps, AnOperationSplitsByDocumentsAndBytesInItsOrder) {
  const struct {
    std::vector<std::int64_t> sizes;   // one per document; missing ones count nothing
    int files;
    std::vector<int> steps;            // documents per step; the byte bound is 8
  } cases[] = {
      {{}, 3, {}},           {{1, 1, 1}, 3, {3}},       {std::vector<std::int64_t>(7, 1), 3, {3, 3, 1}},
      {{4, 4, 4, 4}, 10, {2, 2}}, {{2, 20, 2, 2}, 10, {1, 1, 2}}, {{20, 2}, 10, {1, 1}}, {{-5, 8}, 10, {3}},
  };
  for (const auto& c : cases) {
    ProjectDocumentList documents;
    documents.SetProjectIndexName("P1");
    std::string names;
    for (int i = 0; i < std::accumulate(c.steps.begin(), c.steps.end(), 0); ++i) {
      DocumentVersionEntry entry;
      entry.SetName(std::to_string(i) + ";");
      documents.Add(entry);
      names += entry.GetName();
    }
    std::vector<int> counts;
    std::string stepNames;
    for (const ProjectDocumentList& step : DocumentSteps::Split(documents, c.sizes, c.files, 8)) {
      counts.push_back(step.GetCount());
      EXPECT_EQ(step.GetProjectIndexName(), "P1");
      for (int i = 0; i < step.GetCount(); ++i) stepNames += step.GetAt(i)->GetName();
    }
    EXPECT_EQ(counts, c.steps) << names;
    EXPECT_EQ(stepNames, names);
  }
}

}  // namespace
