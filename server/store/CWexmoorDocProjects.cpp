// Creating, deleting and renaming projects, editions and supplements, and the lock
// and tree helpers that the document operations share.
#include <algorithm>
#include <chrono>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/NameValidation.h"
#include "common/StringHelpers.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/HiddenProject.h"
#include "server/store/ProjectFolders.h"
#include "server/store/RecordChange.h"
#include "server/store/StoreFilePaths.h"

namespace {

constexpr const char* kEditionPrefix = "<E> ";
constexpr const char* kSupplementPrefix = "<S> ";

std::string Trimmed(std::string text) { return TrimString(text); }

// A library name made fit to be one folder name.
std::string SafeFolderName(const std::string& name) {
  std::string safe = Trimmed(name);
  for (char& c : safe) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) c = '_';
  }
  if (safe.empty() || safe == "." || safe == "..") safe = "_" + safe;
  return safe;
}

void InsertAt(PointerArray<ServerProject>& array, int index, ServerProject* node) {
  array.Add(node);
  for (int i = array.GetSize() - 1; i > index; --i) array.SetAt(i, array.GetAt(i - 1));
  array.SetAt(index, node);
}

int IndexOf(const PointerArray<ServerProject>& array, const std::string& internalName) {
  for (int i = 0; i < array.GetSize(); ++i) {
    if (array.GetAt(i)->GetInternalName() == internalName) return i;
  }
  return -1;
}

