#pragma once
// A small library for the tree rules' tests, held by an unopened document:
//   Main (Root)
//     Alpha (PA): Beta (PB) [Gamma (PG), <E> X [Beta] (EX), <E> Y [Beta] (EY) [Gamma (YG) f1 f2]],
//                 <E> One [Alpha] (E1) [Beta (E1B) f1 f2, <S> May [Alpha] (S1)], <E> Two [Alpha] (E2)
//     delta (PD)
// Every project is mapped below /l and has its cache file name; versions caches are
// written into a scratch library folder on demand.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/library/VersionedDocumentList.h"
#include "common/RecordFields.h"
#include "platform/ScratchFolder.h"

namespace tree_test {

struct Flags {
  bool f1 = false, f2 = false, f3 = false;
};

// The server layout of a tree, node by node, depth first.
class TreeText {
 public:
  TreeText& Project(const std::string& name, const std::string& index, int children, Flags flags = {}) {
    return Add(name, index, children, flags, EditionRecord(), SupplementRecord());
  }
  TreeText& Edition(const std::string& name, const std::string& index, int children, const std::string& project,
                    const std::string& projectIndex) {
    EditionRecord edition;
    edition.SetName(name);
    edition.SetInternalName(index);
    edition.SetProjectName(project);
    edition.SetProjectInternalName(projectIndex);
    return Add(name, index, children, {}, edition, SupplementRecord());
  }
  TreeText& Supplement(const std::string& name, const std::string& index, const std::string& project,
                       const std::string& projectIndex) {
    SupplementRecord supplement;
    supplement.SetName(name);
    supplement.SetInternalName(index);
    supplement.SetProjectName(project);
    supplement.SetProjectInternalName(projectIndex);
    return Add(name, index, 0, {}, EditionRecord(), supplement);
  }
  const std::string& Text() const { return text_; }

 private:
  TreeText& Add(const std::string& name, const std::string& index, int children, Flags flags,
                const EditionRecord& edition, const SupplementRecord& supplement) {
    std::string line = AppendStringField(index, AppendStringField(name, ""));
    line = AppendBoolField(flags.f3, AppendBoolField(flags.f2, AppendBoolField(flags.f1, AppendIntField(children, line))));
    text_ += EndRecord(line) + edition.Encode("") + supplement.Encode("");
    return *this;
  }
  std::string text_;
};

class LibraryTreeFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    TreeText text;
    text.Project("Main", "Root", 2)
        .Project("Alpha", "PA", 3)
        .Project("Beta", "PB", 3)
        .Project("Gamma", "PG", 0)
        .Edition("<E> X", "EX", 0, "Beta", "PB")
        .Edition("<E> Y", "EY", 1, "Beta", "PB")
        .Project("Gamma", "YG", 0, {true, true, false})
        .Edition("<E> One", "E1", 2, "Alpha", "PA")
        .Project("Beta", "E1B", 0, {true, true, false})
        .Supplement("<S> May", "S1", "Alpha", "PA")
        .Edition("<E> Two", "E2", 0, "Alpha", "PA")
        .Project("delta", "PD", 0);
    ASSERT_TRUE(Tree().ApplyServerTree(text.Text()));
    Tree().GetRoot().SetLocalFolder("/l", true);
    for (const char* index : {"PA", "PB", "PG", "EX", "EY", "YG", "E1", "E1B", "S1", "E2", "PD"}) {
      Node(index).MakeCacheFileName();
    }
  }

  ProjectTree& Tree() { return document_.GetProjectTree(); }
  ProjectNode& Node(const std::string& index) {
    ProjectNode* node = Tree().FindProjectByPath(index);
    EXPECT_NE(node, nullptr) << index;
    return node == nullptr ? Tree().GetRoot() : *node;
  }
  std::string VersionsFile(const std::string& index) {
    return library_.Path() + "/" + Node(index).GetVersionsCacheFilePath();
  }
  // Writes the node's versions cache: one document per entry, versions `versions`
  // (newest first, the numbers given), `selected` its selected row (-1 none).
  struct Doc {
    std::string name;
    std::vector<int> versions;
    int selected = -1;
    int original = -1;   // the row marked as the original edition's
  };
  void WriteVersions(const std::string& index, const std::vector<Doc>& documents) {
    VersionedDocumentList list;
    list.SetProjectName(Node(index).GetName());
    list.SetProjectIndexName(index);
    for (const Doc& doc : documents) {
      VersionedDocument document;
      for (std::size_t v = 0; v < doc.versions.size(); ++v) {
        DocumentVersionEntry entry;
        entry.SetName(doc.name);
        entry.SetIndexName(doc.name + "@" + std::to_string(doc.versions[v]));
        entry.SetVersion(doc.versions[v]);
        entry.SetOriginalEdition(static_cast<int>(v) == doc.original);
        document.AddVersion(entry);
      }
      document.SetSelectedIndex(doc.selected);
      list.Add(document);
    }
    ASSERT_TRUE(list.WriteFile(VersionsFile(index)));
  }
  // The selected version numbers of the node's versions cache, by document; 0 for none.
  std::vector<int> Selected(const std::string& index) {
    VersionedDocumentList list;
    if (!list.ReadFile(VersionsFile(index))) return {-99};
    std::vector<int> selected;
    for (int d = 0; d < list.GetCount(); ++d) {
      const VersionedDocument& document = *list.GetAt(d);
      const DocumentVersionEntry* version = document.GetVersion(document.GetSelectedIndex());
      selected.push_back(version == nullptr ? 0 : version->GetVersion());
    }
    return selected;
  }

  platform::ScratchFolder work_;
  platform::ScratchFolder library_;
  CBrannockApp app_{work_.Path(), "login"};
  CBrannockDoc document_{app_};
};

}  // namespace tree_test
