#pragma once
// Prepares a publication in the library's cache files before the user adjusts its
// ticks: the batch that refreshes the lists of every project concerned, the staged
// copies of the versions caches, and the versions pre-ticked in them, for a fresh
// edition or supplement or for an edition based upon an existing one.
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "client/document/InstructionBatch.h"
#include "client/library/ProjectTree.h"
#include "client/library/PublicationSelection.h"
#include "common/EditionList.h"

class PublicationPreparation {
 public:
  static constexpr const char* kNameAndComments = "You must specify a unique name and comments";
  static constexpr const char* kSupplementNotUnique = "The name of the new supplement must be unique";
  static constexpr const char* kEditionNotUnique = "The name of the new edition must be unique";

  PublicationPreparation(ProjectTree& tree, std::string libraryFolder)
      : tree_(tree), libraryFolder_(std::move(libraryFolder)) {}

  // The refusal of a trimmed name and comments for a new supplement (project an
  // edition) or a new edition of `project`; none when they may be used.
  static std::optional<std::string> CheckName(const ProjectNode& project, const EditionList& editions,
                                              const std::string& name, const std::string& comments);

  // The list requests of `project` and everything below it; editions and supplements
  // below it are left out when `skipPublications`.
  static InstructionBatch ListBatch(const ProjectNode& project, bool skipPublications);
  // The list requests of the base edition's subtree and of the project's plain children.
  static InstructionBatch BasedUponBatch(const ProjectNode& edition, const ProjectNode& project);

  // Copies the versions cache of `project` and of every node below it to its staged copy.
  void KeepCopies(const ProjectNode& project);
  // Clears every selected version in the versions caches of the whole tree.
  void ClearAllSelections();
  // A fresh publication: the latest versions of `project`'s subtree ticked, except
  // below editions other than `chosenEdition` and below supplements.
  void PreTickFresh(const ProjectNode& project, const std::string& chosenEdition);

  // A publication based on `edition` (a child of `project`): the included supplements
  // (`included[i]` for supplement i of `supplements`), last first.
  static SupplementList IncludedSupplements(const SupplementList& supplements, const std::vector<bool>& included);
  // The project paths of the edition's subtree that the publication covers.
  static std::set<std::string> ProjectPaths(const ProjectNode& edition, const PublicationSelection& selection);
  // Pre-ticks `project`'s subtree by the selection's version choice.
  void PreTickBasedUpon(const ProjectNode& project, const ProjectNode& edition, const PublicationSelection& selection);

 private:
  enum class Tick { kNone, kLatest, kOriginal };
  // Rewrites the node's versions cache with every document ticked as `tick` says;
  // false when it cannot be read or written (the branch then ends).
  bool Retick(const ProjectNode& node, Tick tick) const;
  // Clears the selections of the node and the nodes below it, each branch ending at a
  // file that cannot be read or written.
  void ClearSubtree(const ProjectNode& node) const;
  void PreTickLatestEdition(const ProjectNode& node, const ProjectNode& edition, const PublicationSelection& selection,
                            bool inside);
  void PreTickLatestProject(const ProjectNode& node, const ProjectNode& edition, const PublicationSelection& selection,
                            const std::set<std::string>& paths, const std::string& parentPath, bool inside);
  void PreTickOriginal(const ProjectNode& node, const ProjectNode& edition, const PublicationSelection& selection,
                       bool inside);
  bool IsRoot(const ProjectNode& node) const { return &node == &tree_.GetRoot(); }

  ProjectTree& tree_;
  std::string libraryFolder_;
};
