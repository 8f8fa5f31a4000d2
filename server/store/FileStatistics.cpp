#include "server/store/FileStatistics.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string_view>

#include "common/RecordFields.h"
#include "platform/AtomicFile.h"
#include "server/store/RecordLines.h"

namespace {

constexpr std::string_view kFrameStart = "Start FileStatistics";
constexpr std::string_view kFrameEnd = "End FileStatistics";
constexpr std::string_view kArrayStart = "Start FileEntry Array";
constexpr std::string_view kArrayEnd = "End FileEntry Array";
constexpr std::string_view kLinksStart = "Start ActiveFileLink";

}  // namespace

void FileStatistics::Clear() {
  ownerProject_.clear();
  Reset();
  versions_.clear();
}

const FileEntry& FileStatistics::GetVersion(int index) const {
  if (index < 0 || index >= GetVersionCount()) return *this;
  return versions_[static_cast<std::size_t>(index)];
}

FileEntry& FileStatistics::GetVersion(int index) {
  if (index < 0 || index >= GetVersionCount()) return *this;
  return versions_[static_cast<std::size_t>(index)];
}

int FileStatistics::GetLatestVersionIndex() const {
  int latest = -1;
  int highest = 0;
  for (int i = 0; i < GetVersionCount(); ++i) {
    const int number = versions_[static_cast<std::size_t>(i)].GetVersion();
    if (number > highest) {
      highest = number;
      latest = i;
    }
  }
  return latest;
}

int FileStatistics::FirstCheckedOutIndex() const {
  const auto found = std::find_if(versions_.begin(), versions_.end(),
                                  [](const FileEntry& version) { return !version.GetCheckedOutTo().empty(); });
  return found == versions_.end() ? -1 : static_cast<int>(found - versions_.begin());
}

std::string FileStatistics::GetCheckOutReference() const {
  const int holder = FirstCheckedOutIndex();
  return holder < 0 ? std::string() : GetVersion(holder).GetCheckOutReference();
}

int FileStatistics::CheckOutVersion(const std::string& user, const std::string& reference, int number) {
  // An empty reference would match any other empty one and let a second user
  // believe the check-out was theirs.
  if (user.empty() || reference.empty()) return kCheckOutWithoutHolder;
  if (FirstCheckedOutIndex() >= 0) return GetCheckOutReference() == reference ? 0 : kAlreadyCheckedOut;
  const auto last = std::find_if(versions_.rbegin(), versions_.rend(),
                                 [number](const FileEntry& version) { return version.GetVersion() == number; });
  if (last == versions_.rend()) return kVersionNotFound;

  last->SetCheckedOutTo(user);
  last->SetCheckedOutTime(false);
  last->SetCheckOutReference(reference);
  last->SetCheckOutStatus(kCheckedOut);
  SetHeader(*last);
  return 0;
}

int FileStatistics::CancelCheckOut() {
  const int index = FirstCheckedOutIndex();
  if (index < 0) return 0;
  FileEntry& holder = GetVersion(index);
  holder.SetCheckedOutTo("");
  holder.SetCheckedOutTime(true);
  holder.SetCheckOutStatus(kNotCheckedOut);
  holder.SetCheckInStatus(kCheckedIn);
  SetHeader(holder);
  return 0;
}

int FileStatistics::CheckInVersion(const std::string& user, const std::string& reference, int fileSize,
                                   const std::string& comments, const std::string& internalProjectName,
                                   int linkVersion) {
  const int index = FirstCheckedOutIndex();
  if (index < 0) return kNothingCheckedOut;
  FileEntry& holder = GetVersion(index);
  if (!reference.empty() && reference != holder.GetCheckOutReference()) return kCheckedOutByOther;
  if (holder.GetCheckedOutTo() != user) return kCheckedOutByOther;

  const int latest = GetLatestVersionIndex();
  FileEntry created = holder;
  created.SetAuthor(user);
  created.SetCheckedOutTo("");
  created.SetCheckInStatus(kCheckedIn);
  created.StampCreated();
  created.SetCheckOutReference("");
  created.SetCheckOutStatus(kNotCheckedOut);
  created.SetCheckedOutTime(true);
  created.SetComments(comments);
  created.SetFileSize(fileSize);
  created.SetInternalProjectName(internalProjectName);
  created.SetLinkVersion(linkVersion);
  created.SetOriginalEdition(false);
  created.SetVersion(GetVersion(latest).GetVersion() + 1);

  holder.SetCheckedOutTo("");
  holder.SetCheckInStatus(kCheckedIn);
  holder.SetCheckOutReference("");
  holder.SetCheckOutStatus(kNotCheckedOut);

  versions_.push_back(created);
  SetHeader(created);
  return 0;
}

