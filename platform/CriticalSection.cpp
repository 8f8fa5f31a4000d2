#include "platform/CriticalSection.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace platform {

#ifndef NDEBUG
namespace {

// The ranked sections this thread holds, one entry per entry.
thread_local std::vector<const CriticalSection*> held;

void CheckOrder(const CriticalSection& entering) {
  if (entering.Rank() == 0 || std::find(held.begin(), held.end(), &entering) != held.end()) return;
  for (const CriticalSection* section : held) {
    if (section->Rank() >= entering.Rank()) {
      std::fprintf(stderr,
                   "Lock order broken: entering the %s section (rank %d) while holding the %s section (rank %d)\n",
                   entering.Name(), entering.Rank(), section->Name(), section->Rank());
      std::abort();
    }
  }
}

void NoteEntered(const CriticalSection& section) {
  if (section.Rank() != 0) held.push_back(&section);
}

void NoteLeft(const CriticalSection& section) {
  if (section.Rank() == 0) return;
  const auto last = std::find(held.rbegin(), held.rend(), &section);
  if (last != held.rend()) held.erase(std::next(last).base());
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
