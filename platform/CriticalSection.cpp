#include "platform/CriticalSection.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace platform {

#ifndef NDEBUG
namespace {

// The ranked sections this thread holds, each with how often it entered. Plain
// arrays: sections are still entered by destructors that run after a vector of
// thread-local storage would be gone. Rising ranks allow only a few at once.
struct HeldSection {
  const CriticalSection* section;
  int entries;
};
constexpr std::size_t kMaxHeld = 16;
thread_local HeldSection held[kMaxHeld];
thread_local std::size_t heldCount = 0;

HeldSection* Find(const CriticalSection& section) {
  for (std::size_t i = 0; i < heldCount; ++i) {
    if (held[i].section == &section) return &held[i];
  }
  return nullptr;
}

void CheckOrder(const CriticalSection& entering) {
  if (entering.Rank() == 0 || Find(entering) != nullptr) return;
  for (std::size_t i = 0; i < heldCount; ++i) {
    const CriticalSection* section = held[i].section;
    if (section->Rank() >= entering.Rank()) {
      std::fprintf(stderr,
                   "Lock order broken: entering the %s section (rank %d) while holding the %s section (rank %d)\n",
                   entering.Name(), entering.Rank(), section->Name(), section->Rank());
      std::abort();
    }
  }
}

void NoteEntered(const CriticalSection& section) {
  if (section.Rank() == 0) return;
  if (HeldSection* found = Find(section)) {
    ++found->entries;
    return;
  }
  if (heldCount == kMaxHeld) {
    std::fprintf(stderr, "More than %zu ranked sections held at once entering the %s section\n", kMaxHeld,
                 section.Name());
    std::abort();
  }
  held[heldCount++] = {&section, 1};
}

void NoteLeft(const CriticalSection& section) {
  HeldSection* found = section.Rank() == 0 ? nullptr : Find(section);
  if (found == nullptr || --found->entries > 0) return;
  *found = held[--heldCount];
}

}  // namespace

void CriticalSection::Enter() {
  CheckOrder(*this);
  mutex_.lock();
  NoteEntered(*this);
}

bool CriticalSection::TryEnter() {
  // Trying never waits, so it cannot close a cycle: no order applies.
  if (!mutex_.try_lock()) return false;
  NoteEntered(*this);
  return true;
}

void CriticalSection::Leave() {
  NoteLeft(*this);
  mutex_.unlock();
}

#else

void CriticalSection::Enter() { mutex_.lock(); }
bool CriticalSection::TryEnter() { return mutex_.try_lock(); }
void CriticalSection::Leave() { mutex_.unlock(); }

#endif

}  // namespace platform
