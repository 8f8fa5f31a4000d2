#include "client/rules/ComparePlan.h"

#include <algorithm>

ComparePlan::ComparePlan(std::vector<std::int32_t> selectedVersions, bool withLocalCopy, const std::string& localPath,
                         bool localCopyExists) {
  std::sort(selectedVersions.begin(), selectedVersions.end());
  selectedVersions.erase(std::unique(selectedVersions.begin(), selectedVersions.end()), selectedVersions.end());
  if (withLocalCopy) {
    if (selectedVersions.size() != 1) {
      refusal_ = kChooseOneVersion;
    } else if (!localCopyExists) {
      refusal_ = kNoLocalCopy + localPath;
    } else {
      left_ = selectedVersions.front();
      right_ = kLocalCopy;
    }
    return;
  }
  if (selectedVersions.size() != 2) {
    refusal_ = kChooseTwoVersions;
    return;
  }
  left_ = selectedVersions[0];
  right_ = selectedVersions[1];
}

std::vector<std::int32_t> ComparePlan::VersionsToFetch() const {
  if (IsRefused()) return {};
  if (right_ == kLocalCopy) return {left_};
  return {left_, right_};
}

ComparePlan::Method ComparePlan::ChooseMethod(bool bothText, const std::string& program) {
  if (bothText) return Method::kTextWindow;
  return program.empty() ? Method::kNoProgram : Method::kProgram;
}

std::string ComparePlan::NoProgramText(const std::string& documentName) {
  return "\"" + documentName + "\"" + kNoProgram;
}
