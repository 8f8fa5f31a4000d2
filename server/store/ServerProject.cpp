#include "server/store/ServerProject.h"

#include <array>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>
#include <vector>

#include "common/RecordFields.h"
#include "common/StringHelpers.h"
#include "platform/AtomicFile.h"
#include "platform/fs.h"
#include "server/store/RecordLines.h"

namespace {

constexpr const char* kStartProject = "Start Project";
constexpr const char* kEndProject = "End Project";
constexpr const char* kStartSubProjects = "Start Sub Projects";
constexpr const char* kEndSubProjects = "End Sub Projects";
constexpr const char* kStartEdition = "Start Edition";
constexpr const char* kEndEdition = "End Edition";
constexpr const char* kStartSupplement = "Start Supplement";
constexpr const char* kEndSupplement = "End Supplement";

bool IsMarker(const std::string& line) {
  static constexpr std::array<std::string_view, 8> kMarkers = {
      kStartProject, kEndProject, kStartSubProjects, kEndSubProjects,
      kStartEdition, kEndEdition, kStartSupplement,  kEndSupplement};
  for (std::string_view marker : kMarkers) {
    if (line == marker) return true;
  }
  return false;
}

std::string Trimmed(const std::string& value) {
  std::string copy = value;
  TrimString(copy);
  return copy;
}

// The record's inventory line without its line feed; comment line breaks become
// field line breaks.
template <typename Record>
std::string InventoryRecordLine(Record record) {
  std::string comments = record.GetComments();
  EncodeFieldLineBreaks(comments);
  record.SetComments(comments);
  std::string line = record.Encode("");
  if (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

template <typename Record>
void DecodeCommentLineBreaks(Record& record) {
  std::string comments = record.GetComments();
  DecodeFieldLineBreaks(comments);
  record.SetComments(comments);
}

// What a failed Read found, for a person repairing the file.
std::string DescribeReadFailure(int code, const std::istream& in) {
  switch (code) {
    case ServerProject::kMissingStart:
      return "does not begin with \"Start Project\"";
    case ServerProject::kMissingEnd:
      return "does not end with \"End Project\"";
    case ServerProject::kTooDeep:
      return "nests sub-projects deeper than " + std::to_string(ServerProject::kMaxTreeDepth) + " levels";
    default:
      return in.eof() ? "ends before its \"End Project\""
                      : "holds a line longer than " + std::to_string(kMaxRecordLineLength) +
                            " bytes or a record that cannot be read";
  }
}

}  // namespace

ServerProject::ServerProject(const ServerProject& other) { CopyFrom(other); }

ServerProject& ServerProject::operator=(const ServerProject& other) {
  if (this == &other) return *this;
  ServerProject copy(other);  // `other` may lie inside this subtree
  Clear();
  name_ = std::move(copy.name_);
  folderPath_ = std::move(copy.folderPath_);
  internalName_ = std::move(copy.internalName_);
  edition_ = copy.edition_;
  supplement_ = copy.supplement_;
  originalProject_ = copy.originalProject_;
  withinEdition_ = copy.withinEdition_;
  withinSupplement_ = copy.withinSupplement_;
  subProjects_ = copy.subProjects_;
  copy.subProjects_.RemoveAll();  // the children now belong to this node
  return *this;
}

ServerProject::~ServerProject() { DeleteSubProjects(); }

void ServerProject::CopyFrom(const ServerProject& other) {
  name_ = other.name_;
  folderPath_ = other.folderPath_;
  internalName_ = other.internalName_;
  edition_ = other.edition_;
  supplement_ = other.supplement_;
  originalProject_ = other.originalProject_;
  withinEdition_ = other.withinEdition_;
  withinSupplement_ = other.withinSupplement_;
  for (int i = 0; i < other.subProjects_.GetSize(); ++i) {
    subProjects_.Add(new ServerProject(*other.subProjects_.GetAt(i)));
  }
}

void ServerProject::DeleteSubProjects() {
  for (int i = 0; i < subProjects_.GetSize(); ++i) delete subProjects_.GetAt(i);
  subProjects_.RemoveAll();
}

void ServerProject::Clear() {
  name_.clear();
  folderPath_.clear();
  internalName_.clear();
  edition_.Clear();
  supplement_.Clear();
  originalProject_ = false;
  withinEdition_ = false;
  withinSupplement_ = false;
  DeleteSubProjects();
}

void ServerProject::SetName(const std::string& name) { name_ = Trimmed(name); }
void ServerProject::SetFolderPath(const std::string& folderPath) { folderPath_ = Trimmed(folderPath); }
void ServerProject::SetInternalName(const std::string& internalName) { internalName_ = Trimmed(internalName); }

int ServerProject::AddSubProject(const ServerProject& node) {
  int index = -1;
  return AddSubProject(node, index);
}

int ServerProject::AddSubProject(const ServerProject& node, int& index) {
  index = -1;
  if (node.name_.empty()) return kEmptyName;
  if (node.folderPath_.empty()) return kEmptyFolderPath;
  if (node.internalName_.empty()) return kEmptyInternalName;
  index = subProjects_.Add(new ServerProject(node));
  return kOk;
}

ServerProject* ServerProject::GetSubProject(int index) {
  ServerProject* child = subProjects_.GetAt(index);
  return child != nullptr ? child : this;
}

int ServerProject::Write(std::ostream& out) const {
  if (!out) return kWriteFailed;
  // Built aside: a refused block leaves nothing on the stream.
  std::ostringstream block;
  const int result = WriteBlock(block, 1);
  if (result != kOk) return result;
  out << block.str();
  return out ? kOk : kWriteFailed;
}

int ServerProject::WriteBlock(std::ostream& out, int level) const {
  if (level > kMaxTreeDepth) return kWriteFailed;
  const auto line = [&out](std::string_view text) {
    if (FitsRecordLine(text, "\n")) {
      out << text << '\n';
    } else {
      out.setstate(std::ios::failbit);
    }
    return static_cast<bool>(out);
  };
  const auto flag = [](bool value) { return std::string(value ? "1" : "0"); };
  if (!line(kStartProject) || !line(name_) || !line(folderPath_) || !line(internalName_) ||
      !line(flag(originalProject_)) || !line(flag(withinEdition_)) || !line(flag(withinSupplement_))) {
    return kWriteFailed;
  }
  if (HasSubProjects()) {
    if (!line(kStartSubProjects)) return kWriteFailed;
    for (int i = 0; i < subProjects_.GetSize(); ++i) {
      const int result = subProjects_.GetAt(i)->WriteBlock(out, level + 1);
      if (result != kOk) return result;
    }
    if (!line(kEndSubProjects)) return kWriteFailed;
  }
  if (!line(kStartEdition) || !line(InventoryRecordLine(edition_)) || !line(kEndEdition) || !line(kStartSupplement) ||
      !line(InventoryRecordLine(supplement_)) || !line(kEndSupplement) || !line(kEndProject)) {
    return kWriteFailed;
  }
  return kOk;
}

std::string ServerProject::ReadLine(std::istream& in, int& status) {
  std::string raw;
  while (ReadWholeLine(in, raw)) {
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n')) raw.pop_back();
    std::string cleaned = raw;
    CapitaliseWords(cleaned);
    BarsToQuotes(cleaned);
    if (IsMarker(cleaned)) {
      status = kOk;
      return cleaned;
    }
    if (cleaned.empty() || cleaned.front() == '!') continue;
    status = kOk;
    return Trimmed(raw);
  }
  status = kReadFailed;
  return std::string();
}

int ServerProject::Read(std::istream& in, const std::string& readAhead) { return ReadBlock(in, readAhead, 1); }

int ServerProject::ReadBlock(std::istream& in, const std::string& readAhead, int level) {
  Clear();
  int status = kOk;
  std::string line = readAhead;
  const auto next = [&in, &status, &line] {
    line = ReadLine(in, status);
    return status == kOk;
  };
  if (line.empty() && !next()) return status;
  if (line != kStartProject) return kMissingStart;

  if (!next()) return status;
  SetName(line);
  if (!next()) return status;
  SetFolderPath(line);
  if (!next()) return status;
  SetInternalName(line);
  bool* const flags[] = {&originalProject_, &withinEdition_, &withinSupplement_};
  for (bool* flag : flags) {
    if (!next()) return status;
    *flag = std::atoi(line.c_str()) != 0;
  }
  if (!next()) return status;

  if (line == kStartSubProjects) {
    if (level >= kMaxTreeDepth) return kTooDeep;
    for (;;) {
      if (!next()) return status;
      if (line == kEndSubProjects) {
        if (!next()) return status;
        break;
      }
      ServerProject child;
      const int result = child.ReadBlock(in, line, level + 1);
      if (result != kOk) return result;
      AddSubProject(child);  // a child without name, path or internal name is dropped
    }
  }
  if (line == kStartEdition) {
    if (!edition_.Read(in)) return kReadFailed;
    DecodeCommentLineBreaks(edition_);
    do {
      if (!next()) return status;
    } while (line == kEndEdition);
  }
  if (line == kStartSupplement) {
    if (!supplement_.Read(in)) return kReadFailed;
    DecodeCommentLineBreaks(supplement_);
    do {
      if (!next()) return status;
    } while (line == kEndSupplement);
  }
  return line == kEndProject ? kOk : kMissingEnd;
}

std::string ServerProject::Encode(std::string text, const std::function<bool(const ServerProject&)>& shown) const {
  std::vector<const ServerProject*> children;
  for (int i = 0; i < subProjects_.GetSize(); ++i) {
    if (!shown || shown(*subProjects_.GetAt(i))) children.push_back(subProjects_.GetAt(i));
  }
  std::string out = AppendStringField(name_, std::move(text));
  out = AppendStringField(internalName_, std::move(out));
  out = AppendIntField(static_cast<std::int32_t>(children.size()), std::move(out));
  out = AppendBoolField(originalProject_, std::move(out));
  out = AppendBoolField(withinEdition_, std::move(out));
  out = AppendBoolField(withinSupplement_, std::move(out));
  out = EndRecord(std::move(out));
  out = edition_.Encode(std::move(out));
  out = supplement_.Encode(std::move(out));
  for (const ServerProject* child : children) out = child->Encode(std::move(out), shown);
  return out;
}

bool ServerProject::WriteInventoryFile(const std::string& path, const PointerArray<ServerProject>& projects) {
  std::string content;
  return EncodeInventory(projects, content) && platform::AtomicFile::Write(path, content);
}

bool ServerProject::EncodeInventory(const PointerArray<ServerProject>& projects, std::string& content) {
  std::ostringstream out;
  for (int i = 0; i < projects.GetSize(); ++i) {
    if (projects.GetAt(i)->Write(out) != kOk) return false;
  }
  content = out.str();
  return true;
}

bool ServerProject::ReadInventoryFile(const std::string& path, PointerArray<ServerProject>& projects,
                                      std::string& fault) {
  fault.clear();
  if (!platform::fs::Exists(path) && !platform::AtomicFile::Write(path, "")) {
    fault = "it is missing and cannot be created";
    return false;
  }
  std::ifstream in;
  if (platform::fs::IsFile(path)) in.open(path, std::ios::binary);
  if (!in.is_open()) {
    fault = "it cannot be opened";
    return false;
  }

  std::vector<std::unique_ptr<ServerProject>> loaded;
  for (;;) {
    int status = kOk;
    const std::string first = ReadLine(in, status);
    if (status != kOk && in.eof() && !in.bad()) break;  // only the end of the file ends the inventory cleanly
    auto project = std::make_unique<ServerProject>();
    const int result = status != kOk ? status : project->Read(in, first);
    if (result != kOk) {
      fault = "top-level project " + std::to_string(loaded.size() + 1) + " " + DescribeReadFailure(result, in);
      return false;
    }
    loaded.push_back(std::move(project));
  }
  for (auto& project : loaded) projects.Add(project.release());
  return true;
}
