#include "server/store/FileEntry.h"

#include <array>
#include <bitset>
#include <string_view>

#include "common/CommentRecordValue.h"
#include "common/RecordFields.h"
#include "common/StringHelpers.h"
#include "server/store/RecordLines.h"
#include "server/store/StoreFilePaths.h"

namespace {

enum Key {
  kName = 1,
  kInternalFileName,
  kInternalProjectName,
  kLinkVersion,
  kVersion,
  kAuthor,
  kCreatedTime,
  kComments,
  kCheckInStatus,
  kCheckedOutTo,
  kCheckedOutTime,
  kCheckOutStatus,
  kFileSize,
  kOriginalEdition,
  kBreakReferenceOnCheckIn,
  kCheckOutReference,
  kKeyCount = kCheckOutReference
};

// Indexed by Key; slot 0 unused.
constexpr std::array<std::string_view, kKeyCount + 1> kKeyNames = {
    "",
    "NAME",
    "INTERNALFILENAME",
    "INTERNALPROJECTNAME",
    "LINKVERSION",
    "VERSION",
    "AUTHOR",
    "VERSIONCREATEDDATETIME",
    "COMMENTS",
    "CHECKINSTATUS",
    "CHECKEDOUTTO",
    "CHECKEDOUTDATETIME",
    "CHECKOUTSTATUS",
    "FILESIZEBYTES",
    "ORIGINALEDITION",
    "BREAKREFERENCEONCHECKIN",
    "CHECKOUTREFERENCE",
};

constexpr std::string_view kStart = "Start FileEntry";
constexpr std::string_view kEnd = "End FileEntry";
constexpr std::string_view kLinksStart = "Start ActiveFileLink";

int KeyNumber(std::string_view key) {
  for (int number = 1; number <= kKeyCount; ++number) {
    if (RecordTextEqualsNoCase(key, kKeyNames[number])) return number;
  }
  return -1;
}

void WriteField(std::ostream& out, Key key, std::string_view value) {
  std::string line(kKeyNames[key]);
  line += '=';
  line += value;
  WriteRecordLine(out, line);
}

void WriteField(std::ostream& out, Key key, int value) { WriteField(out, key, std::to_string(value)); }

}  // namespace

void FileEntry::SetCheckedOutTime(bool reset) {
  if (reset) {
    checkedOutTime_ = DateTime();
  } else {
    checkedOutTime_.SetNow();
  }
}

std::size_t FileEntry::ApproximateBytes() const {
  std::size_t bytes = sizeof(FileEntry) + name_.size() + internalFileName_.size() + internalProjectName_.size() +
                      author_.size() + comments_.size() + checkedOutTo_.size() + checkOutReference_.size();
  for (int i = 0; i < links_.GetCount(); ++i) bytes += sizeof(ActiveFileLinkEntry) + links_.GetAt(i).GetName().size();
  return bytes;
}

std::string FileEntry::GetVersionFileName() const {
  return VersionFileName(internalFileName_, version_);
}

int FileEntry::Write(std::ostream& out) const {
  if (!out) return kNotWritable;
  WriteRecordLine(out, kStart);
  if (!out) return kNotWritable;

  WriteField(out, kName, name_);
  WriteField(out, kInternalFileName, internalFileName_);
  WriteField(out, kInternalProjectName, internalProjectName_);
  WriteField(out, kLinkVersion, linkVersion_);
  WriteField(out, kVersion, version_);
  WriteField(out, kAuthor, author_);
  WriteField(out, kCreatedTime, createdTime_.Format());
  WriteField(out, kComments, CommentToRecordValue(comments_));
  WriteField(out, kCheckInStatus, checkInStatus_);
  WriteField(out, kCheckedOutTo, checkedOutTo_);
  WriteField(out, kCheckedOutTime, checkedOutTime_.Format());
  WriteField(out, kCheckOutStatus, checkOutStatus_);
  WriteField(out, kFileSize, fileSize_);
  WriteField(out, kOriginalEdition, originalEdition_ ? 1 : 0);
  WriteField(out, kBreakReferenceOnCheckIn, breakReferenceOnCheckIn_ ? 1 : 0);
  WriteField(out, kCheckOutReference, checkOutReference_);
  if (!out) return kNotWritable;

  const int result = links_.Write(out);
  if (result != 0) return result;
  WriteRecordLine(out, kEnd);
  return out ? 0 : kNotWritable;
}

