#pragma once
// What the document list's filter box and Find in Library look for: a piece of the
// name (ASCII letters matched without case), who holds a check-out (the user, a named
// holder, anyone) and a date the document changed on or after. An empty filter
// matches every document.
#include <optional>
#include <string>

#include "client/library/DocumentVersionEntry.h"
#include "client/library/VersionedDocument.h"
#include "common/DateTime.h"

class DocumentFilter {
 public:
  enum class Holder { kAny, kMe, kAnyone, kNamed };

  void SetNameContains(const std::string& text) { nameContains_ = text; }
  // kNamed reads `name` (ASCII letters matched without case); the others ignore it.
  void SetHolder(Holder holder, const std::string& name = std::string()) {
    holder_ = holder;
    holderName_ = name;
  }
  void SetChangedSince(std::optional<DateTime> since) { changedSince_ = since; }

  bool IsEmpty() const;
  // One version: its name, its holder and its date. `userName` is who "me" is.
  bool Matches(const DocumentVersionEntry& version, const std::string& userName) const;
  // A document matches when one of its versions has the name, one is held as asked
  // and one changed since the date (not necessarily the same version).
  bool Matches(const VersionedDocument& document, const std::string& userName) const;

 private:
  bool NameMatches(const std::string& name) const;
  bool HolderMatches(const std::string& holder, const std::string& userName) const;
  bool DateMatches(const DateTime& date) const;

  std::string nameContains_;
  Holder holder_ = Holder::kAny;
  std::string holderName_;
  std::optional<DateTime> changedSince_;
};
