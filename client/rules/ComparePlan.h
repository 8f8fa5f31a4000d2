#pragma once
// What a comparison asked for in the history window compares, and how: the two
// sides (stored versions, or a version and the local copy, the older on the left)
// and, once both files are at hand, whether the client's own window shows them or
// the user's compare program gets them.
#include <cstdint>
#include <string>
#include <vector>

class ComparePlan {
 public:
  static constexpr std::int32_t kLocalCopy = 0;   // the side that is the local copy

  static constexpr const char* kChooseTwoVersions = "Select two versions to compare (Ctrl+click the second).";
  static constexpr const char* kChooseOneVersion = "Select one version to compare with the local copy.";
  static constexpr const char* kNoLocalCopy = "There is no local copy to compare with. This file does not exist: ";
  static constexpr const char* kNoProgram =
      " is not a text document, and no compare program is set. Choose one with Library > Compare program ..., "
      "then compare again.";

  enum class Method { kTextWindow, kProgram, kNoProgram };

  // Two selected versions: the lower number on the left. `withLocalCopy`: one selected
  // version on the left and the local copy at `localPath` on the right. Anything
  // else is refused with the text GetRefusal gives.
  ComparePlan(std::vector<std::int32_t> selectedVersions, bool withLocalCopy, const std::string& localPath,
              bool localCopyExists);

  bool IsRefused() const { return !refusal_.empty(); }
  const std::string& GetRefusal() const { return refusal_; }
  std::int32_t GetLeftVersion() const { return left_; }
  // kLocalCopy when the right side is the local copy.
  std::int32_t GetRightVersion() const { return right_; }
  // The stored versions to fetch, left first.
  std::vector<std::int32_t> VersionsToFetch() const;

  // Text documents on both sides go to the client's window; others to `program`,
  // or nowhere when it is empty.
  static Method ChooseMethod(bool bothText, const std::string& program);
  // kNoProgram's text for the document, its name quoted in front.
  static std::string NoProgramText(const std::string& documentName);

 private:
  std::int32_t left_ = 0;
  std::int32_t right_ = 0;
  std::string refusal_;
};
