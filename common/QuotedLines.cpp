#include "common/QuotedLines.h"

void QuotedLines::SkipLineFeeds() {
  while (position_ < text_.size() && text_[position_] == '\n') ++position_;
}

bool QuotedLines::Next(std::string& line) {
  line.clear();
  SkipLineFeeds();
  if (position_ >= text_.size()) return false;
  bool quoted = false;
  std::size_t end = position_;
  for (; end < text_.size(); ++end) {
    const char c = text_[end];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\n' && !quoted) {
      break;
    }
  }
  line.assign(text_, position_, end - position_);
  position_ = end < text_.size() ? end + 1 : end;
  return true;
}

std::string QuotedLines::Rest() const {
  const std::size_t start = text_.find_first_not_of('\n', position_);
  return start == std::string::npos ? std::string() : text_.substr(start);
}
