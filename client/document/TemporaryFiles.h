#pragma once
// The client's folder of temporary files, "TemporaryFiles/" in the working folder,
// and the names handed out in it: "TemporaryFile_<n>.wxf", n from the client's
// temporary-file counter (TempFileCounter::Client), which the common
// MakeTempFileName shares, so no two names of a run carry the same number.
#include <string>

class TemporaryFiles {
 public:
  static constexpr const char* kFolderName = "TemporaryFiles";

  explicit TemporaryFiles(const std::string& workingFolder);

  const std::string& GetFolder() const { return folder_; }   // ends in '/'

  // The next name in the folder; any thread may call it.
  std::string MakeTemporaryFileName() const;

  // Makes sure the folder exists, deletes everything in it that is not a folder
  // and restarts the counter at 0. Links are removed themselves and never
  // followed, and a folder that is itself a link is left alone. False when the
  // folder cannot be made or listed (the counter is restarted all the same).
  bool PurgeTemporaryFiles() const;

 private:
  std::string folder_;
};
