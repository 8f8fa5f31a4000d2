#pragma once
// The document list's sort column (0 name, 1 revision, 2 date, 3 holder of the
// check-out, 4 size) and direction, the column-click rule that changes them, and the
// sort itself. Each document sorts by its key version: the selected one, else the
// first with the highest number. Equal keys keep their order.
#include <string>

#include "client/library/VersionedDocument.h"
#include "client/library/VersionedDocumentList.h"

class DocumentSortOrder {
 public:
  static constexpr int kNameColumn = 0;
  static constexpr int kLastKeyColumn = 4;

  int GetColumn() const { return column_; }
  bool IsAscending() const { return ascending_; }

  // A click on the heading of `column`: a new key column sorts ascending, the same
  // one again flips the direction; a column without a key of its own sorts by name.
  void OnColumnClick(int column);

  // Index of the key version; -1 when the document has no versions.
  static int KeyVersion(const VersionedDocument& document);
  // Negative, 0 or positive as `first` sorts before, with or after `second`.
  int Compare(const VersionedDocument& first, const VersionedDocument& second) const;
  // Reorders the documents (names and selected versions travel with them).
  void Sort(VersionedDocumentList& list) const;

 private:
  // What a document sorts by under the current column.
  struct Key {
    const DocumentVersionEntry* entry;
    std::string date;   // the date's text, for the date column only
  };
  Key MakeKey(const VersionedDocument& document) const;
  int CompareKeys(const Key& first, const Key& second) const;

  int column_ = kNameColumn;
  bool ascending_ = true;
};
