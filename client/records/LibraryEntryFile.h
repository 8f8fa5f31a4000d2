#pragma once
// "BKLibraryEntries.wxf" in the client's working folder: the libraries known to
// every user of this machine, one LibraryEntry line per entry in list order, lines
// ending CR LF on disk; no header. An empty file means no entries.
#include <string>
#include <vector>

#include "client/records/LibraryEntry.h"

class LibraryEntryFile {
 public:
  static constexpr const char* kFileName = "BKLibraryEntries.wxf";

  // Fills `entries` from the file at `path`, creating an empty file when there is
  // none. Blank lines are skipped. False, with `entries` empty, when the file can
  // neither be read nor created or holds a line beyond the record line cap.
  static bool Load(const std::string& path, std::vector<LibraryEntry>& entries);
  // Replaces the file atomically with the entries' lines; false (the file as it
  // was) when it cannot be written.
  static bool Save(const std::string& path, const std::vector<LibraryEntry>& entries);

  // The entry named exactly `name` (case counts), or null.
  static LibraryEntry* Find(std::vector<LibraryEntry>& entries, const std::string& name);
  // The entry with exactly this library key, or null. A renamed library keeps its key.
  static LibraryEntry* FindKey(std::vector<LibraryEntry>& entries, const std::string& keyText, int keyLength);
};