std::size_t FileStatistics::ApproximateBytes() const {
  std::size_t bytes = FileEntry::ApproximateBytes() + sizeof(FileStatistics) - sizeof(FileEntry) + ownerProject_.size();
  for (const FileEntry& version : versions_) bytes += version.ApproximateBytes();
  return bytes;
}

std::string FileStatistics::EncodeVersions(std::pair<std::size_t, std::size_t>* latestRow) const {
  const auto original = std::find_if(versions_.begin(), versions_.end(),
                                     [](const FileEntry& version) { return version.IsOriginalEdition(); });
  const int originalIndex = original == versions_.end() ? -1 : static_cast<int>(original - versions_.begin());
  std::string body = AppendIntField(GetVersionCount(), "");
  body = EndRecord(AppendIntField(originalIndex, body));
  const int latest = GetLatestVersionIndex();
  if (latestRow != nullptr) *latestRow = {0, 0};
  for (int index = GetVersionCount() - 1; index >= 0; --index) {
    const std::size_t start = body.size();
    versions_[static_cast<std::size_t>(index)].EncodeRow(body);
    if (index == latest && latestRow != nullptr) *latestRow = {start, body.size() - start};
  }
  return body;
}

int FileStatistics::Save(const std::string& path) const {
  if (!RecordFolderExists(path)) return kCannotOpen;
  std::string content;
  const int result = Encode(content);
  if (result != 0) return result;
  return platform::AtomicFile::Write(path, content) ? 0 : kCannotOpen;
}

int FileStatistics::Encode(std::string& text) const {
  std::ostringstream content;
  WriteRecordLine(content, kFrameStart);
  WriteRecordLine(content, ownerProject_);
  int result = FileEntry::Write(content);
  if (result != 0) return result;
  WriteRecordLine(content, kArrayStart);
  for (const FileEntry& version : versions_) {
    result = version.Write(content);
    if (result != 0) return result;
  }
  WriteRecordLine(content, kArrayEnd);
  WriteRecordLine(content, kFrameEnd);
  if (!content) return kCannotOpen;
  text = content.str();
  return 0;
}

int FileStatistics::Load(const std::string& path, int& lineCounter) {
  Clear();
  std::ifstream in;
  if (OpenRecordFile(path, in) != RecordFileOpening::Opened) return kCannotOpen;
  return LoadFrom(in, lineCounter);
}

int FileStatistics::LoadFrom(std::istream& in, int& lineCounter) {
  Clear();
  lineCounter = 1;

  int result = 0;
  std::string line = ReadRecordLine(in, lineCounter, kFrameEndOfFile, result);
  if (result != 0 || line != kFrameStart) return kFrameStartMissing;
  ownerProject_ = ReadRecordLine(in, lineCounter, kFrameEndOfFile, result);
  if (result != 0) return result;
  result = FileEntry::Read(in, lineCounter, "");
  if (result != 0) return result;
  line = ReadRecordLine(in, lineCounter, kFrameEndOfFile, result);
  if (result != 0) return result;
  if (line != kArrayStart) return kArrayStartMissing;

  line.clear();
  while (line != kFrameEnd && line != kArrayEnd && line != kLinksStart) {
    FileEntry version;
    result = version.Read(in, lineCounter, line);
    if (result != 0) return result;
    versions_.push_back(version);
    line = ReadRecordLine(in, lineCounter, kFrameEndOfFile, result);
    if (result != 0) return result;
  }
  if (line != kArrayEnd) return kArrayNotClosed;
  line = ReadRecordLine(in, lineCounter, kFrameEndOfFile, result);
  if (result != 0) return result;
  return line == kFrameEnd ? 0 : kFrameEndMissing;
}
