#pragma once
// The versions of one document, in the server's order (newest first), and the index
// of the selected version (-1 when none is). Layout: a line of version count and
// selected index, then one DocumentVersionEntry line per version.
#include <cstdint>
#include <string>
#include <vector>

#include "client/library/DocumentVersionEntry.h"
#include "common/QuotedLines.h"

class VersionedDocument {
 public:
  // No versions, nothing selected.
  void Clear();

  int GetVersionCount() const { return static_cast<int>(versions_.size()); }
  // Null when `i` is out of range.
  DocumentVersionEntry* GetVersion(int i);
  const DocumentVersionEntry* GetVersion(int i) const;
  void AddVersion(const DocumentVersionEntry& version) { versions_.push_back(version); }

  std::int32_t GetSelectedIndex() const { return selectedIndex_; }
  // Selects version `index`; an index outside the versions selects none (-1).
  void SetSelectedIndex(std::int32_t index);
  // Selects the version that the server counts as `index` in its own array, which
  // runs oldest first while the rows run newest first: index i of n is row n-1-i.
  // An index outside the versions selects none. The version-list reply carries such an
  // index: after Read, pass it GetSelectedIndex.
  void SetSelectedIndexOldestFirst(std::int32_t index);
  // Selects the first version with the greatest version number above 0; none when no
  // number is above 0.
  void SelectLatestVersion();

  // Clears, then reads the count line and its version rows from `lines`; the stored
  // selected index is taken as SetSelectedIndex does. Only the rows present are read;
  // a row cut short at the end of the text is dropped. False when the count line is
  // missing or fewer rows than the count were read; what was read stays.
  bool Read(QuotedLines& lines);
  // Appends the count line and the version lines to `out`.
  void Write(std::string& out) const;

 private:
  std::vector<DocumentVersionEntry> versions_;
  std::int32_t selectedIndex_ = -1;
};
