#include "server/store/StoreChange.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <set>
#include <sstream>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "common/StringHelpers.h"
#include "platform/AtomicFile.h"
#include "platform/DiskChangeHook.h"
#include "platform/FileDescriptor.h"
#include "platform/ParallelSync.h"
#include "platform/fs.h"
#include "server/store/InPlaceWrites.h"
#include "server/store/ProjectFolders.h"

namespace {

constexpr const char* kRecordMagic = "WXJ1";
// A write of a new file whose content waits in a temporary beside it: the record
// names the temporary too, so that a start after a crash renames it into place.
constexpr char kPreparedWrite = 'T';
// What an append checks is still before its bytes when it is made again.
constexpr std::uint64_t kTailBlock = 4096;

// FNV-1a: tells whether a file still holds what it held; not a defence against tampering.
std::uint64_t HashOf(const std::string& bytes) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  return hash;
}

// The whole file in one read of its size: every staged write reads its pre-image.
bool ReadStoredFile(const std::string& path, std::string& bytes) {
  if (!platform::fs::IsFile(path)) return false;
  const platform::FileDescriptor file(path, O_RDONLY);
  std::int64_t size = 0;
  if (!file.IsOpen() || !file.Size(size)) return false;
  bytes.resize(static_cast<std::size_t>(size));
  return file.ReadExactly(bytes.data(), bytes.size());
}

// A stored file that an append reads and writes at offsets.
class OpenFile {
 public:
  OpenFile(const std::string& path, int flags) : path_(path), fd_(::open(path.c_str(), flags | O_CLOEXEC)) {}
  ~OpenFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  // False as well for anything but a plain file.
  bool Size(std::uint64_t& size) const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
  }
  bool ReadAt(std::uint64_t offset, std::uint64_t length, std::string& bytes) const {
    bytes.resize(static_cast<std::size_t>(length));
    for (std::size_t got = 0; got < bytes.size();) {
      const ssize_t n = ::pread(fd_, bytes.data() + got, bytes.size() - got, static_cast<off_t>(offset + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      got += static_cast<std::size_t>(n);
    }
    return true;
  }
  // Writes at `offset` and syncs; a failure cuts the file back to `offset`.
  bool WriteAtAndSync(std::uint64_t offset, std::string_view bytes) const {
    InPlaceWrites::Note(path_);
    for (std::uint64_t at = offset; !bytes.empty();) {
      if (!platform::MayChangeDisk(path_)) return CutFailed(offset);
      const ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(at));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return CutFailed(offset);
      at += static_cast<std::uint64_t>(n);
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return Sync() || CutFailed(offset);
  }
  bool CutAndSync(std::uint64_t length) const {
    InPlaceWrites::Note(path_);
    return platform::ChangeDisk([&] { return ::ftruncate(fd_, static_cast<off_t>(length)); }) && Sync();
  }

 private:
  bool Sync() const { return platform::ChangeDisk([this] { return ::fsync(fd_); }); }
  bool CutFailed(std::uint64_t length) const {
    CutAndSync(length);
    return false;
  }

  std::string path_;
  int fd_;
};

// The last block of the file before `end`.
bool ReadTail(const OpenFile& file, std::uint64_t end, std::string& tail) {
  const std::uint64_t length = std::min(end, kTailBlock);
  return file.ReadAt(end - length, length, tail);
}

void AppendField(std::string& out, const std::string& field) {
  out += std::to_string(field.size());
  out += ':';
  out += field;
  out += '\n';
}

// Reads a field written by AppendField at `at`; false when the text ends too soon.
bool ReadField(const std::string& text, std::size_t& at, std::string& field) {
  const std::size_t colon = text.find(':', at);
  if (colon == std::string::npos || colon == at || colon - at > 12) return false;
  std::size_t size = 0;
  for (std::size_t i = at; i < colon; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    size = size * 10 + static_cast<std::size_t>(text[i] - '0');
  }
  if (size > text.size() - colon - 1 || text.size() - colon - 1 - size < 1 || text[colon + 1 + size] != '\n') {
    return false;
  }
  field = text.substr(colon + 1, size);
  at = colon + 2 + size;
  return true;
}

std::string NewRecordName() {
  static std::atomic<unsigned> counter{0};
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  char name[64];
  std::snprintf(name, sizeof name, "%020lld-%06u%s",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()),
                counter.fetch_add(1) % 1000000U, StoreChange::kRecordSuffix);
  return name;
}

