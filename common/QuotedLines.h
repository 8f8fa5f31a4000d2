#pragma once
// Hands out the lines of a comma-separated text one by one. A line ends only at a
// line feed outside double quotes, so a quoted field may hold line breaks (a doubled
// quote inside a field toggles twice and changes nothing). Empty lines are skipped.
// Owns its text; the part not yet handed out is available as the rest.
#include <cstddef>
#include <string>

class QuotedLines {
 public:
  explicit QuotedLines(std::string text) : text_(std::move(text)) {}

  // The next non-empty line without its line feed: true. False (line empty) when only
  // line feeds or nothing remain. A quote left open runs the line to the end of the text.
  bool Next(std::string& line);

  // The text behind the last line handed out (empty lines in front of it skipped).
  std::string Rest() const;

 private:
  void SkipLineFeeds();

  std::string text_;
  std::size_t position_ = 0;
};
