#pragma once
// Reads the fields of a record line in order, insisting that each field is there:
// a read on an empty rest fails the cursor, and every later read is skipped, so a
// cut-short record is seen by one check at the end.
#include <cstdint>
#include <string>

class FieldCursor {
 public:
  explicit FieldCursor(std::string text) : rest_(std::move(text)) {}

  FieldCursor& String(std::string& field);
  FieldCursor& Int(std::int32_t& field);
  // Reads an integer field and drops it.
  FieldCursor& SkipInt();
  FieldCursor& SkipString();

  // True while every read found its field.
  bool Ok() const { return ok_; }
  const std::string& Rest() const { return rest_; }

 private:
  bool Due();

  std::string rest_;
  bool ok_ = true;
};
