#pragma once
// Free helpers on byte strings (UTF-8; casing touches ASCII letters only) shared
// by client and server: line normalising for record readers, keeping multi-line
// text on one record line (CR as byte 0xFE, LF as byte 0xFF), trimming, folder
// separators, and the unanchored wildcard match of the folder rules.
#include <string>
#include <string_view>

// How a CR and an LF stand on one record line.
inline constexpr char kStoredCr = static_cast<char>(0xFE);
inline constexpr char kStoredLf = static_cast<char>(0xFF);
// White space for trimming: blank, tab, LF, VT, FF, CR.
inline constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

std::string& TrimString(std::string& s);
// Trims, then every ' becomes |.
std::string& QuotesToBars(std::string& s);
// Every | becomes '.
std::string& BarsToQuotes(std::string& s);
// One blank after every comma that is neither last nor already followed by a blank.
std::string& SpaceAfterCommas(std::string& s);
// Record-line normaliser: trimmed, ' as |, lower case except the first character
// and each character after | blank CR LF tab or comma, a blank after each comma.
std::string& CapitaliseWords(std::string& s);
// QuotesToBars, then CR -> 0xFE and LF -> 0xFF except in the last position, then
// SpaceAfterCommas.
std::string& EscapeLineBreaks(std::string& s);
// 0xFE -> CR and 0xFF -> LF except in the last position; nothing else changes.
std::string& UnescapeLineBreaks(std::string& s);

// The "backslash" helpers work on the platform's folder separator '/'.
// s without its last character when that is '/'; else s.
std::string StripTrailingBackslash(const std::string& s);
// s followed by '/' when s is not empty and does not end in '/'; else s.
std::string EnsureTrailingBackslash(const std::string& s);
// Every CR and LF becomes a blank, except one in the last position.
std::string LineBreaksToSpaces(const std::string& s);

// WildcardMatch of ASCII upper-cased copies of both.
bool WildcardMatchNoCase(const std::string& name, const std::string& pattern);
// '*' and '?' are wildcards; the literal pieces of the pattern are looked for in
// order, not anchored at either end; any number of wildcards. Without wildcards
// the name must equal the pattern. When the name holds a folder separator ('/'
// or '\') and the pattern none, only the part after the last one is matched.
bool WildcardMatch(const std::string& name, const std::string& pattern);
// True when the count of double quotes at position 0 or not preceded by a
// backslash is even.
bool HasBalancedQuotes(const std::string& s);
