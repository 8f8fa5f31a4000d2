#pragma once
// The supplements of one edition, in memory only. The list owns copies of the records
// it holds.
#include <vector>

#include "common/SupplementRecord.h"

class SupplementList {
 public:
  // Empties the list.
  void RemoveAll();
  // Appends a copy of the record.
  void Add(const SupplementRecord& record);
  int GetCount() const;
  // A copy of the record at 0..count-1; an empty record for any other index.
  SupplementRecord GetAt(int index) const;

 private:
  std::vector<SupplementRecord> records_;
};
