#pragma once
// The allocator's pools and what the process holds of the system's memory. Each
// thread that allocates may get a pool of its own; memory freed in one pool serves
// only that pool's threads and stays resident. A server whose connections come and
// go with threads of their own would so hold the high-water mark of every pool:
// SetUpServerAllocator caps their number and keeps large blocks out of them, and
// large frees hand the freed pages back. Thread stacks are memory of their own:
// the system keeps some tens of MiB of freed ones for the next threads, and frees
// the rest, which makes every core drop its address cache.
#include <cstddef>
#include <functional>

namespace platform {

// The most pools: one per two cores, at least 2 and at most 8.
int MemoryPoolBound(unsigned cores);
// Twice what the server's deepest call takes (a check-in along the longest chain
// of references) and an eighth of the system's usual default; sanitizer builds,
// whose frames are several times larger, keep the default.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t kServerThreadStackBytes = std::size_t{8} << 20;
#else
constexpr std::size_t kServerThreadStackBytes = std::size_t{1} << 20;
#endif
// Caps the pools at MemoryPoolBound(this machine's cores), and gives every block
// of 1 MiB or more its own mapping, returned to the system when freed (the
// allocator would otherwise raise that limit after large frees and keep such
// blocks in its pools); each pool keeps up to 4 MiB free for its next requests.
// New threads get stacks of kServerThreadStackBytes, so the stacks of ended
// connections are kept for the next ones instead of freed. Call at start-up,
// before any other thread runs.
void SetUpServerAllocator();
// Counts `bytes` just freed; once a step's worth (16 MiB) has been freed since the
// last time and the pools hold as much free, hands their free pages back to the
// system.
void NoteMemoryFreed(std::size_t bytes);
// Hands every page the pools hold free back to the system, whatever their
// amount: for a server that has gone idle, whose next requests may be long in coming.
void HandBackFreeMemory();
// Runs after each HandBackFreeMemory, so a test can see that it happened; null removes it.
void SetHandBackHookForTesting(std::function<void()> hook);
// The process's resident memory in bytes (0 when it cannot be read).
std::size_t ResidentBytes();

}  // namespace platform
