#pragma once
// The pair of counters (high, low) from which internal names "WXFiName_Hi%dLo%d"
// are made, and their file "GenInternalValue.wxf" in the library root: one line
// "%d,%d" without a line ending, holding the pair of the next name to hand out.
// Not thread-safe: the document calls it under its inventory section.
#include <string>
#include <utility>
#include <vector>

class InternalNameCounter {
 public:
  static constexpr const char* kFileName = "GenInternalValue.wxf";

  // `filePath` is the full path of the counter file.
  explicit InternalNameCounter(std::string filePath);

  // Restores the counters. An existing file is always read, and must hold a low
  // counter of at least 1. A missing file is a failure unless `newLibrary`, in which
  // case the counters start at 1,1 and the file is created with "1,1".
  bool Load(bool newLibrary);

  // The next name; the counters advance (low past 2147483647 starts again at 1 with
  // high + 1) and are written to the existing file atomically. Empty when the file
  // is missing or cannot be written, or when the counters are exhausted; the
  // counters in memory stay advanced either way.
  std::string Generate();
  // The next `count` names with one write of the file; none when Generate would give
  // "" for any of them.
  std::vector<std::string> Generate(int count);

  // Writes the counters, unadvanced, to another counter file (a new library root).
  bool SaveAs(const std::string& filePath) const;
  // Makes `filePath` the counter file from now on.
  void SetFilePath(std::string filePath) { filePath_ = std::move(filePath); }

  int GetHigh() const { return high_; }
  int GetLow() const { return low_; }
  const std::string& GetFilePath() const { return filePath_; }

 private:
  bool Save() const;

  std::string filePath_;
  int high_ = 1;
  int low_ = 1;
};
