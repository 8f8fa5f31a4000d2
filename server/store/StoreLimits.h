#pragma once
// The longest free text (comments, creator) the store takes. Well below a record
// line (kMaxRecordLineLength), so that a record holding several of them, quotes
// doubled, still reads back. Names have their own rule (common/NameValidation.h).
#include <cstddef>
#include <string_view>

inline constexpr std::size_t kMaxFreeTextBytes = 64 * 1024;

// True when `text` may be stored as a free text.
inline bool IsStorableFreeText(std::string_view text) { return text.size() <= kMaxFreeTextBytes; }
