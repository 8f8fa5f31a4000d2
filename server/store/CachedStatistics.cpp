#include "server/store/CachedStatistics.h"

#include <sstream>
#include <string>

#include "server/store/RecordArena.h"

namespace {

// A shared record's block holds the object, the counts of its references and the allocator.
constexpr std::size_t kSharedBlockExtra = 32;

}  // namespace

CachedStatistics::CachedStatistics(const FileStatistics& parsed, std::string_view fileText,
                                   const ArenaAllocator<char>& allocator)
    : text_(allocator) {
  // The latest row is one of the version rows: kept once.
  std::pair<std::size_t, std::size_t> latestRow;
  const std::string versionRows = parsed.EncodeVersions(&latestRow);
  text_.reserve(versionRows.size() + fileText.size());
  text_.append(versionRows).append(fileText);
  latestStart_ = static_cast<std::uint32_t>(latestRow.first);
  latestSize_ = static_cast<std::uint32_t>(latestRow.second);
  rowsEnd_ = versionRows.size();
}

std::shared_ptr<const FileStatistics> CachedStatistics::Statistics() const {
  std::istringstream in{std::string(FileText())};
  auto statistics = std::make_shared<FileStatistics>();
  int lineCounter = 0;
  if (statistics->LoadFrom(in, lineCounter) != 0) return nullptr;
  return statistics;
}

std::size_t CachedStatistics::Bytes() const {
  return RecordArena::BlockBytes(sizeof(CachedStatistics) + kSharedBlockExtra) + RecordArena::BlockBytes(text_.capacity() + 1);
}
