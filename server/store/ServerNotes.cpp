#include "server/store/ServerNotes.h"

#include <system_error>
#include <utility>

void ServerNotes::Add(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
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
  for (const std::string& line : kept_) sink_(line);
  kept_.clear();
}

std::string ServerNotes::WithReason(const std::string& what, int error) {
  return what + ": " + std::error_code(error, std::generic_category()).message() + ".";
}
