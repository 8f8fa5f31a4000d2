#include "client/document/UpdateHint.h"

bool UpdateHint::Targets(const UpdateHint* hint, std::uint32_t view) {
  return hint != nullptr && view != kNoView && hint->GetValue() == view;
}
