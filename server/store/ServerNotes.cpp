#include "server/store/ServerNotes.h"

#include <system_error>
#include <utility>

void ServerNotes::Add(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  AddLocked(line);
}

void ServerNotes::AddOncePerMinute(const std::string& key, const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto now = clock_();
  const auto found = lastByKey_.find(key);
  if (found != lastByKey_.end() && now - found->second < std::chrono::minutes(1)) return;
  if (found == lastByKey_.end()) {
    std::erase_if(lastByKey_, [&now](const auto& entry) { return now - entry.second >= std::chrono::minutes(1); });
  }
  lastByKey_[key] = now;
  AddLocked(line);
}

void ServerNotes::AddLocked(const std::string& line) {
  const auto now = clock_();
  if (linesThisMinute_ == 0 || now - minuteStart_ >= std::chrono::minutes(1)) {
    minuteStart_ = now;
    linesThisMinute_ = 0;
  }
  if (linesThisMinute_ == kLinesPerMinute) {
    ++leftOut_;
    return;
  }
  ++linesThisMinute_;
  if (leftOut_ > 0) {
    Pass(std::to_string(leftOut_) + " further notice(s) were left out.");
    leftOut_ = 0;
  }
  Pass(line);
}

void ServerNotes::Pass(const std::string& line) {
  if (sink_) {
    sink_(line);
  } else {
    kept_.push_back(line);
  }
}

void ServerNotes::SetSink(Sink sink) {
  std::lock_guard<std::mutex> lock(mutex_);
  sink_ = std::move(sink);
  if (!sink_) return;
  if (!started_) startLines_ = kept_;
  started_ = true;
  for (const std::string& line : kept_) sink_(line);
  kept_.clear();
}

std::vector<std::string> ServerNotes::GetStartLines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return started_ ? startLines_ : kept_;
}

std::string ServerNotes::WithReason(const std::string& what, int error) {
  return what + ": " + std::error_code(error, std::generic_category()).message() + ".";
}
