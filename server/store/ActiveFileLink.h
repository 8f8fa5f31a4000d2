#pragma once
// The projects that reference one document version, in the order in which each
// was first added; names are unique (exact comparison). On disk a section
// "Start ActiveFileLink", one ActiveFileLinkEntry per project, "End ActiveFileLink".
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "server/store/ActiveFileLinkEntry.h"

class ActiveFileLink {
 public:
  static constexpr int kNotWritable = 12000;
  static constexpr int kStartMissing = 12002;
  static constexpr int kEndOfFile = 12003;

  void Reset() { entries_.clear(); }

  // Adds one reference from project `name`: its count goes up, or a new entry
  // (count 1) is appended.
  void AddLink(const std::string& name);
  // Drops one reference from project `name`; the entry goes when its count reaches 0.
  // An unknown name changes nothing.
  void RemoveLink(const std::string& name);

  int GetCount() const { return static_cast<int>(entries_.size()); }
  // A copy of entry `index`; a reset entry for an index out of range.
  ActiveFileLinkEntry GetAt(int index) const;

  // 0, or 12000 / the entry's 14000 when the stream fails.
  int Write(std::ostream& out) const;
  // Reads the section starting at `firstLine`, or at the next line when it is empty.
  // 0, 12002, 12003 or an entry code 14001-14003.
  int Read(std::istream& in, int& lineCounter, const std::string& firstLine);

 private:
  std::vector<ActiveFileLinkEntry>::iterator Find(const std::string& name);

  std::vector<ActiveFileLinkEntry> entries_;
};
