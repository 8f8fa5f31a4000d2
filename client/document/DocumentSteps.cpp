#include "client/document/DocumentSteps.h"

#include <algorithm>

namespace {

ProjectDocumentList EmptyStepOf(const ProjectDocumentList& documents) {
  ProjectDocumentList step;
  step.SetProjectName(documents.GetProjectName());
  step.SetProjectIndexName(documents.GetProjectIndexName());
  return step;
}

}  // namespace

std::vector<ProjectDocumentList> DocumentSteps::Split(const ProjectDocumentList& documents,
                                                      const std::vector<std::int64_t>& sizes, int filesPerStep,
                                                      std::int64_t bytesPerStep) {
  std::vector<ProjectDocumentList> steps;
  std::int64_t stepBytes = 0;
  for (int i = 0; i < documents.GetCount(); ++i) {
    const std::size_t at = static_cast<std::size_t>(i);
    const std::int64_t size = at < sizes.size() ? std::max<std::int64_t>(sizes[at], 0) : 0;
    const bool full =
        !steps.empty() && (steps.back().GetCount() >= std::max(filesPerStep, 1) || stepBytes + size > bytesPerStep);
    if (steps.empty() || full) {
      steps.push_back(EmptyStepOf(documents));
      stepBytes = 0;
    }
    steps.back().Add(*documents.GetAt(i));
    stepBytes += size;
  }
  return steps;
}

std::vector<std::int64_t> DocumentSteps::ListedSizes(const ProjectDocumentList& documents) {
  std::vector<std::int64_t> sizes;
  for (int i = 0; i < documents.GetCount(); ++i) sizes.push_back(documents.GetAt(i)->GetFileSize());
  return sizes;
}

std::string DocumentSteps::Name(const ProjectDocumentList& step) {
  const int count = step.GetCount();
  if (count == 0) return std::string();
  if (count == 1) return step.GetAt(0)->GetName();
  return step.GetAt(0)->GetName() + " to " + step.GetAt(count - 1)->GetName() + " (" + std::to_string(count) +
         " documents)";
}
