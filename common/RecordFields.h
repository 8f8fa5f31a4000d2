#pragma once
// Comma-separated record fields. A record is one line: fields separated by commas,
// ended by one line feed. Integers and flags are bare decimals ("%d", 1/0); strings are
// in double quotes with every inner double quote doubled; a date-time is a string field
// of its 14 digits. Example: 1030,1,"<E> First","WXFiName_Hi0Lo7","20040301123005",""\n
//
// Writers take the value and the line so far and return the new line; a comma goes in
// front of the field unless the line is empty or ends in a line feed, so several records
// can follow one another in one string. Readers take one field off the front of a text,
// store it in the out-argument and return the rest behind the field. Readers never fail
// and never look outside the text they are given: a missing field reads as 0, false or
// empty and leaves an empty rest.
#include <cstdint>
#include <istream>
#include <string>

#include "common/DateTime.h"

// The line is taken by value: a caller that moves its growing text in appends in place.
std::string AppendIntField(std::int32_t value, std::string line);
std::string AppendBoolField(bool flag, std::string line);
std::string AppendStringField(const std::string& text, std::string line);
std::string AppendDateTimeField(const DateTime& value, std::string line);
// The line followed by "\n".
std::string EndRecord(std::string line);

// An integer field: starts at the first of "+-1234567890,\n" (a comma or line feed there
// gives 0), an optional sign and digits; the rest begins behind the next comma, double
// quote or line feed from that place. No such start gives 0 and an empty rest. Values
// beyond the type's range are clamped; the unsigned form takes a negative value modulo 2^32
// (so a user number written through "%d" reads back unchanged).
std::string ReadIntField(std::int32_t& value, const std::string& text);
std::string ReadIntField(std::uint32_t& value, const std::string& text);
// An integer field; true when it is not 0.
std::string ReadBoolField(bool& flag, const std::string& text);
// A string field, quoted (doubled quotes give one) or bare up to the next comma or line
// feed. Leading spaces are skipped unless the text holds nothing else. Characters between
// a closing quote and the next separator are dropped.
std::string ReadStringField(std::string& field, const std::string& text);
// A string field, then DateTime::Parse of it (a short field leaves parts unchanged).
std::string ReadDateTimeField(DateTime& value, const std::string& text);

// In place: carriage return -> byte 1, line feed -> byte 2, so multi-line text fits one
// record line; and back.
void EncodeFieldLineBreaks(std::string& text);
void DecodeFieldLineBreaks(std::string& text);

// Longest record line accepted from a stream.
inline constexpr std::size_t kMaxRecordLineLength = 1024 * 1024;

// Reads one whole line of any length up to kMaxRecordLineLength, consuming its line feed
// and dropping the carriage returns that end it (LF, CR LF and CR CR LF endings). False
// at end of stream with nothing read, on a stream error, or for a longer line.
bool ReadWholeLine(std::istream& in, std::string& line);

// Reads the next line when its first field is the record type `type`: true with the line
// (line end removed). Otherwise false, the line empty and the stream set back to where it
// was, so the line can be read as another record; at the end of the stream the end-of-file
// state stays set. (A non-seekable stream cannot be set back.)
bool ReadRecordOfType(std::istream& in, std::int32_t type, std::string& line);
