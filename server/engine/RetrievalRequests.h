#pragma once
// What the retrieval requests (registered through LibraryRequests.h) show beyond
// their replies: the bound on a reply's rows and a test seam.
#include <cstddef>
#include <functional>
#include <string>

// The most rows one 5020 reply carries; a request for more is refused with 5021.
// With paths of a few hundred bytes a full reply stays far under the body limit; a
// longer one (long names) is refused by SendReply, so neither the body nor the work
// follows the request's line count.
inline constexpr std::size_t kMaxRetrievedRows = 100000;

// Runs on the connection thread with the path of every statistics file a retrieval
// request reads; an empty function removes it.
void SetRetrievalStatisticsLoadHookForTesting(std::function<void(const std::string& path)> hook);
