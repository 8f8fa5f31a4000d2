#pragma once
// How an operation on many chosen documents of one project goes out: in steps of at
// most kFilesPerStep documents and kBytesPerStep bytes, in the list's order (a
// document larger than the byte bound goes alone), so that a cancel falls between
// files while each step still carries enough to keep the link busy.
#include <cstdint>
#include <string>
#include <vector>

#include "client/library/ProjectDocumentList.h"

class DocumentSteps {
 public:
  static constexpr int kFilesPerStep = 100;
  static constexpr std::int64_t kBytesPerStep = 8 * 1024 * 1024;

  // The steps of `documents`, whose sizes `sizes` gives in the same order (a size
  // missing or below 0 counts as 0): each a list of the same project. None for an
  // empty list; the whole list as one step when it fits the bounds.
  static std::vector<ProjectDocumentList> Split(const ProjectDocumentList& documents,
                                                const std::vector<std::int64_t>& sizes,
                                                int filesPerStep = kFilesPerStep,
                                                std::int64_t bytesPerStep = kBytesPerStep);
  // The sizes the documents' entries list (the latest version's).
  static std::vector<std::int64_t> ListedSizes(const ProjectDocumentList& documents);
  // How the progress list names a step: its one document, else its first and last
  // with their number ("a.txt to k.txt (40 documents)").
  static std::string Name(const ProjectDocumentList& step);
};
