#include "client/rules/DocumentSortOrder.h"

#include <algorithm>
#include <vector>

namespace {

template <typename T>
int Order(const T& first, const T& second) {
  return first < second ? -1 : (second < first ? 1 : 0);
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int CompareFolded(const std::string& first, const std::string& second) {
  const std::size_t common = std::min(first.size(), second.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto a = static_cast<unsigned char>(FoldAscii(first[i]));
    const auto b = static_cast<unsigned char>(FoldAscii(second[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  return Order(first.size(), second.size());
}

}  // namespace

DocumentSortOrder::Key DocumentSortOrder::MakeKey(const VersionedDocument& document) const {
  static const DocumentVersionEntry none;
  const DocumentVersionEntry* entry = document.GetVersion(KeyVersion(document));
  Key key{entry != nullptr ? entry : &none, ""};
  // The date compares as its text: made once per document, not once per comparison.
  if (column_ == 2) key.date = key.entry->GetVersionDate().Format();
  return key;
}

void DocumentSortOrder::OnColumnClick(int column) {
  const int chosen = column >= 1 && column <= kLastKeyColumn ? column : kNameColumn;
  ascending_ = column_ == chosen ? !ascending_ : true;
  column_ = chosen;
}

int DocumentSortOrder::KeyVersion(const VersionedDocument& document) {
  if (document.GetSelectedIndex() != -1) return document.GetSelectedIndex();
  if (document.GetVersionCount() == 0) return -1;
  int best = 0;
  std::int32_t bestNumber = 0;
  for (int i = 0; i < document.GetVersionCount(); ++i) {
    if (document.GetVersion(i)->GetVersion() > bestNumber) {
      bestNumber = document.GetVersion(i)->GetVersion();
      best = i;
    }
  }
  return best;
}

int DocumentSortOrder::Compare(const VersionedDocument& first, const VersionedDocument& second) const {
  return CompareKeys(MakeKey(first), MakeKey(second));
}

int DocumentSortOrder::CompareKeys(const Key& first, const Key& second) const {
  const DocumentVersionEntry& a = *first.entry;
  const DocumentVersionEntry& b = *second.entry;
  int order = 0;
  switch (column_) {
    case 1: order = Order(a.GetVersion(), b.GetVersion()); break;
    case 2: order = first.date.compare(second.date); break;
    case 3: order = Order(a.GetCheckedOutTo(), b.GetCheckedOutTo()); break;
    case 4: order = Order(a.GetFileSize(), b.GetFileSize()); break;
    default: order = CompareFolded(a.GetName(), b.GetName()); break;
  }
  return ascending_ ? order : -order;
}

void DocumentSortOrder::Sort(VersionedDocumentList& list) const {
  const std::size_t count = static_cast<std::size_t>(list.GetCount());
  std::vector<Key> keys;
  keys.reserve(count);
  for (int i = 0; i < list.GetCount(); ++i) keys.push_back(MakeKey(*list.GetAt(i)));
  std::vector<std::size_t> order(count);
  for (std::size_t i = 0; i < count; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return CompareKeys(keys[a], keys[b]) < 0; });
  VersionedDocumentList sorted;
  sorted.SetProjectName(list.GetProjectName());
  sorted.SetProjectIndexName(list.GetProjectIndexName());
  for (std::size_t i : order) sorted.Add(*list.GetAt(static_cast<int>(i)));
  list = std::move(sorted);
}
