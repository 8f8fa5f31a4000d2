#pragma once
// What double-click and Enter do to a row of the client's lists: a folder row is
// gone into; a document with a local copy opens that copy in the desktop's
// application for its type; a document without one, or one version of it, opens a
// read-only copy fetched into a temporary folder.
#include <cstdint>

class OpenAction {
 public:
  enum class Row { kFolder, kLocalFile, kDocument, kVersion };
  enum class Action { kEnterFolder, kOpenLocalCopy, kOpenFetchedCopy };

  // `localCopyExists` is asked for document rows only.
  static Action For(Row row, bool localCopyExists);
};
