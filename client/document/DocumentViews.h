#pragma once
// The views of one document and the update call that reaches them. Every view gets
// every update; a view acts only on updates whose UpdateHint names its own kind, so
// an update without a hint, or naming view 0, changes no view.
#include <cstdint>
#include <vector>

#include "client/document/UpdateHint.h"

// One view of a document: the library tree, the document list or the local file list.
class DocumentView {
 public:
  explicit DocumentView(std::uint32_t viewKind) : viewKind_(viewKind) {}
  virtual ~DocumentView() = default;
  DocumentView(const DocumentView&) = delete;
  DocumentView& operator=(const DocumentView&) = delete;

  std::uint32_t GetViewKind() const { return viewKind_; }

  // Passes `code` to OnUpdate when `hint` names this view's kind; otherwise nothing.
  void Update(int code, const UpdateHint* hint);

 protected:
  virtual void OnUpdate(int code) = 0;

 private:
  std::uint32_t viewKind_;
};

// The attached views, in the order they were attached. A view may be attached or
// detached (and destroyed after detaching) from inside an update: a view detached
// during an update is not called after that; one attached during it waits for the
// next update.
class DocumentViews {
 public:
  void Attach(DocumentView& view);
  void Detach(DocumentView& view);
  std::size_t GetCount() const;

  // Sends the update to every attached view.
  void UpdateAllViews(int code, const UpdateHint* hint);

 private:
  // Detached views leave a null slot while an update runs, so the slots of the others
  // keep their places; the slots are compacted once the outermost update ends.
  std::vector<DocumentView*> views_;
  int updatesRunning_ = 0;
};
