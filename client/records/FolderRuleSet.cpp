#include "client/records/FolderRuleSet.h"

#include <algorithm>

#include "common/RecordFields.h"
#include "common/StringHelpers.h"

namespace {

std::string ReadHeader(const std::string& text, std::int32_t& recordType, std::int32_t& inclusions,
                       std::int32_t& exclusions) {
  std::int32_t version = 0;
  std::string rest = ReadIntField(recordType, text);
  rest = ReadIntField(version, rest);
  rest = ReadIntField(inclusions, rest);
  return ReadIntField(exclusions, rest);
}

// One scanned entry as the rules see it.
struct Entry {
  std::string name;         // N
  std::string path;         // Q: folder, '/', name
  std::string folderPath;   // F': the folder without a trailing '/'
  std::string folderName;   // L': the folder's last component
  bool isFolder;
};

Entry Describe(const std::string& folder, const std::string& name, bool isFolder) {
  Entry entry{name, EnsureTrailingBackslash(folder) + name, StripTrailingBackslash(folder), "", isFolder};
  const std::size_t slash = entry.folderPath.rfind('/');
  entry.folderName = slash == std::string::npos ? entry.folderPath : entry.folderPath.substr(slash + 1);
  return entry;
}

// The entry's name matches `namePattern` or its path matches the parameter
// without a trailing separator.
bool NameOrPathMatches(const Entry& entry, const std::string& namePattern, const std::string& parameter) {
  return WildcardMatchNoCase(entry.name, namePattern) ||
         WildcardMatchNoCase(entry.path, StripTrailingBackslash(parameter));
}

bool ExclusionApplies(const FolderRule& rule, const Entry& entry) {
  const std::string parameter = rule.GetParameter();
  const std::string bare = StripTrailingBackslash(parameter);
  switch (rule.GetType()) {
    case FolderRule::kNoFolders:
      return entry.isFolder;
    case FolderRule::kNoFoldersNamed:
      return entry.isFolder && NameOrPathMatches(entry, bare, parameter);
    case FolderRule::kNoDocumentsNamed:
      return !entry.isFolder && NameOrPathMatches(entry, parameter, parameter);
    case FolderRule::kNoSubFoldersOfFoldersNamed:
      return entry.isFolder &&
             (WildcardMatchNoCase(entry.folderName, bare) || WildcardMatchNoCase(entry.folderPath, bare));
    default:
      return false;
  }
}

bool InclusionApplies(const FolderRule& rule, const Entry& entry) {
  const std::string parameter = rule.GetParameter();
  switch (rule.GetType()) {
    case FolderRule::kAllFolders:
      return entry.isFolder;
    case FolderRule::kFoldersNamed:
      return entry.isFolder && NameOrPathMatches(entry, StripTrailingBackslash(parameter), parameter);
    case FolderRule::kAllDocuments:
      return !entry.isFolder;
    case FolderRule::kDocumentsNamed:
      return !entry.isFolder && NameOrPathMatches(entry, parameter, parameter);
    default:
      return false;
  }
}

}  // namespace

bool FolderRuleSet::RuleList::Add(const FolderRule& rule) {
  if (!keys_.emplace(rule.GetType(), rule.GetParameter()).second) return false;
  rules_.push_back(rule);
  return true;
}

void FolderRuleSet::RuleList::Remove(std::int32_t type, const std::string& parameter) {
  if (keys_.erase({type, parameter}) == 0) return;
  rules_.erase(std::find(rules_.begin(), rules_.end(), FolderRule(type, parameter)));
}

void FolderRuleSet::RuleList::Clear() {
  rules_.clear();
  keys_.clear();
}

void FolderRuleSet::RemoveAll() {
  inclusions_.Clear();
  exclusions_.Clear();
}

bool FolderRuleSet::AddInclusion(std::int32_t type, const std::string& parameter) {
  FolderRule rule;
  rule.SetType(type);
  return rule.SetParameter(parameter) && inclusions_.Add(rule);
}

bool FolderRuleSet::AddInclusion(const FolderRule& rule) { return inclusions_.Add(rule); }

