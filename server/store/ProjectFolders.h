#pragma once
// Where a project's files lie on disk. The inventory records each project's folder
// as the path its parent's folder and its internal name make; on disk a component
// whose path, built from the library root component by component, passes
// kDeepPathBytes lies in "<root>/MAX_PATH/<component>" instead, and building goes
// on from there. Stored libraries keep that layout, so every path to a project's
// files comes from ProjectFolderOnDisk.
#include <cstddef>
#include <string>

inline constexpr std::size_t kDeepPathBytes = 200;
inline constexpr const char* kDeepFolderName = "MAX_PATH";

// The folder on disk (no trailing separator) of the recorded folder `recorded`
// under the library root `root`. A folder outside the root is built from "/" with
// the same rule, its deep components still under the root.
std::string ProjectFolderOnDisk(const std::string& recorded, const std::string& root);

// Whether `path` is `folder` or lies below it, comparing whole components of the
// paths as written (trailing separators ignored).
bool IsFolderOrBelow(const std::string& path, const std::string& folder);

// `folder`, which lies in or below `oldRoot`, with that part replaced by `newRoot`;
// "" when it does not lie there.
std::string RebasedFolder(const std::string& folder, const std::string& oldRoot, const std::string& newRoot);

// Whether a folder at `diskFolder` can hold every record and version file a
// project's documents need: the longest file name the store makes there stays
// within the system's path limit.
bool CanHoldDocuments(const std::string& diskFolder);

// Creates every missing folder of the absolute path `folder`; true when it is a
// folder afterwards.
bool CreateFolders(const std::string& folder);
