#pragma once
// Builds project trees as text in the server layout of ProjectNode, for tests and
// benchmarks: each Node call appends one node line and its edition and supplement lines,
// so the caller writes the nodes depth first with their child counts.
#include <cstdint>
#include <string>

#include "common/EditionRecord.h"
#include "common/RecordFields.h"
#include "common/SupplementRecord.h"

class ServerTreeText {
 public:
  ServerTreeText& Node(const std::string& name, const std::string& indexName, std::int32_t childCount,
                       const EditionRecord& edition = EditionRecord(),
                       const SupplementRecord& supplement = SupplementRecord()) {
    std::string line = AppendStringField(name, "");
    line = AppendStringField(indexName, std::move(line));
    line = AppendIntField(childCount, std::move(line));
    line = AppendBoolField(false, std::move(line));
    line = AppendBoolField(true, std::move(line));
    line = AppendBoolField(false, std::move(line));
    text_ += EndRecord(line) + edition.Encode("") + supplement.Encode("");
    return *this;
  }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};
