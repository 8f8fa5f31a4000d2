#pragma once
// A statistics record as the record cache keeps it: the record file's text and the
// rows of the document lists encoded from it, in one block of the cache's arena.
// The lists are served from the rows; whoever needs the record itself gets it read
// again from the text, which is what the disk gives back.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "server/store/ArenaAllocator.h"
#include "server/store/FileStatistics.h"

class CachedStatistics {
 public:
  // `fileText` is the record file's text and `parsed` what it reads as.
  CachedStatistics(const FileStatistics& parsed, std::string_view fileText, const ArenaAllocator<char>& allocator);

  // The latest version's row; "" when no version is above 0.
  std::string_view LatestRow() const { return std::string_view(text_).substr(latestStart_, latestSize_); }
  // The version-list rows.
  std::string_view VersionRows() const { return std::string_view(text_).substr(0, rowsEnd_); }
  // The record read from its file's text; null when the text does not read.
  std::shared_ptr<const FileStatistics> Statistics() const;
  // What the record takes of the arena, its own block included.
  std::size_t Bytes() const;

 private:
  std::string_view FileText() const { return std::string_view(text_).substr(rowsEnd_); }

  ArenaString text_;  // the version rows, then the file's text
  std::uint32_t latestStart_ = 0;
  std::uint32_t latestSize_ = 0;
  std::size_t rowsEnd_ = 0;
};
