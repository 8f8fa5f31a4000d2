#pragma once
// How the folder widgets turn a folder into the chain of nodes they show and a
// chain back into a folder: the chain starts with the folder's mount root ("/" or
// a mount point such as "/mnt/data"), followed by one node per component below it.
#include <string>
#include <vector>

// `parent` + "/" + `child`, without doubling the separator: ("/", "etc") gives
// "/etc", ("/mnt/data", "docs") gives "/mnt/data/docs". An empty parent gives `child`.
std::string JoinFolderPath(const std::string& parent, const std::string& child);

// The nodes of `folder` under `mountRoot`: the root first, then each non-empty
// component below it. Requires `folder` to be absolute and to lie on `mountRoot`
// (equal to it or below it); otherwise the chain starts at "/".
std::vector<std::string> FolderChain(const std::string& folder, const std::string& mountRoot);

// True when `folder` is `root` or lies below it, compared by whole components.
bool IsFolderOnRoot(const std::string& folder, const std::string& root);

// Empty when `name` can name a new folder; otherwise the rule it breaks, starting
// with the field's name ("Folder name: ...").
std::string NewFolderNameRule(const std::string& name);

// A typed folder path made absolute and tidy: "~" stands for `home`, a relative
// path lies under `base`; "." and ".." components and repeated or trailing
// separators are resolved without asking the disk.
std::string TypedFolderPath(const std::string& typed, const std::string& base, const std::string& home);
