#pragma once
// The open libraries of the client, owned here, and the periodic pass over them
// (DoProcessing) that the main frame's and the progress dialog's timers run.
// A handler inside a pass may show a modal box whose timer calls DoProcessing
// again, or close a library: nested passes return at once, a pass walks a
// snapshot of the list, and closes asked for during a pass run after it.
#include <functional>
#include <memory>
#include <vector>

#include "client/core/LibraryDocument.h"

class OpenLibraries {
 public:
  static constexpr const char* kPassFailed = "Exception in CBrannockApp::DoProcessing()";

  OpenLibraries() = default;
  OpenLibraries(const OpenLibraries&) = delete;
  OpenLibraries& operator=(const OpenLibraries&) = delete;

  // Takes the document into the list; it takes part from the next pass on.
  LibraryDocument& Open(std::unique_ptr<LibraryDocument> document);
  // Closes the document (Close, then destroys it): at once, or after the pass or
  // the closes under way. Documents not in the list, or already asked to close,
  // are left alone.
  void RequestClose(LibraryDocument& document);

  // One pass over the documents open when it starts, in the order they opened.
  // A document without its first request sends it once its connection is logged
  // on; until then its pump runs only when its link is gone (so the pump can close
  // it). A document past its first request runs one pump step. Running out of
  // memory stops the pass with the message kPassFailed.
  void DoProcessing();

  int GetCount() const { return static_cast<int>(documents_.size()); }
  // The first open document, not asked to close, that `match` accepts; null when none.
  LibraryDocument* Find(const std::function<bool(const LibraryDocument&)>& match) const;

 private:
  void Process(LibraryDocument& document);
  bool IsCloseRequested(const LibraryDocument& document) const;
  void RunRequestedCloses();

  std::vector<std::unique_ptr<LibraryDocument>> documents_;
  std::vector<LibraryDocument*> closeRequests_;
  bool busy_ = false;   // a pass or the closes after it are running
};
