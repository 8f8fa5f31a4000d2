#include "common/SupplementList.h"

void SupplementList::RemoveAll() { records_.clear(); }

void SupplementList::Add(const SupplementRecord& record) { records_.push_back(record); }

int SupplementList::GetCount() const { return static_cast<int>(records_.size()); }

SupplementRecord SupplementList::GetAt(int index) const {
  if (index < 0 || index >= GetCount()) return SupplementRecord();
  return records_[static_cast<std::size_t>(index)];
}
