#pragma once
// The editions of one project, in memory only, with the index of the current edition
// (-1 when none). The list owns copies of the records it holds.
#include <vector>

#include "common/EditionRecord.h"

class EditionList {
 public:
  EditionList() = default;
  EditionList(const EditionList& other);
  // Copies every record and the current index; an empty source leaves the index at -1.
  EditionList& operator=(const EditionList& other);

  // Empties the list; the current index becomes -1.
  void RemoveAll();
  // Appends a copy of the record.
  void Add(const EditionRecord& record);
  int GetCount() const;
  // A copy of the record at 0..count-1; an empty record for any other index.
  EditionRecord GetAt(int index) const;

  int GetCurrentIndex() const { return currentIndex_; }
  void SetCurrentIndex(int index) { currentIndex_ = index; }

 private:
  std::vector<EditionRecord> records_;
  int currentIndex_ = -1;
};