bool FolderRuleSet::AddExclusion(std::int32_t type, const std::string& parameter) {
  FolderRule rule;
  rule.SetType(type);
  return rule.SetParameter(parameter) && exclusions_.Add(rule);
}

bool FolderRuleSet::AddExclusion(const FolderRule& rule) { return exclusions_.Add(rule); }

void FolderRuleSet::RemoveInclusion(std::int32_t type, const std::string& parameter) {
  inclusions_.Remove(type, parameter);
}

void FolderRuleSet::RemoveExclusion(std::int32_t type, const std::string& parameter) {
  exclusions_.Remove(type, parameter);
}

std::string FolderRuleSet::ToRecordString() const { return ToRecordString(""); }

std::string FolderRuleSet::ToRecordString(const std::string& text) const {
  std::string record = AppendIntField(kRecordType, text);
  record = AppendIntField(1, record);
  record = AppendIntField(GetInclusionCount(), record);
  record = EndRecord(AppendIntField(GetExclusionCount(), record));
  // Appended in place: the record ends in a line feed, so each rule line follows as is.
  for (const FolderRule& rule : inclusions_.Rules()) record += rule.ToRecordString();
  for (const FolderRule& rule : exclusions_.Rules()) record += rule.ToRecordString();
  return record;
}

std::size_t FolderRuleSet::ReadRules(const std::string& text, std::size_t pos, std::int32_t count, RuleList& list,
                                     bool& ended) {
  for (std::int32_t i = 0; i < count && !ended; ++i) {
    const std::size_t lineFeed = text.find('\n', pos);
    const std::size_t lineEnd = lineFeed == std::string::npos ? text.size() : lineFeed + 1;
    const std::string line = text.substr(pos, lineEnd - pos);
    FolderRule rule;
    const std::size_t left = rule.FromRecordString(line).size();
    ended = left == line.size();
    if (!ended) {
      list.Add(rule);
      pos = lineEnd - left;
    }
  }
  return pos;
}

std::string FolderRuleSet::FromRecordString(const std::string& text) {
  RemoveAll();
  std::int32_t recordType = 0;
  std::int32_t inclusions = 0;
  std::int32_t exclusions = 0;
  const std::string rest = ReadHeader(text, recordType, inclusions, exclusions);
  if (recordType != kRecordType) return text;
  bool ended = false;
  std::size_t pos = ReadRules(rest, 0, inclusions, inclusions_, ended);
  pos = ReadRules(rest, pos, exclusions, exclusions_, ended);
  return rest.substr(pos);
}

bool FolderRuleSet::Read(std::istream& in) {
  RemoveAll();
  if (in.fail()) return false;
  std::string header;
  if (!ReadRecordOfType(in, kRecordType, header)) return false;
  std::int32_t recordType = 0;
  std::int32_t inclusions = 0;
  std::int32_t exclusions = 0;
  ReadHeader(header, recordType, inclusions, exclusions);
  return ReadRuleLines(in, inclusions, inclusions_) && ReadRuleLines(in, exclusions, exclusions_);
}

bool FolderRuleSet::ReadRuleLines(std::istream& in, std::int32_t count, RuleList& list) {
  for (std::int32_t i = 0; i < count; ++i) {
    FolderRule rule;
    if (!rule.Read(in)) return false;
    list.Add(rule);
  }
  return true;
}

bool FolderRuleSet::Write(std::ostream& out) const {
  if (out.fail()) return false;
  out << ToRecordString();
  return !out.fail();
}

bool FolderRuleSet::Keeps(const std::string& folder, const std::string& name, bool isFolder) const {
  const Entry entry = Describe(folder, name, isFolder);
  const auto excludes = [&](const FolderRule& rule) { return ExclusionApplies(rule, entry); };
  const auto includes = [&](const FolderRule& rule) { return InclusionApplies(rule, entry); };
  return std::none_of(exclusions_.Rules().begin(), exclusions_.Rules().end(), excludes) &&
         std::any_of(inclusions_.Rules().begin(), inclusions_.Rules().end(), includes);
}
