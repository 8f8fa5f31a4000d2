#pragma once
// The texts the document list shows for one document version: its six cells, the
// status forms of a version and of a document, and the information text of a row.
#include <array>
#include <cstdint>
#include <string>

#include "client/library/DocumentVersionEntry.h"
#include "client/library/VersionedDocument.h"
#include "platform/Clock.h"
#include "platform/NumberLocale.h"

namespace DocumentRowTexts {

constexpr std::size_t kSummaryCharacters = 150;
constexpr const char* kVersionRowPrefix = "  -> ";

// The size grouped by the locale, then " Bytes": "1,000 Bytes".
std::string FileSize(std::int32_t size, const platform::NumberLocale& locale);
// The comment's first kSummaryCharacters UTF-8 characters (never part of one), its
// record-field line breaks decoded and every CR and LF shown as a blank.
std::string Summary(const std::string& comment);
// "<holder> - Checked out" for a checked-out version, else one blank.
std::string VersionStatus(const DocumentVersionEntry& version);
// "Version <number> <version status>": the status a document row shows for one
// checked-out version of its document.
std::string DocumentStatus(const DocumentVersionEntry& version);

// The cells of a row showing `version`: name (with kVersionRowPrefix on a version
// row), revision, date, `status`, size and summary, in the locales read once per fill.
std::array<std::string, 6> Cells(const DocumentVersionEntry& version, bool versionRow, const std::string& status,
                                 const platform::NumberLocale& locale, const platform::DateLocale& dates);

// The text a right click shows for version `versionIndex` of `document` in the
// project shown as `projectName`: user-facing names, date and size in the given
// locales, the holder of a check-out, and the comment; the original marker appears
// when that version is the document's selected one outside preparation. "" when the
// version does not exist.
std::string Information(const VersionedDocument& document, int versionIndex, bool preparing,
                        const std::string& projectName, const platform::NumberLocale& locale,
                        const platform::DateLocale& dates);

}  // namespace DocumentRowTexts
