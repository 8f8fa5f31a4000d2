#pragma once
// The object a document passes with each update to its views: it names the one view
// that is to act on the numeric hint code travelling beside it (1 library tree,
// 2 document list, 3 local file list). A default hint names 0, which no view accepts.
#include <cstdint>

class UpdateHint {
 public:
  static constexpr std::uint32_t kNoView = 0;
  static constexpr std::uint32_t kTreeView = 1;
  static constexpr std::uint32_t kDocumentListView = 2;
  static constexpr std::uint32_t kLocalFileListView = 3;

  UpdateHint() = default;
  explicit UpdateHint(std::uint32_t view) : view_(view) {}

  void SetValue(std::uint32_t view) { view_ = view; }
  std::uint32_t GetValue() const { return view_; }

  bool operator==(const UpdateHint& other) const { return view_ == other.view_; }
  bool operator==(std::uint32_t view) const { return view_ == view; }

  // True when `hint` exists and names `view`, a real view (not kNoView).
  static bool Targets(const UpdateHint* hint, std::uint32_t view);

 private:
  std::uint32_t view_ = kNoView;
};
