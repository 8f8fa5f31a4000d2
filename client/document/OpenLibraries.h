#pragma once
// The open libraries of the client, owned here, and the periodic pass over them
// (DoProcessing) that the main frame's and the progress dialog's timers run.
// A handler inside a pass may show a modal box whose timer calls DoProcessing
// again, or close a library: nested passes return at once, a pass walks a
// snapshot of the list, and closes asked for during a pass run after it.
// A window holds its document through every handler and nested loop (Hold): a
// close asked for meanwhile waits for the first pass after the last hold ends.
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "client/document/LibraryDocument.h"

class OpenLibraries {
 public:
  static constexpr const char* kPassFailed = "Exception in CBrannockApp::DoProcessing()";

  OpenLibraries() = default;
  OpenLibraries(const OpenLibraries&) = delete;
  OpenLibraries& operator=(const OpenLibraries&) = delete;

  // Keeps the document open for its lifetime; holds nest.
  class Hold {
   public:
    Hold(OpenLibraries& libraries, LibraryDocument& document);
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    OpenLibraries& libraries_;
    LibraryDocument& document_;
  };

  // Takes the document into the list; it takes part from the next pass on.
  LibraryDocument& Open(std::unique_ptr<LibraryDocument> document);
  // Closes the document (Close, the closed observer, then destroys it): at once, or
  // after the pass or the closes under way. A held document is marked, told
  // (OnClosePending) and closed by the first pass after its last hold ended.
  // Documents not in the list, or already asked to close, are left alone.
  void RequestClose(LibraryDocument& document);
  // Asked to close and not yet closed.
  bool IsClosePending(const LibraryDocument& document) const { return IsCloseRequested(document); }
  bool IsHeld(const LibraryDocument& document) const { return holds_.count(&document) > 0; }

  // Runs after a document's Close(), before it is destroyed (its windows let go of it).
  using ClosedObserver = std::function<void(LibraryDocument&)>;
  void SetClosedObserver(ClosedObserver observer) { closedObserver_ = std::move(observer); }

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
  // The first close request whose document is not held; end() when none.
  std::vector<LibraryDocument*>::iterator NextRunnableClose();

  std::vector<std::unique_ptr<LibraryDocument>> documents_;
  std::vector<LibraryDocument*> closeRequests_;
  std::map<const LibraryDocument*, int> holds_;   // hold count per held document
  ClosedObserver closedObserver_;
  bool busy_ = false;   // a pass or the closes after it are running
};
