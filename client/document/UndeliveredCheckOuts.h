#pragma once
// The check-outs that a lost link cut before their files arrived, found after a
// logon: the version lists asked for then are awaited by their stamps, and in each
// one the documents the user holds without a writable copy in the project's folder
// are noted. Once the last awaited list came (or was refused), the user is asked
// once, for all of them together, whether to fetch their files. The references
// that editions and supplements hold to a document carry its check-out, so a held
// document is told once: not where any project scanned has its copy, and through a
// reference only where no original of that name is held.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "client/library/ProjectDocumentList.h"
#include "client/library/VersionedDocumentList.h"

class UndeliveredCheckOuts {
 public:
  // A version held by `userName` whose checked-out copy is not in `projectFolder`: no
  // file there, or only a read-only one (a retrieved copy). Such a check-out was cut
  // before its file arrived; checking it out again fetches the file. False for an
  // unmapped project and for a name unfit to be a file name.
  static bool IsHeldWithoutFile(const DocumentVersionEntry& version, const std::string& userName,
                                const std::string& projectFolder);

  static constexpr const char* kOfferHead =
      "These documents are checked out to you, but their checked-out files are not on this computer: a lost "
      "connection may have cut their check-out short.\r\n\r\n";
  static constexpr const char* kOfferQuestion =
      "\r\nFetch their files now? They stay checked out to you either way; to fetch one later, tick it and choose "
      "\"Check-out documents ...\".";

  // Forgets the lists awaited and the documents found.
  void Clear();
  // The version list of `projectIndexName` was asked for with `stamp`.
  void Await(std::uint32_t stamp, const std::string& projectIndexName);
  // The answer to `stamp`: the project's version list, or null when none came. Notes
  // the documents `userName` holds without their file in `projectFolder`. True when
  // this was the last list awaited and documents were found; each held document is
  // found once.
  bool Take(std::uint32_t stamp, const VersionedDocumentList* list, const std::string& userName,
            const std::string& projectFolder);
  bool IsAwaiting() const { return !awaited_.empty(); }

  // Per project, the held versions found, ready for a check-out request.
  const std::vector<ProjectDocumentList>& GetFound() const { return found_; }
  // The question that names every document found.
  std::string OfferText() const;

 private:
  // A version held without its file, waiting for the end of the scan.
  struct HeldWithoutFile {
    std::string projectName;
    std::string projectIndexName;
    DocumentVersionEntry version;
  };
  // Adds `version` to the project's list in found_, made when it has none yet.
  void AddFound(const std::string& projectName, const std::string& projectIndexName,
                const DocumentVersionEntry& version);
  // Once every list came: the originals, then one reference a name, of the names no
  // project has a copy of.
  void AddUncovered();

  std::map<std::uint32_t, std::string> awaited_;   // stamp -> project index name
  std::vector<ProjectDocumentList> found_;
  std::vector<HeldWithoutFile> missing_;
  std::set<std::string> copies_;   // names held with their checked-out copy in a project scanned
};
