#pragma once
// A copyable, ordered list of strings held by value: lists of names that are
// passed around and stored by the console and the delete requests.
#include <string>
#include <vector>

class StringList {
 public:
  // Appends a copy of `text`; returns its index.
  int Add(const std::string& text);
  int GetSize() const { return static_cast<int>(items_.size()); }
  bool IsEmpty() const { return items_.empty(); }

  // A copy of the string at `index`; empty for an index out of range.
  std::string GetAt(int index) const;
  // Replaces the string at `index`; false (nothing changed) for an index out of range.
  bool SetAt(int index, const std::string& text);
  // Removes the string at `index` (later ones move up); false for an index out of range.
  bool RemoveAt(int index);
  void RemoveAll() { items_.clear(); }

 private:
  bool InRange(int index) const { return index >= 0 && index < GetSize(); }

  std::vector<std::string> items_;
};
