#include "server/store/ProjectFileList.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/AtomicFile.h"
#include "server/store/RecordLines.h"

namespace {

// ReadRecordLine without an end-of-file code: the end of the file reads as "".
constexpr int kNoCode = 0;
// Own rows kept at least, so that small lists never fold.
constexpr std::size_t kFewestOwnRows = 64;

bool AppendPair(const std::string& key, const std::string& value, std::string& content) {
  for (const std::string* line : {&key, &value}) {
    if (!FitsRecordLine(*line)) return false;  // a name or value that would not read back
    content += *line;
    content += kRecordLineEnd;
  }
  return true;
}

}  // namespace

void ProjectFileList::Rows::Append(const std::string& key, const std::string& value) {
  indexOf.emplace(key, pairs.size());
  pairs.emplace_back(key, value);
  textBytes += 2 * key.size() + value.size();
}

void ProjectFileList::Rows::Replace(const std::string& key, const std::string& value) {
  std::string& old = pairs[indexOf.at(key)].second;
  textBytes = textBytes - old.size() + value.size();
  old = value;
}

const std::string* ProjectFileList::Rows::Find(const std::string& key) const {
  const auto found = indexOf.find(key);
  return found == indexOf.end() ? nullptr : &pairs[found->second].second;
}

ProjectFileList::ProjectFileList(const std::string& path) { Load(path); }

void ProjectFileList::Clear() {
  shared_.reset();
  own_ = Rows();
  path_.clear();
  fileWasAbsent_ = false;
  loadFailed_ = false;
}

const std::string* ProjectFileList::Find(const std::string& key) const {
  if (const std::string* value = own_.Find(key)) return value;
  return shared_ ? shared_->Find(key) : nullptr;
}

template <class Visit>
void ProjectFileList::ForEachPair(Visit visit) const {
  if (shared_) {
    for (const auto& pair : shared_->pairs) visit(pair);
  }
  for (const auto& pair : own_.pairs) visit(pair);
}

bool ProjectFileList::Contains(const std::string& key) const { return Find(key) != nullptr; }

std::string ProjectFileList::Lookup(const std::string& key) const {
  const std::string* value = Find(key);
  return value == nullptr ? std::string() : *value;
}

int ProjectFileList::GetCount() const {
  return static_cast<int>((shared_ ? shared_->pairs.size() : 0) + own_.pairs.size());
}

bool ProjectFileList::Add(const std::string& key, const std::string& value) {
  if (key.empty() || value.empty() || Contains(key)) return false;
  SetAt(key, value);
  return true;
}

bool ProjectFileList::Remove(const std::string& key) {
  if (key.empty() || !Contains(key)) return false;
  shared_ = std::make_shared<const Rows>(Merged(&key));
  own_ = Rows();
  return true;
}

void ProjectFileList::SetAt(const std::string& key, const std::string& value) {
  if (own_.Find(key) != nullptr) {
    own_.Replace(key, value);
  } else if (shared_ && shared_->Find(key) != nullptr) {
    // A shared row is never changed in place: the list takes rows of its own.
    Rows rows = Merged(nullptr);
    rows.Replace(key, value);
    shared_ = std::make_shared<const Rows>(std::move(rows));
    own_ = Rows();
  } else {
    own_.Append(key, value);
    FoldWhenLong();
  }
}

ProjectFileList::Rows ProjectFileList::Merged(const std::string* left) const {
  Rows rows;
  rows.pairs.reserve(static_cast<std::size_t>(GetCount()));
  rows.indexOf.reserve(static_cast<std::size_t>(GetCount()));
  ForEachPair([&](const std::pair<std::string, std::string>& pair) {
    if (left == nullptr || pair.first != *left) rows.Append(pair.first, pair.second);
  });
  return rows;
}

void ProjectFileList::FoldWhenLong() {
  const std::size_t sharedRows = shared_ ? shared_->pairs.size() : 0;
  const auto limit = static_cast<std::size_t>(std::sqrt(static_cast<double>(sharedRows)));
  if (own_.pairs.size() > std::max(kFewestOwnRows, limit)) Fold();
}

void ProjectFileList::Fold() {
  if (own_.pairs.empty()) return;
  shared_ = shared_ ? std::make_shared<const Rows>(Merged(nullptr)) : std::make_shared<const Rows>(std::move(own_));
  own_ = Rows();
}

StringList& ProjectFileList::GetKeys(StringList& list) const {
  ForEachPair([&list](const std::pair<std::string, std::string>& pair) { list.Add(pair.first); });
  return list;
}

StringList& ProjectFileList::GetValues(StringList& list) const {
  ForEachPair([&list](const std::pair<std::string, std::string>& pair) { list.Add(pair.second); });
  return list;
}

void ProjectFileList::ForEachValue(const std::function<void(const std::string&)>& visit) const {
  ForEachPair([&visit](const std::pair<std::string, std::string>& pair) { visit(pair.second); });
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

  // Read into rows of its own, folded once at the end rather than while it grows.
  Rows read;
  bool whole = false;
  int lineCounter = 0;
  int result = 0;
  for (;;) {
    const std::string key = ReadRecordLine(in, lineCounter, kNoCode, result);
    if (key.empty()) {
      // The end of the file, a read error and an over-long line all end the key
      // loop; only the first means the file was read whole.
      whole = in.eof() && !in.bad();
      break;
    }
    const std::string value = ReadRecordLine(in, lineCounter, kNoCode, result);
    if (value.empty()) break;
    if (read.Find(key) != nullptr) {
      read.Replace(key, value);
    } else {
      read.Append(key, value);
    }
  }
  if (GetCount() == 0) {
    shared_ = read.pairs.empty() ? nullptr : std::make_shared<const Rows>(std::move(read));
  } else {
    for (const auto& [key, value] : read.pairs) SetAt(key, value);
  }
  loadFailed_ = !whole;
  return whole;
}

std::size_t ProjectFileList::ApproximateBytes() const {
  // A pair, its index node (key copy, position, link, hash) and bucket.
  constexpr std::size_t kPerPair = sizeof(std::pair<std::string, std::string>) + sizeof(std::string) +
                                   sizeof(std::size_t) + 3 * sizeof(void*);
  return sizeof(ProjectFileList) + path_.size() + static_cast<std::size_t>(GetCount()) * kPerPair +
         (shared_ ? shared_->textBytes : 0) + own_.textBytes;
}

bool ProjectFileList::Save(const std::string& path) const {
  if (path.empty() || !RecordFolderExists(path)) return false;
  std::string content;
  return Encode(content) && platform::AtomicFile::Write(path, content);
}

bool ProjectFileList::Encode(std::string& text) const {
  if (loadFailed_) return false;
  std::string content;
  bool fits = true;
  ForEachPair([&](const std::pair<std::string, std::string>& pair) {
    fits = fits && AppendPair(pair.first, pair.second, content);
  });
  if (!fits) return false;
  text = std::move(content);
  return true;
}

bool ProjectFileList::EncodeRow(const std::string& key, std::string& row) const {
  const std::string* value = Find(key);
  return !loadFailed_ && value != nullptr && AppendPair(key, *value, row);
}