bool IsInsideFolder(const std::string& path, const std::string& folder) {
  const std::string prefix = EnsureTrailingBackslash(folder);
  return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

// --- shared helpers -------------------------------------------------------------------

int CWexmoorDoc::RunUnderLocks(const std::function<LockRequests()>& requests,
                               const std::function<int(ProjectLockSet&)>& body) {
  for (;;) {
    ProjectLockSet locks(locks_, requests());
    locks.Acquire();
    {
      platform::CriticalSection::Lock hold(inventorySection_);
      const int result = body(locks);
      if (result != kRetryAfterLockRefusal) return result;
    }
    locks.Release();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool CWexmoorDoc::HoldOrTake(ProjectLockSet& locks, const std::string& name, int mode) {
  return locks.Holds(name) || locks.TryAdd(name, mode);
}

bool CWexmoorDoc::SnapshotProject(const std::string& internalName, ProjectSnapshot& snapshot) {
  std::shared_lock<std::shared_mutex> latch(treeLatch_);
  const ServerProject* project = FindProjectByInternalName(internalName);
  if (project == nullptr) return false;
  snapshot = ProjectSnapshot{project->GetName(), project->GetInternalName(),
                             EnsureTrailingBackslash(DiskFolder(project->GetFolderPath()))};
  return true;
}

void CWexmoorDoc::AppendSubtree(const ServerProject& project, std::vector<ProjectSnapshot>& subtree) {
  subtree.push_back(ProjectSnapshot{project.GetName(), project.GetInternalName(),
                                    EnsureTrailingBackslash(DiskFolder(project.GetFolderPath()))});
  for (int i = 0; i < project.GetSubProjectCount(); ++i) AppendSubtree(*project.GetSubProjects().GetAt(i), subtree);
}

namespace {

ServerProject* FindParentBelow(ServerProject& node, const std::string& internalName) {
  for (int i = 0; i < node.GetSubProjectCount(); ++i) {
    ServerProject* child = node.GetSubProjects().GetAt(i);
    if (child->GetInternalName() == internalName) return &node;
    if (ServerProject* parent = FindParentBelow(*child, internalName)) return parent;
  }
  return nullptr;
}

}  // namespace

ServerProject* CWexmoorDoc::FindParentProject(const std::string& internalName) {
  if (HiddenProject::Hides(internalName)) return nullptr;
  for (int i = 0; i < projects_.GetSize(); ++i) {
    if (ServerProject* parent = FindParentBelow(*projects_.GetAt(i), internalName)) return parent;
  }
  return nullptr;
}

bool CWexmoorDoc::HasSiblingNamed(const ServerProject* parent, const std::string& name,
                                  const std::string& exceptInternalName) {
  const ProjectArray& siblings = parent ? parent->GetSubProjects() : projects_;
  for (int i = 0; i < siblings.GetSize(); ++i) {
    const ServerProject* sibling = siblings.GetAt(i);
    if (sibling->GetName() == name && sibling->GetInternalName() != exceptInternalName) return true;
  }
  return false;
}

bool CWexmoorDoc::WriteInventoryLatched() {
  return ServerProject::WriteInventoryFile(LibraryFilePath(kInventoryFileName), projects_);
}

void CWexmoorDoc::UnmapProjectNodes(const ServerProject& project) {
  for (int i = 0; i < project.GetSubProjectCount(); ++i) UnmapProjectNodes(*project.GetSubProjects().GetAt(i));
  projectMap_.erase(project.GetInternalName());
}

// --- creating -------------------------------------------------------------------------

int CWexmoorDoc::CreateProject(const std::string& parentInternalName, const std::string& name,
                               const std::string& folderPath, ServerProject& created, bool originalProject) {
  created.Clear();
  const std::string trimmed = Trimmed(name);
  if (!IsValidStoredName(trimmed)) return kBadProjectName;
  return CreateNode(NodeKind::Project, parentInternalName, trimmed, folderPath, "", "", originalProject, created);
}

int CWexmoorDoc::CreateEdition(const std::string& parentInternalName, const std::string& name,
                               const std::string& folderPath, const std::string& creator,
                               const std::string& comments, ServerProject& created) {
  created.Clear();
  if (!Trimmed(name).empty() && !IsValidStoredName(name)) return kBadProjectName;
  return CreateNode(NodeKind::Edition, parentInternalName, Trimmed(kEditionPrefix + name), folderPath, creator,
                    comments, false, created);
}

int CWexmoorDoc::CreateSupplement(const std::string& parentInternalName, const std::string& name,
                                  const std::string& folderPath, const std::string& creator,
                                  const std::string& comments, ServerProject& created) {
  created.Clear();
  if (!Trimmed(name).empty() && !IsValidStoredName(name)) return kBadProjectName;
  return CreateNode(NodeKind::Supplement, parentInternalName, Trimmed(kSupplementPrefix + name), folderPath,
                    creator, comments, false, created);
}

int CWexmoorDoc::CreateNode(NodeKind kind, const std::string& parentInternalName, const std::string& fullName,
                            const std::string& folderPath, const std::string& creator,
                            const std::string& comments, bool originalProject, ServerProject& created) {
  const auto requests = [&] {
    return parentInternalName.empty() ? LockRequests{} : LockRequests{{parentInternalName, LockTable::kShared}};
  };
  return RunUnderLocks(requests, [&](ProjectLockSet&) {
    ServerProject node;
    node.SetName(fullName);
    std::string baseFolder = Trimmed(folderPath);
    {
      std::shared_lock<std::shared_mutex> latch(treeLatch_);
      const ServerProject* parent = nullptr;
      if (!parentInternalName.empty()) {
        parent = FindProjectByInternalName(parentInternalName);
        if (parent == nullptr) return kNoProjectMatch;
      }
      if (HasSiblingNamed(parent, fullName, "")) return kDuplicateProjectName;
      if (baseFolder.empty()) baseFolder = parent ? parent->GetFolderPath() : GetRootPath();
      if (kind == NodeKind::Project) {
        node.SetOriginalProject(originalProject);
        node.SetWithinEdition(parent && (parent->HasEdition() || parent->IsWithinEdition()));
        node.SetWithinSupplement(parent && (parent->HasSupplement() || parent->IsWithinSupplement()));
      } else if (kind == NodeKind::Edition && parent) {
        node.GetEdition().SetProjectName(parent->GetName());
        node.GetEdition().SetProjectInternalName(parent->GetInternalName());
      } else if (kind == NodeKind::Supplement && parent) {
        node.GetSupplement().SetProjectName(parent->GetEdition().GetProjectName());
        node.GetSupplement().SetProjectInternalName(parent->GetEdition().GetProjectInternalName());
        node.GetSupplement().SetEditionInternalName(parent->GetInternalName());
      }
    }
    const std::string internalName = GenerateInternalName();
    if (internalName.empty()) return kProjectFolderNotCreated;
    node.SetInternalName(internalName);
    const std::string folder = EnsureTrailingBackslash(baseFolder) + internalName;
    node.SetFolderPath(folder);
    DateTime now;
    now.SetNow();
    if (kind == NodeKind::Edition) {
      EditionRecord& edition = node.GetEdition();
      edition.SetName(fullName);
      edition.SetInternalName(internalName);
      edition.SetComments(comments);
      edition.SetCreator(creator);
      edition.SetCreationTime(now);
    } else if (kind == NodeKind::Supplement) {
      SupplementRecord& supplement = node.GetSupplement();
      supplement.SetName(fullName);
      supplement.SetInternalName(internalName);
      supplement.SetComments(comments);
      supplement.SetCreator(creator);
      supplement.SetCreationTime(now);
    }
    const std::string diskFolder = DiskFolder(folder);
    if (!CanHoldDocuments(diskFolder)) return kProjectFolderTooDeep;
    if (platform::fs::IsFolder(diskFolder)) return kProjectFolderExists;
    if (!CreateFolders(diskFolder)) return kProjectFolderNotCreated;

    std::unique_lock<std::shared_mutex> latch(treeLatch_);
    // The parent cannot have gone: its lock is held.
    ServerProject* parent = parentInternalName.empty() ? nullptr : FindProjectByInternalName(parentInternalName);
    ProjectArray& siblings = parent ? parent->GetSubProjects() : projects_;
    ServerProject* added = new ServerProject(node);
    siblings.Add(added);
    if (!WriteInventoryLatched()) {
      siblings.RemoveAt(siblings.GetSize() - 1);
      delete added;
      platform::fs::RemoveFolder(diskFolder);
      return ServerProject::kWriteFailed;
    }
    projectMap_[internalName] = added;
    created = *added;
    return 0;
  });
}

// --- deleting -------------------------------------------------------------------------

int CWexmoorDoc::DeleteProject(const std::string& projectInternalName,
                               [[maybe_unused]] const std::string& parentInternalName, StringList& report) {
  // Only the tree says which node is the parent; the one a caller names may be wrong.
  std::string parentName;
  const auto requests = [&] {
    std::shared_lock<std::shared_mutex> latch(treeLatch_);
    const ServerProject* parent = FindParentProject(projectInternalName);
    parentName = parent ? parent->GetInternalName() : "";
    LockRequests wanted{{projectInternalName, LockTable::kExclusive}};
    if (parent) wanted.push_back({parentName, LockTable::kExclusive});
    return wanted;
  };
  return RunUnderLocks(requests, [&](ProjectLockSet& locks) {
    std::vector<ProjectSnapshot> subtree;
    ServerProject copy;
    {
      std::shared_lock<std::shared_mutex> latch(treeLatch_);
      const ServerProject* project = FindProjectByInternalName(projectInternalName);
      if (project == nullptr) return 0;  // gone already
      const ServerProject* parent = FindParentProject(projectInternalName);
      if ((parent ? parent->GetInternalName() : "") != parentName) return kRetryAfterLockRefusal;
      AppendSubtree(*project, subtree);
      copy = *project;
    }
    // Every node below is read and removed under its own exclusive lock.
    for (const ProjectSnapshot& node : subtree) {
      if (!HoldOrTake(locks, node.internalName, LockTable::kExclusive)) return kRetryAfterLockRefusal;
    }
    if (CheckProjectDependents(subtree, report)) return kHasDependents;
    std::vector<ReferenceVersion> references;
    for (const ProjectSnapshot& node : subtree) {
      const RecordCache::ListRecord list = records_.List(ProjectFileListPath(node.folder, node.internalName));
      if (list->LoadFailed()) continue;
      StringList values;
      list->GetValues(values);
      for (int i = 0; i < values.GetSize(); ++i) {
        const RecordCache::StatisticsRecord statistics =
            records_.Statistics(StatisticsPath(node.folder, values.GetAt(i)));
        if (statistics) CollectReferences(*statistics, node.internalName, references);
      }
    }
    if (!HoldOriginals(locks, references)) return kRetryAfterLockRefusal;

    // One change: the originals' counts, the inventory without the node, then the folders.
    RecordChange change(JournalFolder(), records_);
    StageReleasedReferences(references, change);
    const std::string target = EnsureTrailingBackslash(GetRootPath()) + kDeletedProjectsFolder + "/" +
                               (parentName.empty() ? SafeFolderName(settings_.GetLibraryName()) : parentName);
    std::unique_lock<std::shared_mutex> latch(treeLatch_);
    ServerProject* parent = parentName.empty() ? nullptr : FindProjectByInternalName(parentName);
    ProjectArray& siblings = parent ? parent->GetSubProjects() : projects_;
    const int index = IndexOf(siblings, projectInternalName);
    if (index < 0) return 0;
    ServerProject* node = siblings.GetAt(index);
    siblings.RemoveAt(index);
    std::string inventory;
    const bool encoded = ServerProject::EncodeInventory(projects_, inventory);
    if (encoded) {
      change.WriteFile(LibraryFilePath(kInventoryFileName), std::move(inventory));
      StageProjectTreeMove(copy, {}, target, change);
    }
    if (!encoded || !change.Commit()) {
      InsertAt(siblings, index, node);
      return ServerProject::kWriteFailed;
    }
    UnmapProjectNodes(*node);
    delete node;
    return 0;
  });
}

void CWexmoorDoc::StageProjectTreeMove(const ServerProject& project, std::vector<std::string> movedFolders,
                                       const std::string& targetFolder, RecordChange& change) {
  const std::string folder = DiskFolder(project.GetFolderPath());
  const bool movesAlong = std::any_of(movedFolders.begin(), movedFolders.end(),
                                      [&](const std::string& moved) { return IsInsideFolder(folder, moved); });
  if (!movesAlong && platform::fs::IsFolder(folder)) {
    // Side by side, not nested: a deep tree's nested copy could pass the path limit.
    change.MoveFolder(folder, EnsureTrailingBackslash(targetFolder) + project.GetInternalName());
    movedFolders.push_back(folder);
  }
  for (int i = 0; i < project.GetSubProjectCount(); ++i) {
    StageProjectTreeMove(*project.GetSubProjects().GetAt(i), movedFolders, targetFolder, change);
  }
}

// --- renaming -------------------------------------------------------------------------

int CWexmoorDoc::RenameProject(const std::string& projectInternalName, const std::string& newName) {
  const std::string name = Trimmed(newName);
  if (!IsValidStoredName(name)) return kBadProjectName;
  const auto requests = [&] { return LockRequests{{projectInternalName, LockTable::kExclusive}}; };
  return RunUnderLocks(requests, [&](ProjectLockSet&) {
    std::unique_lock<std::shared_mutex> latch(treeLatch_);
    ServerProject* project = FindProjectByInternalName(projectInternalName);
    if (project == nullptr) return kNoProjectMatch;
    if (HasSiblingNamed(FindParentProject(projectInternalName), name, projectInternalName)) {
      return kDuplicateProjectName;
    }
    const std::string oldName = project->GetName();
    project->SetName(name);
    if (!WriteInventoryLatched()) {
      project->SetName(oldName);
      return ServerProject::kWriteFailed;
    }
    return 0;
  });
}
