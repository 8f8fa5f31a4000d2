#pragma once
// Find in Library: the documents of every project of an open library that a filter
// matches, from lists fetched afresh from the server. The project tree is asked for
// first (and every request already out answered); then each project's document list,
// a few requests out at a time; each answered list is searched as it comes. Driven
// by Step after each of the document's passes; the document outlives the find.
#include <cstddef>
#include <string>
#include <vector>

#include "client/library/DocumentVersionEntry.h"
#include "client/rules/DocumentFilter.h"

class CBrannockDoc;

class LibraryFind {
 public:
  // Document-list requests out at once: enough to keep the link busy, few enough
  // that the server's queue for one connection never fills.
  static constexpr std::size_t kRequestsOut = 8;

  struct Found {
    std::string projectIndexName;
    std::string projectPath;   // the project's names from the top, '/' between them
    DocumentVersionEntry document;
  };
  enum class Phase { kTree, kLists, kDone, kLinkEnded };

  LibraryFind(CBrannockDoc& document, const DocumentFilter& filter);

  // Sends what is due and searches the lists answered since the last step.
  void Step();
  Phase GetPhase() const { return phase_; }
  bool IsFinished() const { return phase_ == Phase::kDone || phase_ == Phase::kLinkEnded; }
  int GetProjectCount() const { return static_cast<int>(projects_.size()); }
  int GetSearchedCount() const { return searched_; }
  const std::vector<Found>& GetFound() const { return found_; }
  // Projects whose list could not be had (refused, gone from the tree, unreadable).
  const std::vector<std::string>& GetUnread() const { return unread_; }

 private:
  struct Project {
    std::string indexName;
    std::string path;
  };
  void CollectProjects();
  void SendDue();
  void Search(const Project& project);

  CBrannockDoc& document_;
  DocumentFilter filter_;
  std::string userName_;
  Phase phase_ = Phase::kTree;
  bool treeAsked_ = false;
  std::vector<Project> projects_;
  std::size_t nextToSend_ = 0;
  std::vector<std::size_t> out_;   // indexes into projects_ of the requests out
  int searched_ = 0;
  std::vector<Found> found_;
  std::vector<std::string> unread_;
};
