// Record fields, rows and line readers. Every field read from the input is written
// again and must read back the same with nothing left over; a date-time the reader
// accepts is written and read back to the same text; rows and lines never hold more
// bytes than the input.
#include <sstream>
#include <vector>

#include "common/DateTime.h"
#include "common/QuotedLines.h"
#include "common/RecordFields.h"
#include "common/RecordRows.h"
#include "fuzz/FuzzSupport.h"

namespace {

void CheckFields(const std::string& input) {
  std::string rest = input;
  while (!rest.empty()) {
    std::string field;
    std::string after = ReadStringField(field, rest);
    FUZZ_CHECK(after.size() < rest.size() || field.empty());
    std::string again;
    FUZZ_CHECK(ReadStringField(again, AppendStringField(field, "")).empty());
    FUZZ_CHECK(again == field);

    std::int32_t number = 0;
    ReadIntField(number, rest);
    std::int32_t reread = 0;
    FUZZ_CHECK(ReadIntField(reread, AppendIntField(number, "")).empty());
    FUZZ_CHECK(reread == number);

    DateTime stamp;
    if (stamp.Parse(field)) {
      const std::string written = stamp.Format();
      DateTime back;
      FUZZ_CHECK(back.Parse(written));
      FUZZ_CHECK(back.Format() == written);
    }
    if (after.size() >= rest.size()) break;
    rest = std::move(after);
  }
}

void CheckRowsAndLines(const std::string& input) {
  std::size_t bytes = 0;
  for (const std::string& row : SplitRecordRows(input)) bytes += row.size() + 1;
  FUZZ_CHECK(bytes <= input.size() + 1);

  QuotedLines lines(input);
  std::string line;
  bytes = 0;
  while (lines.Next(line)) {
    FUZZ_CHECK(!line.empty());
    bytes += line.size();
    const std::string rest = lines.Rest();
    FUZZ_CHECK(rest.size() <= input.size() && input.compare(input.size() - rest.size(), rest.size(), rest) == 0);
  }
  FUZZ_CHECK(bytes <= input.size());

  std::istringstream in(input);
  bytes = 0;
  while (ReadWholeLine(in, line)) bytes += line.size() + 1;
  FUZZ_CHECK(bytes <= input.size() + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input = fuzz::Text(data, size);
  CheckFields(input);
  CheckRowsAndLines(input);
  return 0;
}