bool IsRecordName(const std::string& name) {
  const std::string suffix = StoreChange::kRecordSuffix;
  return name.size() > suffix.size() && name.front() != '.' &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Paths here are where the files lie on disk: no deep-folder rule applies again.
bool MoveStoredFile(const std::string& from, const std::string& to) {
  return platform::fs::IsFile(from) && platform::fs::MoveNoReplace(from, to);
}

// A stored file gets the mode of the library's record files; it arrived private.
void TakeStoredFileMode(const std::string& path, bool readOnly) {
  platform::fs::SetNewFileMode(path, readOnly || platform::fs::IsReadOnly(path));
}

bool MoveInto(const std::string& from, const std::string& to) {
  return CreateFolders(platform::fs::ParentFolder(to)) && platform::fs::MoveNoReplace(from, to);
}

bool SyncFolderOf(const std::string& path) {
  return platform::FileDescriptor(platform::fs::ParentFolder(path), O_RDONLY | O_DIRECTORY).Sync();
}

// The content of a new file in a temporary beside it, not yet synced; "" when it
// cannot be written. Each write is a change of `path`, for the failures a test puts there.
std::string WriteTemporaryBeside(const std::string& path, std::string_view content) {
  std::string temporary;
  const int fd = platform::fs::CreateTemporaryBeside(path, "tmp", 0666, temporary);
  if (fd < 0) return "";
  bool ok = true;
  while (ok && !content.empty()) {
    ok = platform::MayChangeDisk(path);
    const ssize_t written = ok ? ::write(fd, content.data(), content.size()) : -1;
    if (written < 0 && errno == EINTR) continue;
    ok = ok && written > 0;
    if (ok) content.remove_prefix(static_cast<std::size_t>(written));
  }
  ok = ::close(fd) == 0 && ok;
  if (ok) return temporary;
  platform::fs::DeleteFile(temporary);
  return "";
}

}  // namespace

StoreChange::StoreChange(std::string journalFolder) : journalFolder_(std::move(journalFolder)) {}

void StoreChange::AddWithPreImage(Kind kind, const std::string& path, std::string target) {
  Step step;
  step.kind = kind;
  step.path = path;
  step.target = std::move(target);
  step.hadOld = ReadStoredFile(path, step.oldContent);
  step.oldHash = step.hadOld ? HashOf(step.oldContent) : 0;
  // One step per file: a second write replaces the first and keeps its pre-image.
  const auto found = stepOf_.find(path);
  Step* same = found == stepOf_.end() ? nullptr : &steps_[found->second];
  if (same != nullptr && same->kind == Kind::Append) {
    *same = std::move(step);  // nothing is made before Commit: the disk holds the pre-image still
    return;
  }
  if (same != nullptr && (same->kind == Kind::Write || same->kind == Kind::Remove)) {
    same->kind = kind;
    same->target = std::move(step.target);
    return;
  }
  Push(std::move(step));
}

void StoreChange::Push(Step step) {
  stepOf_.emplace(step.path, steps_.size());
  steps_.push_back(std::move(step));
}

void StoreChange::WriteFile(const std::string& path, std::string content) {
  AddWithPreImage(Kind::Write, path, std::move(content));
}

void StoreChange::RemoveFile(const std::string& path) { AddWithPreImage(Kind::Remove, path, ""); }

bool StoreChange::AppendFile(const std::string& path, std::string bytes) {
  if (bytes.empty() || stepOf_.count(path) != 0) return false;
  const OpenFile file(path, O_RDONLY);
  std::uint64_t size = 0;
  std::string tail;
  if (!file.Size(size) || !ReadTail(file, size, tail)) return false;
  if (!tail.empty() && tail.back() != bytes.back()) return false;
  Step step;
  step.kind = Kind::Append;
  step.path = path;
  step.target = std::move(bytes);
  step.hadOld = true;
  step.oldLength = size;
  step.oldHash = HashOf(tail);
  Push(std::move(step));
  return true;
}

void StoreChange::AddPathStep(Kind kind, const std::string& path, const std::string& target) {
  Step step;
  step.kind = kind;
  step.path = path;
  step.target = target;
  Push(std::move(step));
}

void StoreChange::MoveFile(const std::string& from, const std::string& to, bool readOnly, bool synced) {
  AddPathStep(readOnly ? Kind::MoveReadOnly : Kind::MoveFile, from, to);
  steps_.back().synced = synced;
}

void StoreChange::CreateFolder(const std::string& path) { AddPathStep(Kind::CreateFolder, path, ""); }

void StoreChange::MoveFolder(const std::string& from, const std::string& to) { AddPathStep(Kind::MoveFolder, from, to); }

