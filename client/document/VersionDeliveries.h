#pragma once
// The callers waiting for one fetched version each, by the stamp of the retrieval
// that fetches it. Each hears once: with the path of the placed file, or with ""
// when the library refused, the file could not be placed or the request was lost.
#include <cstdint>
#include <functional>
#include <map>
#include <string>

class VersionDeliveries {
 public:
  using Received = std::function<void(const std::string& path)>;

  void Expect(std::uint32_t stamp, Received received);
  bool IsExpected(std::uint32_t stamp) const { return waiting_.count(stamp) != 0; }
  // Tells and forgets the caller of `stamp`; nothing when none waits. The caller may
  // expect another delivery from inside its callback.
  void Deliver(std::uint32_t stamp, const std::string& path);
  void Fail(std::uint32_t stamp) { Deliver(stamp, std::string()); }

 private:
  std::map<std::uint32_t, Received> waiting_;
};
