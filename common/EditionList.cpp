#include "common/EditionList.h"

EditionList::EditionList(const EditionList& other) { *this = other; }

EditionList& EditionList::operator=(const EditionList& other) {
  if (this == &other) return *this;
  RemoveAll();
  records_ = other.records_;
  if (!records_.empty()) currentIndex_ = other.currentIndex_;
  return *this;
}

void EditionList::RemoveAll() {
  records_.clear();
  currentIndex_ = -1;
}

void EditionList::Add(const EditionRecord& record) { records_.push_back(record); }

int EditionList::GetCount() const { return static_cast<int>(records_.size()); }

EditionRecord EditionList::GetAt(int index) const {
  if (index < 0 || index >= GetCount()) return EditionRecord();
  return records_[static_cast<std::size_t>(index)];
}
