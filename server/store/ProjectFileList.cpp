#include "server/store/ProjectFileList.h"

#include <utility>

#include "platform/AtomicFile.h"
#include "server/store/RecordLines.h"

namespace {

// ReadRecordLine without an end-of-file code: the end of the file reads as "".
constexpr int kNoCode = 0;

}  // namespace

ProjectFileList::ProjectFileList(const std::string& path) { Load(path); }

void ProjectFileList::Clear() {
  pairs_.clear();
  indexOf_.clear();
  path_.clear();
  fileWasAbsent_ = false;
  loadFailed_ = false;
}

bool ProjectFileList::Contains(const std::string& key) const { return indexOf_.count(key) != 0; }

std::string ProjectFileList::Lookup(const std::string& key) const {
  const auto found = indexOf_.find(key);
  return found == indexOf_.end() ? std::string() : pairs_[found->second].second;
}

bool ProjectFileList::Add(const std::string& key, const std::string& value) {
  if (key.empty() || value.empty() || Contains(key)) return false;
  SetAt(key, value);
  return true;
}

bool ProjectFileList::Remove(const std::string& key) {
  const auto found = indexOf_.find(key);
  if (key.empty() || found == indexOf_.end()) return false;
  const std::size_t removed = found->second;
  pairs_.erase(pairs_.begin() + static_cast<std::ptrdiff_t>(removed));
  indexOf_.erase(found);
  for (auto& [name, index] : indexOf_) {
    if (index > removed) --index;
  }
  return true;
}

void ProjectFileList::SetAt(const std::string& key, const std::string& value) {
  const auto [found, inserted] = indexOf_.emplace(key, pairs_.size());
  if (inserted) {
    pairs_.emplace_back(key, value);
  } else {
    pairs_[found->second].second = value;
  }
}

StringList& ProjectFileList::GetKeys(StringList& list) const {
  for (const auto& pair : pairs_) list.Add(pair.first);
  return list;
}

StringList& ProjectFileList::GetValues(StringList& list) const {
  for (const auto& pair : pairs_) list.Add(pair.second);
  return list;
}

bool ProjectFileList::Load(const std::string& path) {
  fileWasAbsent_ = false;
  loadFailed_ = true;
  if (path.empty()) return false;
  path_ = path;

  std::ifstream in;
  switch (OpenRecordFile(path, in)) {
    case RecordFileOpening::Opened:
      break;
    case RecordFileOpening::FileAbsent:
      fileWasAbsent_ = true;
      loadFailed_ = false;
      return true;
    case RecordFileOpening::FolderMissing:
    case RecordFileOpening::Unreadable:
      return false;
  }

  int lineCounter = 0;
  int result = 0;
  for (;;) {
    const std::string key = ReadRecordLine(in, lineCounter, kNoCode, result);
    if (key.empty()) break;
    const std::string value = ReadRecordLine(in, lineCounter, kNoCode, result);
    if (value.empty()) return false;
    SetAt(key, value);
  }
  // The end of the file, a read error and an over-long line all end the key loop;
  // only the first means the file was read whole.
  if (!in.eof() || in.bad()) return false;
  loadFailed_ = false;
  return true;
}

std::size_t ProjectFileList::ApproximateBytes() const {
  // A pair, its index node (key copy, position, link, hash) and bucket.
  constexpr std::size_t kPerPair = sizeof(std::pair<std::string, std::string>) + sizeof(std::string) +
                                   sizeof(std::size_t) + 3 * sizeof(void*);
  std::size_t bytes = sizeof(ProjectFileList) + path_.size() + pairs_.size() * kPerPair;
  for (const auto& [key, value] : pairs_) bytes += 2 * key.size() + value.size();
  return bytes;
}

bool ProjectFileList::Save(const std::string& path) const {
  if (path.empty() || !RecordFolderExists(path)) return false;
  std::string content;
  return Encode(content) && platform::AtomicFile::Write(path, content);
}

bool ProjectFileList::Encode(std::string& text) const {
  if (loadFailed_) return false;
  std::string content;
  for (const auto& [key, value] : pairs_) {
    for (const std::string* line : {&key, &value}) {
      if (!FitsRecordLine(*line)) return false;  // a name or value that would not read back
      content += *line;
      content += kRecordLineEnd;
    }
  }
  text = std::move(content);
  return true;
}
