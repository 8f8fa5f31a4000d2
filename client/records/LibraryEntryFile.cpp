#include "client/records/LibraryEntryFile.h"

#include <sstream>

#include "client/records/TextFileLines.h"
#include "common/RecordFields.h"
#include "platform/AtomicFile.h"
#include "platform/fs.h"

bool LibraryEntryFile::Load(const std::string& path, std::vector<LibraryEntry>& entries) {
  entries.clear();
  if (!platform::fs::Exists(path)) return platform::AtomicFile::Write(path, "");
  std::string content;
  if (!ReadWholeFile(path, content)) return false;
  std::istringstream in(content);
  std::string line;
  while (ReadWholeLine(in, line)) {
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    LibraryEntry entry;
    entry.Read(line);
    entries.push_back(entry);
  }
  if (!in.eof()) {   // a line beyond the cap
    entries.clear();
    return false;
  }
  return true;
}

bool LibraryEntryFile::Save(const std::string& path, const std::vector<LibraryEntry>& entries) {
  std::string text;
  for (const LibraryEntry& entry : entries) text += entry.Write();
  return platform::AtomicFile::Write(path, WithCrLfLineEnds(text));
}

LibraryEntry* LibraryEntryFile::Find(std::vector<LibraryEntry>& entries, const std::string& name) {
  for (LibraryEntry& entry : entries) {
    if (entry.GetName() == name) return &entry;
  }
  return nullptr;
}

LibraryEntry* LibraryEntryFile::FindKey(std::vector<LibraryEntry>& entries, const std::string& keyText,
                                        int keyLength) {
  for (LibraryEntry& entry : entries) {
    if (entry.GetKeyText() == keyText && entry.GetKeyLength() == keyLength) return &entry;
  }
  return nullptr;
}
