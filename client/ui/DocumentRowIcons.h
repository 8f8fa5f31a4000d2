#pragma once
// The document list's row icons by their index (DocumentRowModel::RowImage): a
// page, tinted when the version carries an internal project name, with an arrow when
// it has references, a red corner when checked out, smaller on a version row.
// Each icon is drawn on first use and kept by the owner's instance.
#include <QIcon>
#include <map>

class DocumentRowIcons {
 public:
  // An empty icon for an index the list does not use.
  const QIcon& Icon(int image);

 private:
  std::map<int, QIcon> made_;
};
