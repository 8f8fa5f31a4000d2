#pragma once
// What a publication being prepared is made of: the project under which the edition
// or supplement is created, the edition, supplement or project it is based upon, the
// supplements it includes and which versions its documents take.
#include <cstdint>
#include <string>

#include "common/SupplementList.h"

struct PublicationSelection {
  // Which document versions the publication takes.
  enum VersionChoice : std::int32_t {
    kLatestEditionVersions = 0,
    kLatestProjectVersions = 1,
    kOriginalEditionVersions = 2,
  };

  std::string projectIndexName;
  std::string baseIndexName;
  SupplementList supplements;
  std::int32_t versionChoice = kLatestEditionVersions;

  // A publication based on its own project: project and base are one, nothing included.
  static PublicationSelection OfProject(const std::string& indexName, std::int32_t versionChoice) {
    PublicationSelection selection;
    selection.projectIndexName = indexName;
    selection.baseIndexName = indexName;
    selection.versionChoice = versionChoice;
    return selection;
  }
  // True when a supplement of that internal name is included.
  bool IncludesSupplement(const std::string& internalName) const {
    for (int i = 0; i < supplements.GetCount(); ++i) {
      if (supplements.GetAt(i).GetInternalName() == internalName) return true;
    }
    return false;
  }
};
