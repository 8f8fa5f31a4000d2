#pragma once
// One project that references a document version: the project's internal name,
// how many references it holds (never below 0) and a flag kept for the file.
// On disk, five lines: "Start ActiveFileLinkEntry", the name, the count,
// "True"/"False", "End ActiveFileLinkEntry".
#include <istream>
#include <ostream>
#include <string>

class ActiveFileLinkEntry {
 public:
  static constexpr int kNotWritable = 14000;
  static constexpr int kEndMissing = 14001;
  static constexpr int kStartMissing = 14002;
  static constexpr int kEndOfFile = 14003;

  ActiveFileLinkEntry() = default;
  ActiveFileLinkEntry(const std::string& name, int count);

  void Reset();

  const std::string& GetName() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  int GetCount() const { return count_; }
  // Negative counts are stored as 0.
  void SetCount(int count);
  bool GetFlag() const { return flag_; }
  void SetFlag(bool flag) { flag_ = flag; }

  void IncrementCount();
  // No change at 0.
  void DecrementCount();

  // 0, or kNotWritable when the stream has failed before or after any line.
  int Write(std::ostream& out) const;
  // Reads one entry starting at `firstLine`, or at the next line when it is empty.
  // 0 or one of the codes above (or the reader's end-of-file code).
  int Read(std::istream& in, int& lineCounter, const std::string& firstLine);

 private:
  std::string name_;
  int count_ = 0;
  bool flag_ = false;
};
