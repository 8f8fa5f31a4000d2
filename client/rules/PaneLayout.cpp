#include "client/rules/PaneLayout.h"

namespace {

// The user-interface thread alone touches them.
bool windowShown = false;
bool applying = false;

}  // namespace

PaneLayout::SplitterSizes PaneLayout::Compute(const StoredSizes& stored, bool maximised) {
  SplitterSizes sizes;
  sizes.treeWidth = stored[0];
  sizes.rowListWidth = stored[2];
  sizes.rowListHeight = stored[3];
  sizes.localHeight = stored[5];
  if (!maximised) return sizes;
  const int rowList = stored[3];
  const int local = stored[5];
  const bool rowListKept = rememberedRowList_ != 0 && rowList <= rememberedRowList_ &&
                           rowList >= rememberedRowList_ - kRowTolerance;
  const bool localKept =
      rememberedLocal_ != 0 && local >= rememberedLocal_ && local <= rememberedLocal_ + kRowTolerance;
  if (!rowListKept) rememberedRowList_ = rowList;
  if (!localKept) rememberedLocal_ = local;
  sizes.rowListHeight = rememberedRowList_;
  sizes.localHeight = rememberedLocal_;
  return sizes;
}

void PaneLayout::SetWindowShown(bool shown) { windowShown = shown; }
bool PaneLayout::IsWindowShown() { return windowShown; }
bool PaneLayout::IsApplying() { return applying; }
bool PaneLayout::MayStorePaneSizes() { return windowShown && !applying; }

PaneLayout::ApplyingScope::ApplyingScope() : entered_(!applying) { applying = true; }

PaneLayout::ApplyingScope::~ApplyingScope() {
  if (entered_) applying = false;
}
