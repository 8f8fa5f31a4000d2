#include "server/store/ActiveFileLink.h"

#include <algorithm>

#include "server/store/RecordLines.h"

std::vector<ActiveFileLinkEntry>::iterator ActiveFileLink::Find(const std::string& name) {
  return std::find_if(entries_.begin(), entries_.end(),
                      [&name](const ActiveFileLinkEntry& entry) { return entry.GetName() == name; });
}

void ActiveFileLink::AddLink(const std::string& name) {
  const auto found = Find(name);
  if (found != entries_.end()) {
    found->IncrementCount();
  } else {
    entries_.emplace_back(name, 1);
  }
}

void ActiveFileLink::RemoveLink(const std::string& name) {
  const auto found = Find(name);
  if (found == entries_.end()) return;
  found->DecrementCount();
  if (found->GetCount() == 0) entries_.erase(found);
}

ActiveFileLinkEntry ActiveFileLink::GetAt(int index) const {
  if (index < 0 || index >= GetCount()) return ActiveFileLinkEntry();
  return entries_[static_cast<std::size_t>(index)];
}

int ActiveFileLink::Write(std::ostream& out) const {
  if (!out) return kNotWritable;
  WriteRecordLine(out, "Start ActiveFileLink");
  if (!out) return kNotWritable;
  for (const ActiveFileLinkEntry& entry : entries_) {
    const int result = entry.Write(out);
    if (result != 0) return result;
  }
  WriteRecordLine(out, "End ActiveFileLink");
  return out ? 0 : kNotWritable;
}

int ActiveFileLink::Read(std::istream& in, int& lineCounter, const std::string& firstLine) {
  Reset();
  int result = ReadSectionStart(in, lineCounter, firstLine, "Start ActiveFileLink", kEndOfFile, kStartMissing);
  if (result != 0) return result;
  std::string line = ReadRecordLine(in, lineCounter, kEndOfFile, result);
  if (result != 0) return result;
  while (line != "End ActiveFileLink") {
    ActiveFileLinkEntry entry;
    result = entry.Read(in, lineCounter, line);
    if (result != 0) return result;
    entries_.push_back(entry);
    line = ReadRecordLine(in, lineCounter, ActiveFileLinkEntry::kEndOfFile, result);
    if (result != 0) return result;
  }
  return 0;
}
