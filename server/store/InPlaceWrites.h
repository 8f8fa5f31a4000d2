#pragma once
// Files of the library written in place (grown or cut back, not replaced): such a
// write leaves the file's folder as it was, so a copy that looks again only at the
// folders whose entries changed learns of it here. Paths are noted only while some
// Watch lives, before the write is made.
#include <string>
#include <vector>

class InPlaceWrites {
 public:
  // Notes that the file at `path` is about to be written in place.
  static void Note(const std::string& path);

  // Keeps every path noted from its making on, until it goes.
  class Watch {
   public:
    Watch();
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    // Every path noted since the watch began, each once.
    std::vector<std::string> Noted() const;

   private:
    std::vector<std::string> noted_;  // guarded by the registry's mutex
    friend class InPlaceWrites;
  };
};
