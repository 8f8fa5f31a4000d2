#pragma once
// Working folders used with earlier builds may hold two connections of one user to
// one library in a profile: a re-issued certificate of a renamed library was added
// under the new name beside the stale one, which stayed first in the list. This
// merges them into one when the records are read. Nothing in a connection dates its
// certificate (logon codes are random digits), but every import appended its new
// connection, so the one listed last is the newest.
#include <string>
#include <vector>

#include "client/records/LibraryEntry.h"
#include "client/records/UserProfile.h"

class DuplicateConnectionMerge {
 public:
  // Two connections are one library and one user when their user numbers are equal
  // and they name the same library, or libraries whose entries hold the same key
  // (a renamed library keeps its key) and are reached at the same server.
  static bool SameLibraryAndUser(const LibraryConnection& a, const LibraryConnection& b,
                                 const std::vector<LibraryEntry>& entries);

  // In every profile, each group of connections of one library and one user becomes
  // one, standing where the first stood: the newest certificate (the last listed),
  // with the local folder of the newest when that folder exists (it was visited),
  // else that of the first (its mappings are kept, as a replacing import keeps them).
  // The entry of a library name no connection of any profile names any more goes. Connections of
  // other users and other libraries stay as they are. Changed profiles are marked
  // modified; true when anything changed.
  static bool Merge(std::vector<UserProfile>& profiles, std::vector<LibraryEntry>& entries);

 private:
  // Merges one profile's duplicates; the names of the connections merged away are added to `dropped`.
  static bool MergeProfile(UserProfile& profile, const std::vector<LibraryEntry>& entries,
                           std::vector<std::string>& dropped);
  static bool NamedByAnyConnection(const std::vector<UserProfile>& profiles, const std::string& name);
};
