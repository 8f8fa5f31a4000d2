#include "client/document/DocumentViews.h"

#include <algorithm>

void DocumentView::Update(int code, const UpdateHint* hint) {
  if (UpdateHint::Targets(hint, viewKind_)) OnUpdate(code);
}

void DocumentViews::Attach(DocumentView& view) {
  if (std::find(views_.begin(), views_.end(), &view) == views_.end()) views_.push_back(&view);
}

void DocumentViews::Detach(DocumentView& view) {
  if (updatesRunning_ == 0) {
    std::erase(views_, &view);
  } else {
    std::replace(views_.begin(), views_.end(), &view, static_cast<DocumentView*>(nullptr));
  }
}

std::size_t DocumentViews::GetCount() const {
  return views_.size() - static_cast<std::size_t>(std::count(views_.begin(), views_.end(), nullptr));
}

void DocumentViews::UpdateAllViews(int code, const UpdateHint* hint) {
  struct Running {
    explicit Running(DocumentViews& views) : views_(views) { ++views_.updatesRunning_; }
    ~Running() {
      if (--views_.updatesRunning_ == 0) std::erase(views_.views_, nullptr);
    }
    DocumentViews& views_;
  } running(*this);

  const std::size_t attachedBefore = views_.size();
  for (std::size_t i = 0; i < attachedBefore; ++i) {
    if (views_[i] != nullptr) views_[i]->Update(code, hint);
  }
}
