#include "server/store/ActiveFileLinkEntry.h"

#include <algorithm>
#include <climits>

#include "server/store/RecordLines.h"

ActiveFileLinkEntry::ActiveFileLinkEntry(const std::string& name, int count) : name_(name) { SetCount(count); }

void ActiveFileLinkEntry::Reset() { *this = ActiveFileLinkEntry(); }

void ActiveFileLinkEntry::SetCount(int count) { count_ = std::max(count, 0); }

void ActiveFileLinkEntry::IncrementCount() {
  if (count_ < INT_MAX) ++count_;
}

void ActiveFileLinkEntry::DecrementCount() {
  if (count_ > 0) --count_;
}

int ActiveFileLinkEntry::Write(std::ostream& out) const {
  const std::string lines[] = {"Start ActiveFileLinkEntry", name_, std::to_string(count_),
                               flag_ ? "True" : "False", "End ActiveFileLinkEntry"};
  if (!out) return kNotWritable;
  for (const std::string& line : lines) {
    WriteRecordLine(out, line);
    if (!out) return kNotWritable;
  }
  return 0;
}

int ActiveFileLinkEntry::Read(std::istream& in, int& lineCounter, const std::string& firstLine) {
  Reset();
  int result = ReadSectionStart(in, lineCounter, firstLine, "Start ActiveFileLinkEntry", kEndOfFile, kStartMissing);
  if (result != 0) return result;
  name_ = ReadRecordLine(in, lineCounter, kEndOfFile, result);
  if (result != 0) return result;
  const std::string count = ReadRecordLine(in, lineCounter, kEndOfFile, result);
  if (result != 0) return result;
  SetCount(RecordTextToInt(count));
  const std::string flag = ReadRecordLine(in, lineCounter, kEndOfFile, result);
  if (result != 0) return result;
  flag_ = RecordTextEqualsNoCase(flag, "TRUE");

  const std::string end = ReadRecordLine(in, lineCounter, kEndOfFile, result);
  if (result != 0) return result;
  return end == "End ActiveFileLinkEntry" ? 0 : kEndMissing;
}
