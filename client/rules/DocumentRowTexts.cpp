#include "client/rules/DocumentRowTexts.h"

#include <algorithm>

#include "common/RecordFields.h"

namespace DocumentRowTexts {
namespace {

bool IsContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The byte length of the first `characters` UTF-8 characters of `text`.
std::size_t PrefixLength(const std::string& text, std::size_t characters) {
  std::size_t at = 0;
  for (std::size_t counted = 0; at < text.size() && counted < characters; ++counted) {
    ++at;
    while (at < text.size() && IsContinuationByte(text[at])) ++at;
  }
  return at;
}

}  // namespace

std::string FileSize(std::int32_t size, const platform::NumberLocale& locale) {
  return platform::GroupDigits(size, locale) + " Bytes";
}

std::string Summary(const std::string& comment) {
  std::string summary = comment.substr(0, PrefixLength(comment, kSummaryCharacters));
  DecodeFieldLineBreaks(summary);
  // Every break, a last one too: the cell has one line.
  std::replace(summary.begin(), summary.end(), '\r', ' ');
  std::replace(summary.begin(), summary.end(), '\n', ' ');
  return summary;
}

std::string VersionStatus(const DocumentVersionEntry& version) {
  return version.IsCheckedOut() ? version.GetCheckedOutTo() + " - Checked out" : " ";
}

std::string DocumentStatus(const DocumentVersionEntry& version) {
  return "Version " + std::to_string(version.GetVersion()) + " " + VersionStatus(version);
}

std::array<std::string, 6> Cells(const DocumentVersionEntry& version, bool versionRow, const std::string& status,
                                 const platform::NumberLocale& locale, const platform::DateLocale& dates) {
  return {(versionRow ? kVersionRowPrefix : "") + version.GetName(),
          std::to_string(version.GetVersion()),
          version.GetVersionDate().FormatForDisplay(4, dates),
          status,
          FileSize(version.GetFileSize(), locale),
          Summary(version.GetComment())};
}

std::string Information(const VersionedDocument& document, int versionIndex, bool preparing,
                        const std::string& projectName, const platform::NumberLocale& locale,
                        const platform::DateLocale& dates) {
  const DocumentVersionEntry* version = document.GetVersion(versionIndex);
  if (version == nullptr) return "";
  std::string text = version->GetName() + "\nProject: " + projectName +
                     "\nVersion: " + std::to_string(version->GetVersion()) + "\n";
  if (versionIndex == document.GetSelectedIndex() && !preparing) text += "This is the original file for this edition\n";
  text += "Author: " + version->GetAuthor() + "\n";
  text += "Date: " + version->GetVersionDate().FormatForDisplay(4, dates) + "\n";
  text += "Size: " + FileSize(version->GetFileSize(), locale) + "\n";
  if (version->IsCheckedOut()) {
    text += "Checked out to " + version->GetCheckedOutTo() + " on " +
            version->GetCheckOutDate().FormatForDisplay(4, dates) + "\n";
  }
  text += "\nComment:\n";
  std::string comment = version->GetComment();
  DecodeFieldLineBreaks(comment);
  for (std::size_t i = 0; i < comment.size(); ++i) {
    if (comment[i] == '\r') comment[i] = i + 1 < comment.size() && comment[i + 1] == '\n' ? ' ' : '\n';
  }
  return text + comment + "\n";
}

}  // namespace DocumentRowTexts