// --- committing -----------------------------------------------------------------

bool StoreChange::Commit() {
  std::string recordPath;
  if (!PrepareFiles()) return false;
  MarkFolderSyncs();
  if (steps_.size() > 1 && !WriteRecord(recordPath)) {
    RemovePrepared(0);
    return false;
  }
  std::size_t made = 0;
  for (; made < steps_.size(); ++made) {
    if (!Make(steps_[made])) break;
  }
  bool undone = true;
  if (made < steps_.size()) {
    RemovePrepared(made);
    for (std::size_t i = made; i-- > 0;) undone = Undo(steps_[i]) && undone;
  }
  if (!recordPath.empty() && undone) platform::fs::DeleteFile(recordPath);
  return made == steps_.size();
}

// A moved file (a received version above all) is on the disk before a record names
// it, so that rolling forward never places a file a crash cut short. So is a new
// file of a recorded change: it waits in a temporary that its step renames. A
// change with folder steps writes its new files in place (their folder may not
// be there yet, or move away).
bool StoreChange::PrepareFiles() {
  const bool prepare = steps_.size() > 1 && std::none_of(steps_.begin(), steps_.end(), [](const Step& step) {
    return step.kind == Kind::CreateFolder || step.kind == Kind::MoveFolder;
  });
  std::vector<std::string> durable;
  bool written = true;
  for (auto step = steps_.begin(); written && step != steps_.end(); ++step) {
    if (IsMove(step->kind)) {
      if (!step->synced) durable.push_back(step->path);
    } else if (prepare && step->kind == Kind::Write && !step->hadOld) {
      step->prepared = WriteTemporaryBeside(step->path, step->target);
      written = !step->prepared.empty();
      durable.push_back(step->prepared);
    }
  }
  if (written && platform::SyncInParallel(durable)) return true;
  RemovePrepared(0);
  return false;
}

// The folder a file enters is synced by the last step into it: a write in place
// (AtomicFile) syncs its own, a move or a prepared file is marked here.
void StoreChange::MarkFolderSyncs() {
  std::unordered_set<std::string> entered;
  for (std::size_t i = steps_.size(); i-- > 0;) {
    Step& step = steps_[i];
    const bool move = IsMove(step.kind);
    if (!move && step.kind != Kind::Write) continue;
    const bool last = entered.insert(platform::fs::ParentFolder(move ? step.target : step.path)).second;
    step.syncFolder = last && (move || !step.prepared.empty());
  }
}

void StoreChange::RemovePrepared(std::size_t from) {
  for (std::size_t i = from; i < steps_.size(); ++i) {
    if (steps_[i].prepared.empty()) continue;
    platform::fs::DeleteFile(steps_[i].prepared);
    steps_[i].prepared.clear();
  }
}

bool StoreChange::WriteRecord(std::string& recordPath) const {
  if (!CreateFolders(journalFolder_)) return false;
  recordPath = EnsureTrailingBackslash(journalFolder_) + NewRecordName();
  return platform::AtomicFile::Write(recordPath, EncodeRecord(steps_));
}

bool StoreChange::Make(Step& step) {
  switch (step.kind) {
    case Kind::Write:
      if (step.prepared.empty()) return platform::AtomicFile::Write(step.path, step.target);
      if (!platform::ChangeDisk([&] { return ::rename(step.prepared.c_str(), step.path.c_str()); })) return false;
      step.prepared.clear();
      if (step.syncFolder && !SyncFolderOf(step.path)) {
        Undo(step);
        return false;
      }
      return true;
    case Kind::Remove:
      platform::fs::SetReadOnly(step.path, false);
      return platform::fs::DeleteFile(step.path);
    case Kind::MoveFile:
    case Kind::MoveReadOnly:
      if (!MoveStoredFile(step.path, step.target)) return false;
      TakeStoredFileMode(step.target, step.kind == Kind::MoveReadOnly);
      if (step.syncFolder && !SyncFolderOf(step.target)) {
        Undo(step);
        return false;
      }
      return true;
    case Kind::CreateFolder:
      step.madeFolder = !platform::fs::IsFolder(step.path);
      return CreateFolders(step.path);
    case Kind::MoveFolder:
      return MoveInto(step.path, step.target);
    case Kind::Append: {
      const OpenFile file(step.path, O_WRONLY);
      std::uint64_t size = 0;
      return file.Size(size) && size == step.oldLength && file.WriteAtAndSync(size, step.target);
    }
  }
  return false;
}