int FileEntry::ParseLine(const std::string& rawLine) {
  std::string line = rawLine;
  TrimString(line);
  if (line == kEnd || line == kLinksStart) return 0;
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos || equals == 0) return -1;
  std::string key = line.substr(0, equals);
  std::string value = line.substr(equals + 1);
  TrimString(key);
  TrimString(value);

  const int number = KeyNumber(key);
  switch (number) {
    case kName: name_ = value; break;
    case kInternalFileName: internalFileName_ = value; break;
    case kInternalProjectName: internalProjectName_ = value; break;
    case kLinkVersion: linkVersion_ = RecordTextToInt(value); break;
    case kVersion: version_ = RecordTextToInt(value); break;
    case kAuthor: author_ = value; break;
    case kCreatedTime: createdTime_.Parse(value); break;
    case kComments: comments_ = CommentFromRecordValue(value); break;
    case kCheckInStatus: checkInStatus_ = RecordTextToInt(value); break;
    case kCheckedOutTo: checkedOutTo_ = value; break;
    case kCheckedOutTime: checkedOutTime_.Parse(value); break;
    case kCheckOutStatus: checkOutStatus_ = RecordTextToInt(value); break;
    case kFileSize: fileSize_ = RecordTextToInt(value); break;
    case kOriginalEdition: originalEdition_ = RecordTextToInt(value) != 0; break;
    case kBreakReferenceOnCheckIn: breakReferenceOnCheckIn_ = RecordTextToInt(value) != 0; break;
    case kCheckOutReference: checkOutReference_ = value; break;
    default: break;
  }
  return number;
}

int FileEntry::Read(std::istream& in, int& lineCounter, const std::string& firstLine) {
  if (!in) return kEndOfFile;
  Reset();
  int result = ReadSectionStart(in, lineCounter, firstLine, kStart, kEndOfFile, kStartMissing);
  if (result != 0) return result;

  std::bitset<kKeyCount + 1> seen;
  bool linksSeen = false;
  for (;;) {
    const std::string line = ReadRecordLine(in, lineCounter, kEndOfFile, result);
    if (result != 0) return result;
    const int key = ParseLine(line);
    if (key < 0) return kBadLine;
    if (key == 0) {
      if (line == kEnd) break;
      result = links_.Read(in, lineCounter, line);
      if (result != 0) return result;
      linksSeen = true;
      continue;
    }
    seen.set(static_cast<std::size_t>(key));
    if (key == kName && name_.empty()) return kNameMissing;
    if (key == kInternalFileName && internalFileName_.empty()) return kInternalFileNameMissing;
    if (key == kVersion && version_ < 1) return kVersionMissing;
    if (key == kAuthor && author_.empty()) return kAuthorMissing;
  }

  if (!seen[kName]) return kNameMissing;
  if (!seen[kInternalFileName]) return kInternalFileNameMissing;
  if (seen[kInternalProjectName] && !internalProjectName_.empty() && (!seen[kLinkVersion] || linkVersion_ < 1)) {
    return kLinkVersionMissing;
  }
  // Each key, in the order its absence is reported.
  constexpr std::pair<Key, int> kRequired[] = {
      {kVersion, kVersionMissing},           {kAuthor, kAuthorMissing},
      {kCreatedTime, kCreatedTimeMissing},   {kComments, kCommentsMissing},
      {kCheckInStatus, kCheckInStatusMissing}, {kCheckedOutTo, kCheckedOutToMissing},
      {kCheckedOutTime, kCheckedOutTimeMissing}, {kCheckOutStatus, kCheckOutStatusMissing},
      {kFileSize, kFileSizeMissing},
  };
  for (const auto& [key, code] : kRequired) {
    if (!seen[key]) return code;
  }
  return linksSeen ? 0 : kLinksMissing;
}

std::string& FileEntry::EncodeRow(std::string& line) const {
  // A raw line break would end the row early; the client decodes bytes 1 and 2.
  std::string comments = comments_;
  EncodeFieldLineBreaks(comments);
  line = AppendStringField(name_, std::move(line));
  line = AppendStringField(internalFileName_, std::move(line));
  line = AppendIntField(version_, std::move(line));
  line = AppendIntField(fileSize_, std::move(line));
  line = AppendStringField(author_, std::move(line));
  line = AppendDateTimeField(createdTime_, std::move(line));
  line = AppendStringField(comments, std::move(line));
  line = AppendStringField(checkedOutTo_, std::move(line));
  line = AppendDateTimeField(checkedOutTime_, std::move(line));
  line = AppendBoolField(!internalProjectName_.empty(), std::move(line));
  line = AppendBoolField(links_.GetCount() > 0, std::move(line));
  line = AppendBoolField(originalEdition_, std::move(line));
  line = EndRecord(std::move(line));
  return line;
}
