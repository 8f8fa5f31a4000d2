#pragma once
// A folder of its own for fetched copies of stored versions (to open or compare),
// made under "<temporary-file folder>/Copies/" with a random name and removed with
// everything in it when the object goes. What a killed client left there goes at
// the next start (PurgeAll).
#include <string>

class VersionCopyFolder {
 public:
  static constexpr const char* kCopiesFolder = "Copies";

  // Makes the folder below `temporaryFolder` (the client's TemporaryFiles folder);
  // IsMade tells whether that worked.
  explicit VersionCopyFolder(const std::string& temporaryFolder);
  ~VersionCopyFolder();
  VersionCopyFolder(const VersionCopyFolder&) = delete;
  VersionCopyFolder& operator=(const VersionCopyFolder&) = delete;

  bool IsMade() const { return !folder_.empty(); }
  // The folder, ending in '/'; "" when it could not be made.
  const std::string& GetFolder() const { return folder_; }

  // Removes "<temporaryFolder>/Copies" and everything in it; a link there is
  // removed itself, never followed. False when something stayed.
  static bool PurgeAll(const std::string& temporaryFolder);

 private:
  std::string folder_;
};
