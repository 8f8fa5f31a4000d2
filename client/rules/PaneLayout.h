#pragma once
// The pane sizes a library window gives its two splitters, and when panes may store
// their own sizes. The six stored sizes come from the current user's profile
// (layout of the main window's present state). The restored layout takes them as
// they are; the maximised one keeps the remembered row heights against small moves
// (the document list's up to 20 px smaller, the local list's up to 20 px larger),
// so a row does not creep when the window toggles. The flags are process-wide: the
// main frame sets them, every pane reads them before storing its size.
#include <array>

class PaneLayout {
 public:
  static constexpr int kRowTolerance = 20;

  // Tree width, tree height, document-list width and height, local-list width and
  // height: UserProfile::GetPaneSizes order.
  using StoredSizes = std::array<int, 6>;
  struct SplitterSizes {
    int treeWidth = 0;       // outer splitter, column 0
    int rowListWidth = 0;    // inner splitter, column 0
    int rowListHeight = 0;   // inner splitter, row 0
    int localHeight = 0;     // inner splitter, row 1
  };

  // The sizes to apply; in the maximised layout the remembered heights follow the
  // rule above and are updated.
  SplitterSizes Compute(const StoredSizes& stored, bool maximised);
  int GetRememberedRowListHeight() const { return rememberedRowList_; }
  int GetRememberedLocalHeight() const { return rememberedLocal_; }

  // Set once the main window was first shown; cleared for tests.
  static void SetWindowShown(bool shown);
  static bool IsWindowShown();
  static bool IsApplying();
  // Panes store their sizes only after the first show and never while stored sizes
  // are being applied (they would store the half-applied ones back).
  static bool MayStorePaneSizes();

  // Marks the sizes as being applied for its lifetime; a nested scope is not
  // `Entered` and its caller skips the application.
  class ApplyingScope {
   public:
    ApplyingScope();
    ~ApplyingScope();
    ApplyingScope(const ApplyingScope&) = delete;
    ApplyingScope& operator=(const ApplyingScope&) = delete;
    bool Entered() const { return entered_; }

   private:
    bool entered_;
  };

 private:
  int rememberedRowList_ = 0;
  int rememberedLocal_ = 0;
};
