#include "common/StringHelpers.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr std::string_view kWordSeparators = "| \r\n\t,";

char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string UpperAscii(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), ToUpperAscii);
  return s;
}

// Replaces 'from' by 'to' everywhere except in the last position.
void ReplaceExceptLast(std::string& s, char from, char to) {
  if (s.empty()) return;
  std::replace(s.begin(), s.end() - 1, from, to);
}

bool IsFolderSeparator(char c) { return c == '/' || c == '\\'; }

// Finds 'piece' at or after 'cursor' and moves the cursor past it. A cursor
// beyond the end of the name finds nothing, not even an empty piece.
bool FindPiece(std::string_view name, std::string_view piece, std::size_t& cursor) {
  if (cursor > name.size()) return false;
  const std::size_t at = name.find(piece, cursor);
  if (at == std::string_view::npos) return false;
  cursor = at + piece.size();
  return true;
}

}  // namespace

std::string& TrimString(std::string& s) {
  const std::size_t first = s.find_first_not_of(kWhiteSpace);
  if (first == std::string::npos) {
    s.clear();
    return s;
  }
  const std::size_t last = s.find_last_not_of(kWhiteSpace);
  s = s.substr(first, last - first + 1);
  return s;
}

std::string& QuotesToBars(std::string& s) {
  TrimString(s);
  std::replace(s.begin(), s.end(), '\'', '|');
  return s;
}

std::string& BarsToQuotes(std::string& s) {
  std::replace(s.begin(), s.end(), '|', '\'');
  return s;
}

std::string& SpaceAfterCommas(std::string& s) {
  std::string out;
  out.reserve(s.size() + s.size() / 4);
  for (std::size_t i = 0; i < s.size(); ++i) {
    out += s[i];
    const bool last = i + 1 == s.size();
    if (s[i] == ',' && !last && s[i + 1] != ' ') out += ' ';
  }
  s = std::move(out);
  return s;
}

std::string& CapitaliseWords(std::string& s) {
  QuotesToBars(s);
  std::transform(s.begin(), s.end(), s.begin(), ToLowerAscii);
  if (!s.empty()) s[0] = ToUpperAscii(s[0]);
  for (std::size_t i = 0; i + 1 < s.size(); ++i) {
    if (kWordSeparators.find(s[i]) != std::string_view::npos) s[i + 1] = ToUpperAscii(s[i + 1]);
  }
  return SpaceAfterCommas(s);
}

std::string& EscapeLineBreaks(std::string& s) {
  QuotesToBars(s);
  ReplaceExceptLast(s, kCr, kStoredCr);
  ReplaceExceptLast(s, kLf, kStoredLf);
  return SpaceAfterCommas(s);
}

std::string& UnescapeLineBreaks(std::string& s) {
  ReplaceExceptLast(s, kStoredCr, kCr);
  ReplaceExceptLast(s, kStoredLf, kLf);
  return s;
}

std::string StripTrailingBackslash(const std::string& s) {
  if (!s.empty() && s.back() == '/') return s.substr(0, s.size() - 1);
  return s;
}

std::string EnsureTrailingBackslash(const std::string& s) {
  if (s.empty() || s.back() == '/') return s;
  return s + '/';
}

std::string LineBreaksToSpaces(const std::string& s) {
  std::string out = s;
  ReplaceExceptLast(out, kCr, ' ');
  ReplaceExceptLast(out, kLf, ' ');
  return out;
}

bool WildcardMatchNoCase(const std::string& name, const std::string& pattern) {
  return WildcardMatch(UpperAscii(name), UpperAscii(pattern));
}

bool WildcardMatch(const std::string& name, const std::string& pattern) {
  std::string_view subject = name;
  const bool patternHasFolder = std::any_of(pattern.begin(), pattern.end(), IsFolderSeparator);
  const auto lastSeparator = std::find_if(subject.rbegin(), subject.rend(), IsFolderSeparator);
  if (!patternHasFolder && lastSeparator != subject.rend()) {
    subject.remove_prefix(static_cast<std::size_t>(subject.rend() - lastSeparator));
  }

  const std::string_view pat = pattern;
  std::size_t wildcard = pat.find_first_of("*?");
  if (wildcard == std::string_view::npos) return subject == pat;

  // Piece 0 and the wildcard after it.
  std::size_t cursor = 0;
  std::string_view piece = pat.substr(0, wildcard);
  if (piece.empty()) {
    cursor = pat[wildcard] == '?' ? 1 : 0;
  } else if (!FindPiece(subject, piece, cursor)) {
    return false;
  }
  // Every later piece runs from one wildcard to the next one (or the end); a '?'
  // after a piece moves the cursor on before that piece is searched.
  while (wildcard != std::string_view::npos) {
    const std::size_t start = wildcard + 1;
    wildcard = pat.find_first_of("*?", start);
    const std::size_t end = wildcard == std::string_view::npos ? pat.size() : wildcard;
    piece = pat.substr(start, end - start);
    if (wildcard != std::string_view::npos && pat[wildcard] == '?') {
      ++cursor;
      if (cursor >= subject.size()) return false;
    }
    if (!FindPiece(subject, piece, cursor)) return false;
  }
  return true;
}

bool HasBalancedQuotes(const std::string& s) {
  std::size_t quotes = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '"' && (i == 0 || s[i - 1] != '\\')) ++quotes;
  }
  return quotes % 2 == 0;
}
