#include "client/rules/DocumentFilter.h"

#include <algorithm>

namespace {

char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

bool ContainsNoCase(const std::string& text, const std::string& piece) {
  return std::search(text.begin(), text.end(), piece.begin(), piece.end(),
                     [](char x, char y) { return FoldCase(x) == FoldCase(y); }) != text.end();
}

}  // namespace

bool DocumentFilter::IsEmpty() const { return nameContains_.empty() && holder_ == Holder::kAny && !changedSince_; }

bool DocumentFilter::NameMatches(const std::string& name) const {
  return nameContains_.empty() || ContainsNoCase(name, nameContains_);
}

bool DocumentFilter::HolderMatches(const std::string& holder, const std::string& userName) const {
  switch (holder_) {
    case Holder::kAny: return true;
    case Holder::kAnyone: return !holder.empty();
    // An account without a name holds nothing.
    case Holder::kMe: return !holder.empty() && EqualNoCase(holder, userName);
    case Holder::kNamed: return !holder.empty() && EqualNoCase(holder, holderName_);
  }
  return false;
}

bool DocumentFilter::DateMatches(const DateTime& date) const { return !changedSince_ || !(date < *changedSince_); }

bool DocumentFilter::Matches(const DocumentVersionEntry& version, const std::string& userName) const {
  return NameMatches(version.GetName()) && HolderMatches(version.GetCheckedOutTo(), userName) &&
         DateMatches(version.GetVersionDate());
}

bool DocumentFilter::Matches(const VersionedDocument& document, const std::string& userName) const {
  bool name = false;
  bool holder = false;
  bool date = false;
  for (int k = 0; k < document.GetVersionCount(); ++k) {
    const DocumentVersionEntry& version = *document.GetVersion(k);
    name = name || NameMatches(version.GetName());
    holder = holder || HolderMatches(version.GetCheckedOutTo(), userName);
    date = date || DateMatches(version.GetVersionDate());
  }
  return name && holder && date;
}
