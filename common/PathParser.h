#pragma once
// Walks a folder path one component at a time without ever changing the process's
// current folder: the parser keeps the folder it has reached as a string. It holds
// the way back (the working folder captured at start-up) and the path to walk, plus
// whether that path ended in a file, a missing name or nothing. The separator is '/';
// a leading '/' is the drive step (the root and the first folder in one step), and a
// relative path is walked from the working folder.
// While the server hooks are installed (ServerPathContext), the walk of the second
// path and SplitSecondPath put a component whose path built so far passes 200 bytes
// under <library root>/MAX_PATH/.
#include <cstddef>
#include <string>

class PathParser {
 public:
  // Components that make the path built so far longer than this many bytes are
  // placed under <library root>/MAX_PATH/ on the server.
  static constexpr std::size_t kDeepPathLimit = 200;

  // Remembers the working folder as the first path; the folder reached is that folder.
  PathParser();

  // Both paths empty, both flags true; the folder reached is the working folder.
  void Reset();
  void SetSecondPath(const std::string& path);
  // The part of the second path after its last '/', or the whole path without one.
  std::string GetSecondPathFileName() const;

  // Walks back to the remembered folder; false when it is no longer a folder.
  bool WalkFirstPath();
  // Walks the folders of the second path, then looks at its last component: a file
  // or a missing name leaves the folder reached at its parent (true, flag true); a
  // folder is entered (true, flag false); an empty last component (the path ends in
  // '/' or is empty) gives true with the flag true. False when a folder on the way
  // is missing, is a file, or is named by an empty component; the folder reached is
  // then where the walk stopped.
  bool WalkSecondPath();
  // The second path's flag after its walk: true unless it named an existing folder.
  bool IsSecondPathFile() const;
  // The path under which the second path is stored, computed without touching the
  // disk (server form: with the deep-folder rule). A relative path stays relative.
  // Sets the second path's flag to true.
  std::string SplitSecondPath();

  // The folder the last walk reached (or stopped at), as an absolute path.
  const std::string& CurrentFolder() const { return currentFolder_; }

  // `path` itself when it begins with '/', else the path under the working folder.
  static std::string FullPath(const std::string& path);
  // `built` (the path built so far) extended by the folder `component`. On the server,
  // when the result is longer than kDeepPathLimit it is <library root>/MAX_PATH/<component>
  // instead and `redirected` (when given) is set true.
  static std::string AppendComponent(const std::string& built, const std::string& component,
                                     bool* redirected = nullptr);

 private:
  bool Walk(const std::string& path, bool deepFolderRule, bool lastMayBeMissing, bool& endsInFile);
  bool ChangeTo(const std::string& folder);

  std::string firstPath_;
  std::string secondPath_;
  bool secondEndsInFile_ = true;
  std::string currentFolder_;
};
