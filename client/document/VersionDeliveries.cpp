#include "client/document/VersionDeliveries.h"

#include <utility>

void VersionDeliveries::Expect(std::uint32_t stamp, Received received) { waiting_[stamp] = std::move(received); }

void VersionDeliveries::Deliver(std::uint32_t stamp, const std::string& path) {
  const auto found = waiting_.find(stamp);
  if (found == waiting_.end()) return;
  Received received = std::move(found->second);
  waiting_.erase(found);
  if (received) received(path);
}
