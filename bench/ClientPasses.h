#pragma once
// Drives a client application's passes while a benchmark waits for its replies.
#include <chrono>
#include <functional>
#include <thread>

namespace bench {

constexpr auto kClientReplyLimit = std::chrono::seconds(120);
// Short against every figure, and leaves the cores to the server and the link.
constexpr auto kClientPassInterval = std::chrono::microseconds(200);

// Runs `app`'s pass until `done`, for at most kClientReplyLimit.
template <typename App>
bool PassUntil(App& app, const std::function<bool()>& done) {
  for (const auto end = std::chrono::steady_clock::now() + kClientReplyLimit;
       std::chrono::steady_clock::now() < end;) {
    app.DoProcessing();
    if (done()) return true;
    std::this_thread::sleep_for(kClientPassInterval);
  }
  return done();
}

}  // namespace bench
