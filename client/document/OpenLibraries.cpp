#include "client/document/OpenLibraries.h"

#include <algorithm>
#include <new>

#include "platform/Notifier.h"

namespace {

// Sets the flag for a scope, also when it is left by an exception.
class BusyScope {
 public:
  explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
  ~BusyScope() { busy_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
};

}  // namespace

OpenLibraries::Hold::Hold(OpenLibraries& libraries, LibraryDocument& document)
    : libraries_(libraries), document_(document) {
  ++libraries_.holds_[&document_];
}

OpenLibraries::Hold::~Hold() {
  // The close itself waits for the next pass: the releasing handler may still be
  // on the stack of a window of this document.
  const auto held = libraries_.holds_.find(&document_);
  if (--held->second == 0) libraries_.holds_.erase(held);
}

LibraryDocument& OpenLibraries::Open(std::unique_ptr<LibraryDocument> document) {
  documents_.push_back(std::move(document));
  return *documents_.back();
}

void OpenLibraries::RequestClose(LibraryDocument& document) {
  const bool known = std::any_of(documents_.begin(), documents_.end(),
                                 [&](const std::unique_ptr<LibraryDocument>& open) { return open.get() == &document; });
  if (!known || IsCloseRequested(document)) return;
  closeRequests_.push_back(&document);
  if (IsHeld(document)) {
    document.OnClosePending();
  } else if (!busy_) {
    RunRequestedCloses();
  }
}

LibraryDocument* OpenLibraries::Find(const std::function<bool(const LibraryDocument&)>& match) const {
  for (const std::unique_ptr<LibraryDocument>& document : documents_) {
    if (!IsCloseRequested(*document) && match(*document)) return document.get();
  }
  return nullptr;
}

void OpenLibraries::DoProcessing() {
  if (busy_) return;
  {
    BusyScope scope(busy_);
    std::vector<LibraryDocument*> snapshot;
    for (const std::unique_ptr<LibraryDocument>& document : documents_) snapshot.push_back(document.get());
    try {
      for (LibraryDocument* document : snapshot) {
        if (!IsCloseRequested(*document)) Process(*document);
      }
    } catch (const std::bad_alloc&) {
      platform::NotifyText(kPassFailed, platform::NotifyIcon::Error);
    }
  }
  RunRequestedCloses();
}

void OpenLibraries::Process(LibraryDocument& document) {
  if (document.IsFirstRequestSent()) {
    document.ProcessMessages(false);
  } else if (document.IsReady()) {
    document.SetFirstRequestSent();
    document.RequestProjectTree(false);
  } else if (document.IsLinkEnded()) {
    document.ProcessMessages(false);
  }
}

bool OpenLibraries::IsCloseRequested(const LibraryDocument& document) const {
  return std::find(closeRequests_.begin(), closeRequests_.end(), &document) != closeRequests_.end();
}

std::vector<LibraryDocument*>::iterator OpenLibraries::NextRunnableClose() {
  return std::find_if(closeRequests_.begin(), closeRequests_.end(),
                      [&](const LibraryDocument* document) { return !IsHeld(*document); });
}

void OpenLibraries::RunRequestedCloses() {
  BusyScope scope(busy_);
  // A close may ask for further closes; each stays requested until it is gone.
  for (auto request = NextRunnableClose(); request != closeRequests_.end(); request = NextRunnableClose()) {
    LibraryDocument* document = *request;
    document->Close();
    if (closedObserver_) closedObserver_(*document);
    const auto open = std::find_if(documents_.begin(), documents_.end(),
                                   [&](const std::unique_ptr<LibraryDocument>& d) { return d.get() == document; });
    std::unique_ptr<LibraryDocument> closed = std::move(*open);
    documents_.erase(open);
    closeRequests_.erase(std::find(closeRequests_.begin(), closeRequests_.end(), document));
    closed.reset();
  }
}
