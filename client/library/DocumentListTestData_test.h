#pragma once
// Small document lists for the document list's rule tests.
#include <initializer_list>
#include <string>

#include "client/library/VersionedDocumentList.h"

namespace document_list_test {

struct Version {
  int number;
  std::string checkedOutTo = "";
  int size = 0;
  std::string date = "20040101120000";
};

// A document of `name` whose versions are given in list order.
inline VersionedDocument Document(const std::string& name, std::initializer_list<Version> versions, int selected = -1) {
  VersionedDocument document;
  for (const Version& v : versions) {
    DocumentVersionEntry entry;
    entry.SetName(name);
    entry.SetIndexName(name + "_" + std::to_string(v.number));
    entry.SetVersion(v.number);
    entry.SetCheckedOutTo(v.checkedOutTo);
    entry.SetFileSize(v.size);
    DateTime date;
    date.Parse(v.date);
    entry.SetVersionDate(date);
    document.AddVersion(entry);
  }
  document.SetSelectedIndex(selected);
  return document;
}

inline VersionedDocumentList List(std::initializer_list<VersionedDocument> documents) {
  VersionedDocumentList list;
  list.SetProjectName("Drawings");
  list.SetProjectIndexName("P_1");
  for (const VersionedDocument& document : documents) list.Add(document);
  return list;
}

}  // namespace document_list_test
