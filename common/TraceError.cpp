#include "common/TraceError.h"

#include <mutex>

namespace {
std::mutex sinkMutex;
std::function<void(const std::string&)> sink;
}  // namespace

void TraceError(const std::string& text) {
  std::lock_guard<std::mutex> lock(sinkMutex);
  if (sink) sink(text);
}

void SetTraceErrorSink(std::function<void(const std::string&)> newSink) {
  std::lock_guard<std::mutex> lock(sinkMutex);
  sink = std::move(newSink);
}
