#pragma once
// The library's projects as the console and "checked-out" name them
// ("Library->Project->Sub"), with the folder and internal name of each, read
// under the project-tree latch so the list is one state of the tree.
#include <string>
#include <vector>

class CWexmoorDoc;

struct ProjectPlace {
  std::string path;
  std::string folder;   // on disk, ending in the separator
  std::string internalName;
};

// Every project, parents before their sub-projects, in the tree's order.
std::vector<ProjectPlace> ListProjectPlaces(CWexmoorDoc& document);
// The internal name of the project shown as `path`; empty when none is.
std::string FindProjectByPath(CWexmoorDoc& document, const std::string& path);
