#include "client/records/FieldCursor.h"

#include "common/RecordFields.h"

bool FieldCursor::Due() {
  if (rest_.empty()) ok_ = false;
  return ok_;
}

FieldCursor& FieldCursor::String(std::string& field) {
  if (Due()) rest_ = ReadStringField(field, rest_);
  return *this;
}

FieldCursor& FieldCursor::Int(std::int32_t& field) {
  if (Due()) rest_ = ReadIntField(field, rest_);
  return *this;
}

FieldCursor& FieldCursor::SkipInt() {
  std::int32_t ignored = 0;
  return Int(ignored);
}

FieldCursor& FieldCursor::SkipString() {
  std::string ignored;
  return String(ignored);
}