bool StoreChange::Undo(const Step& step) {
  switch (step.kind) {
    case Kind::Write:
      return step.hadOld ? platform::AtomicFile::Write(step.path, step.oldContent) : platform::fs::DeleteFile(step.path);
    case Kind::Remove:
      return !step.hadOld || platform::AtomicFile::Write(step.path, step.oldContent);
    case Kind::MoveFile:
    case Kind::MoveReadOnly:
      platform::fs::SetReadOnly(step.target, false);
      return MoveStoredFile(step.target, step.path);
    case Kind::CreateFolder:
      return !step.madeFolder || platform::fs::RemoveFolder(step.path);
    case Kind::MoveFolder:
      return platform::fs::MoveNoReplace(step.target, step.path);
    case Kind::Append:
      return OpenFile(step.path, O_WRONLY).CutAndSync(step.oldLength);
  }
  return false;
}

// --- recovering -----------------------------------------------------------------

// Makes the step unless it is made already or a later change has overtaken it.
StoreChange::Outcome StoreChange::RollForward(const Step& step, std::set<std::string>& enteredFolders) {
  switch (step.kind) {
    case Kind::Write: {
      std::string current;
      const bool exists = ReadStoredFile(step.path, current);
      const bool untouched = step.hadOld ? exists && HashOf(current) == step.oldHash : !exists;
      if (!step.prepared.empty() && platform::fs::IsFile(step.prepared)) {
        // The temporary was durable before the record: it becomes the file, or goes.
        if (!untouched) return platform::fs::DeleteFile(step.prepared) ? Outcome::Done : Outcome::Impossible;
        if (!platform::fs::MoveNoReplace(step.prepared, step.path)) return Outcome::Impossible;
        enteredFolders.insert(platform::fs::ParentFolder(step.path));
        return Outcome::Done;
      }
      if (exists && current == step.target) return Outcome::Done;
      if (untouched && !platform::AtomicFile::Write(step.path, step.target)) return Outcome::Impossible;
      return Outcome::Done;
    }
    case Kind::Remove: {
      std::string current;
      if (step.hadOld && ReadStoredFile(step.path, current) && HashOf(current) == step.oldHash) {
        platform::fs::SetReadOnly(step.path, false);
        if (!platform::fs::DeleteFile(step.path)) return Outcome::Impossible;
      }
      return Outcome::Done;
    }
    case Kind::MoveFile:
    case Kind::MoveReadOnly:
      if (!platform::fs::Exists(step.target)) {
        // Neither here nor there: what follows would name a file that does not exist.
        if (!platform::fs::Exists(step.path) || !MoveStoredFile(step.path, step.target)) return Outcome::Impossible;
      }
      TakeStoredFileMode(step.target, step.kind == Kind::MoveReadOnly);
      return Outcome::Done;
    case Kind::CreateFolder:
      return CreateFolders(step.path) ? Outcome::Done : Outcome::Impossible;
    case Kind::MoveFolder:
      if (platform::fs::Exists(step.path) && !platform::fs::Exists(step.target) && !MoveInto(step.path, step.target)) {
        return Outcome::Impossible;
      }
      return Outcome::Done;
    case Kind::Append:
      return RollAppendForward(step);
  }
  return Outcome::Impossible;
}

// Adds what of the bytes is missing. A file removed, cut shorter or changed before
// the bytes has been rewritten since; other bytes where they go came after them.
StoreChange::Outcome StoreChange::RollAppendForward(const Step& step) {
  if (!platform::fs::Exists(step.path)) return Outcome::Done;
  const OpenFile file(step.path, O_RDWR);
  std::uint64_t size = 0;
  std::string tail;
  if (!file.Size(size) || (size >= step.oldLength && !ReadTail(file, step.oldLength, tail))) return Outcome::Impossible;
  if (size < step.oldLength || HashOf(tail) != step.oldHash) return Outcome::Done;
  std::string added;
  if (!file.ReadAt(step.oldLength, std::min<std::uint64_t>(size - step.oldLength, step.target.size()), added)) {
    return Outcome::Impossible;
  }
  if (added.size() == step.target.size() || step.target.compare(0, added.size(), added) != 0) return Outcome::Done;
  return file.WriteAtAndSync(size, std::string_view(step.target).substr(added.size())) ? Outcome::Done
                                                                                         : Outcome::Impossible;
}

bool StoreChange::HasRecords(const std::string& journalFolder) {
  std::vector<platform::fs::FolderEntry> entries;
  if (!platform::fs::ListFolder(journalFolder, entries)) return false;
  return std::any_of(entries.begin(), entries.end(),
                     [](const platform::fs::FolderEntry& entry) { return !entry.isFolder && IsRecordName(entry.name); });
}

