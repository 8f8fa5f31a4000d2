#include "server/store/HiddenProject.h"

#include <utility>

namespace {
thread_local const HiddenProject* innermost = nullptr;
}

HiddenProject::HiddenProject(std::string internalName) : internalName_(std::move(internalName)), outer_(innermost) {
  innermost = this;
}

HiddenProject::~HiddenProject() { innermost = outer_; }

bool HiddenProject::Hides(const std::string& internalName) {
  for (const HiddenProject* scope = innermost; scope != nullptr; scope = scope->outer_) {
    if (scope->internalName_ == internalName) return true;
  }
  return false;
}
