#pragma once
// One version of one document as the server lists it: names, version number, size,
// author and date, comment, check-out holder and date, and three flags of the server's
// entry. One comma-separated line, ended by "\n" (a quoted comment may hold raw line
// breaks); dates are 14 digits YYYYMMDDHHMMSS, flags 1 or 0:
//   "name","index name",version,size,"author","date","comment","checked out to",
//   "check-out date",is reference,is referenced,original edition
#include <cstdint>
#include <string>

#include "common/DateTime.h"
#include "common/QuotedLines.h"

class DocumentVersionEntry {
 public:
  DocumentVersionEntry() { Clear(); }

  // Empty texts, version and size 0, both dates "00000000000000", flags 0.
  void Clear();

  // The text setters store their value trimmed of surrounding white space.
  void SetName(const std::string& name);
  void SetIndexName(const std::string& indexName);
  void SetAuthor(const std::string& author);
  void SetComment(const std::string& comment);
  void SetCheckedOutTo(const std::string& user);
  void SetVersion(std::int32_t version) { version_ = version; }
  void SetFileSize(std::int32_t size) { fileSize_ = size; }
  void SetVersionDate(const DateTime& date) { versionDate_ = date; }
  void SetCheckOutDate(const DateTime& date) { checkOutDate_ = date; }
  void SetHasInternalProjectName(bool flag) { hasInternalProjectName_ = flag; }
  void SetHasReferences(bool flag) { hasReferences_ = flag; }
  void SetOriginalEdition(bool flag) { originalEdition_ = flag; }

  const std::string& GetName() const { return name_; }
  const std::string& GetIndexName() const { return indexName_; }
  std::int32_t GetVersion() const { return version_; }
  std::int32_t GetFileSize() const { return fileSize_; }
  const std::string& GetAuthor() const { return author_; }
  const DateTime& GetVersionDate() const { return versionDate_; }
  const std::string& GetComment() const { return comment_; }
  const std::string& GetCheckedOutTo() const { return checkedOutTo_; }
  const DateTime& GetCheckOutDate() const { return checkOutDate_; }
  bool HasInternalProjectName() const { return hasInternalProjectName_; }
  bool HasReferences() const { return hasReferences_; }
  bool IsOriginalEdition() const { return originalEdition_; }
  bool IsCheckedOut() const { return !checkedOutTo_.empty(); }

  // The entry's line, "\n" included.
  std::string Encode() const;
  // Clears, then reads the twelve fields from the front of `text`; returns the text
  // behind them. Fields missing at the end read as empty, 0 or the cleared date. Line
  // breaks the server sent as bytes 1 and 2 in the comment become CR and LF again.
  std::string Decode(const std::string& text);
  // Decode of one line; whatever follows the twelfth field is ignored.
  void DecodeLine(const std::string& line) { Decode(line); }
  // Decodes the next row of `lines`. False, entry cleared, when no row is left or the
  // row ends inside an open quote (a text cut short in the middle of the row).
  bool ReadRow(QuotedLines& lines);

 private:
  std::string name_;
  std::string indexName_;
  std::int32_t version_ = 0;
  std::int32_t fileSize_ = 0;
  std::string author_;
  DateTime versionDate_;
  std::string comment_;
  std::string checkedOutTo_;
  DateTime checkOutDate_;
  bool hasInternalProjectName_ = false;
  bool hasReferences_ = false;
  bool originalEdition_ = false;
};