bool StoreChange::RecoverFolder(const std::string& journalFolder, std::vector<std::string>& problems,
                                const PathPlacer& place) {
  std::vector<platform::fs::FolderEntry> entries;
  if (!platform::fs::ListFolder(journalFolder, entries)) {
    if (!platform::fs::Exists(journalFolder)) return true;
    problems.push_back(journalFolder + ": the folder cannot be read");
    return false;
  }
  bool recovered = true;
  // Names sort in the order the records were made.
  for (const platform::fs::FolderEntry& entry : entries) {
    if (entry.isFolder || !IsRecordName(entry.name)) continue;
    std::string problem;
    const std::string path = EnsureTrailingBackslash(journalFolder) + entry.name;
    if (!RecoverRecord(path, problem, place)) {
      problems.push_back(path + ": " + problem);
      recovered = false;
    }
  }
  return recovered;
}

bool StoreChange::RecoverRecord(const std::string& recordPath, std::string& problem, const PathPlacer& place) {
  std::string text;
  std::vector<Step> steps;
  if (!platform::fs::ReadWholeFile(recordPath, text) || !DecodeRecord(text, steps)) {
    problem = "the record cannot be read";
    return false;
  }
  std::set<std::string> enteredFolders;
  for (Step& step : steps) {
    if (place) {
      step.path = place(step.path);
      if (step.kind != Kind::Write && step.kind != Kind::Append) step.target = place(step.target);
      if (!step.prepared.empty()) step.prepared = place(step.prepared);
    }
    if (RollForward(step, enteredFolders) == Outcome::Impossible) {
      // The steps before it are kept; those after it would be made on a false footing.
      problem = "cannot finish the change of " + step.path;
      break;
    }
  }
  for (const std::string& folder : enteredFolders) {
    if (problem.empty() && !platform::fs::SyncPath(folder)) problem = "cannot sync the folder " + folder;
  }
  return problem.empty() && platform::fs::DeleteFile(recordPath);
}

// --- the record -------------------------------------------------------------------

std::string StoreChange::EncodeRecord(const std::vector<Step>& steps) {
  std::string out = std::string(kRecordMagic) + "\n" + std::to_string(steps.size()) + "\n";
  for (const Step& step : steps) {
    out += step.prepared.empty() ? static_cast<char>(step.kind) : kPreparedWrite;
    out += step.hadOld ? '1' : '0';
    out += std::to_string(step.oldHash);
    out += '\n';
    AppendField(out, step.path);
    AppendField(out, step.target);
    if (step.kind == Kind::Append) AppendField(out, std::to_string(step.oldLength));
    if (!step.prepared.empty()) AppendField(out, step.prepared);
  }
  return out + "END\n";
}

bool StoreChange::DecodeRecord(const std::string& text, std::vector<Step>& steps) {
  std::istringstream head(text);
  std::string magic;
  std::size_t count = 0;
  if (!std::getline(head, magic) || magic != kRecordMagic || !(head >> count) || head.get() != '\n') return false;
  std::size_t at = static_cast<std::size_t>(head.tellg());
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t end = text.find('\n', at);
    if (end == std::string::npos || end - at < 3) return false;
    Step step;
    const bool prepared = text[at] == kPreparedWrite;
    step.kind = prepared ? Kind::Write : static_cast<Kind>(text[at]);
    if (!prepared && std::string("WRMNCFA").find(text[at]) == std::string::npos) return false;
    step.hadOld = text[at + 1] == '1';
    const std::string hash = text.substr(at + 2, end - at - 2);
    if (hash.empty() || hash.find_first_not_of("0123456789") != std::string::npos) return false;
    if (std::from_chars(hash.data(), hash.data() + hash.size(), step.oldHash).ec != std::errc()) return false;
    at = end + 1;
    if (!ReadField(text, at, step.path) || !ReadField(text, at, step.target)) return false;
    if (step.kind == Kind::Append) {
      std::string length;
      if (!ReadField(text, at, length) || length.empty() || length.find_first_not_of("0123456789") != std::string::npos ||
          std::from_chars(length.data(), length.data() + length.size(), step.oldLength).ec != std::errc()) {
        return false;
      }
    }
    if (prepared && (!ReadField(text, at, step.prepared) || step.prepared.empty())) return false;
    steps.push_back(std::move(step));
  }
  return text.compare(at, std::string::npos, "END\n") == 0;
}
