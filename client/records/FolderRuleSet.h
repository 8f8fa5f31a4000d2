#pragma once
// The inclusion and exclusion rules of one add-folder operation, each list in
// order and free of duplicates (same type and parameter, case counts). Record: a
// header line 1010,1,inclusion count,exclusion count\n followed by one FolderRule
// line per inclusion, then one per exclusion. Reading and writing take time linear
// in the number of rules.
#include <cstdint>
#include <istream>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "client/records/FolderRule.h"

class FolderRuleSet {
 public:
  static constexpr std::int32_t kRecordType = 1010;

  void RemoveAll();

  // Append a copy unless the list holds an equal rule; false when dropped as a
  // duplicate or for a parameter with a line break.
  bool AddInclusion(std::int32_t type, const std::string& parameter);
  bool AddInclusion(const FolderRule& rule);
  bool AddExclusion(std::int32_t type, const std::string& parameter);
  bool AddExclusion(const FolderRule& rule);
  // Remove the first equal rule of that list; nothing when there is none.
  void RemoveInclusion(std::int32_t type, const std::string& parameter);
  void RemoveExclusion(std::int32_t type, const std::string& parameter);

  // Rules by index, 0 <= i < count.
  const FolderRule& GetInclusion(int i) const { return inclusions_.Rules().at(static_cast<std::size_t>(i)); }
  const FolderRule& GetExclusion(int i) const { return exclusions_.Rules().at(static_cast<std::size_t>(i)); }
  int GetInclusionCount() const { return static_cast<int>(inclusions_.Rules().size()); }
  int GetExclusionCount() const { return static_cast<int>(exclusions_.Rules().size()); }

  std::string ToRecordString() const;
  std::string ToRecordString(const std::string& text) const;   // `text` followed by the record
  // Empties the set, then reads a set record from the front of `text` and returns
  // the rest. Another record type leaves the set empty and returns `text`. Rule
  // lines are read while the counts ask for them and the text holds rule lines;
  // reading stops at the first line that is no rule, and the rest starts there.
  // Each rule is read from its own line, as the stream form does.
  std::string FromRecordString(const std::string& text);

  // Stream forms. Reading empties the set and fails on a failed stream, when the
  // next line is no set header, or when a rule the counts ask for is not the next
  // line; writing fails only on a failed stream.
  bool Read(std::istream& in);
  bool Write(std::ostream& out) const;

  // Whether the entry `name` (a sub-folder when `isFolder`, else a document) of
  // the scanned folder `folder` is taken: no exclusion applies and an inclusion
  // does. Patterns match case-insensitively with '*' and '?'.
  bool Keeps(const std::string& folder, const std::string& name, bool isFolder) const;

  bool operator==(const FolderRuleSet&) const = default;

 private:
  // Rules in order, with an index that finds a duplicate in logarithmic time.
  class RuleList {
   public:
    // False when an equal rule is listed.
    bool Add(const FolderRule& rule);
    void Remove(std::int32_t type, const std::string& parameter);
    void Clear();
    const std::vector<FolderRule>& Rules() const { return rules_; }
    bool operator==(const RuleList& other) const { return rules_ == other.rules_; }

   private:
    std::vector<FolderRule> rules_;
    std::set<std::pair<std::int32_t, std::string>> keys_;
  };

  static std::size_t ReadRules(const std::string& text, std::size_t pos, std::int32_t count, RuleList& list,
                               bool& ended);
  static bool ReadRuleLines(std::istream& in, std::int32_t count, RuleList& list);

  RuleList inclusions_;
  RuleList exclusions_;
};
