#pragma once
// One inclusion or exclusion rule for adding a folder tree: a rule type (-1 none,
// 1-3 and 5 inclusions, 6-9 exclusions) and, for the types that take one, a name
// or path pattern. Record line: 1000,1,type,"parameter"\n
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

class FolderRule {
 public:
  static constexpr std::int32_t kRecordType = 1000;
  static constexpr std::int32_t kNone = -1;
  // Inclusions.
  static constexpr std::int32_t kAllFolders = 1;
  static constexpr std::int32_t kFoldersNamed = 2;
  static constexpr std::int32_t kAllDocuments = 3;
  static constexpr std::int32_t kDocumentsNamed = 5;
  // Exclusions.
  static constexpr std::int32_t kNoFolders = 6;
  static constexpr std::int32_t kNoFoldersNamed = 7;
  static constexpr std::int32_t kNoDocumentsNamed = 8;
  static constexpr std::int32_t kNoSubFoldersOfFoldersNamed = 9;

  FolderRule() = default;
  // A rule with a parameter that holds a line break is cleared instead.
  FolderRule(std::int32_t type, const std::string& parameter);

  // Type -1, parameter empty.
  void Clear();
  std::int32_t GetType() const { return type_; }
  void SetType(std::int32_t type) { type_ = type; }
  std::string GetParameter() const { return parameter_; }
  // Refuses (false, unchanged) a parameter with a line break: it would split the
  // rule's record line.
  bool SetParameter(const std::string& parameter);

  std::string ToRecordString() const;
  // `text` followed by the rule's line; a ',' goes between them when `text` is not
  // empty and ends neither in a line feed nor in ','.
  std::string ToRecordString(const std::string& text) const;
  // Reads a rule line from the front of `text` and returns the rest (always
  // shorter than `text`). A line of another record type, or whose parameter holds
  // a line break, clears the rule and returns `text` unchanged.
  std::string FromRecordString(const std::string& text);

  // Stream forms. Reading fails on a failed stream, at its end, when the next line
  // is no rule record (the line stays in the stream) or holds a broken rule.
  bool Read(std::istream& in);
  bool Write(std::ostream& out) const;

  bool operator==(const FolderRule&) const = default;

 private:
  std::int32_t type_ = kNone;
  std::string parameter_;
};
