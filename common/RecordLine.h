#pragma once
// The stream side of a record kept on one line, shared by the record classes:
// writing its line, reading one whole line of its type, and decoding a C text.
// `Record` derives from RecordLine<Record> and provides kRecordType, Encode(line),
// Decode(text) returning the rest, and Clear().
#include <istream>
#include <ostream>
#include <string>

#include "common/RecordFields.h"

template <typename Record>
class RecordLine {
 public:
  // Decode without the rest; null reads as an empty text (and clears the record).
  void Decode(const char* text) { Self().Decode(std::string(text != nullptr ? text : "")); }

  // Writes Encode("") to the stream; true when the stream is good afterwards.
  bool Write(std::ostream& out) const {
    out << static_cast<const Record&>(*this).Encode(std::string());
    return out.good();
  }

  // Reads one whole line: true when it is a line of this record's type. At end of
  // stream, on an error or on a line of another type: the record is cleared, the stream
  // is set back to where it was (the line is not consumed) and the result is false.
  bool Read(std::istream& in) {
    std::string line;
    if (!ReadRecordOfType(in, Record::kRecordType, line)) {
      Self().Clear();
      return false;
    }
    Self().Decode(line);
    return true;
  }

 private:
  Record& Self() { return static_cast<Record&>(*this); }
};
