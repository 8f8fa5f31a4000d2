#include "client/document/Instruction.h"

#include <array>

void Instruction::Clear() {
  prerequisite_ = -1;
  kind_ = -1;
  name_.clear();
  indexName_.clear();
  targetFolder_.clear();
  sourceFolder_.clear();
  documents_.Clear();
  sent_ = false;
  done_ = false;
  succeeded_ = false;
}

std::string Instruction::KindCaption(std::int32_t kind) {
  static constexpr std::array<const char*, 19> kCaptions{
      "Get Project: ",
      "Add Project: ",
      "Add Documents to Project: ",
      "Check-in Project: ",
      "Check-in Documents: ",
      "Check-out Project: ",
      "Check-out Documents: ",
      "Create Edition / Supplement: ",
      "Create Edition / Supplement: ",
      "Get List of Project Document Versions: ",
      "Get List of Project Documents: ",
      "Add Original Document References to Edition: ",
      "Add Document References to Project: ",
      "Add Project to Edition / Supplement: ",
      "Add Original Project to Edition / Supplement: ",
      "Get Original Edition / Supplement Documents: ",
      "Refresh List of Projects",
      "Get Documents: ",
      "Add Documents: ",
  };
  if (kind < 1 || kind > static_cast<std::int32_t>(kCaptions.size())) return std::string();
  return kCaptions[static_cast<std::size_t>(kind - 1)];
}
