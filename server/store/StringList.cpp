#include "server/store/StringList.h"

int StringList::Add(const std::string& text) {
  items_.push_back(text);
  return GetSize() - 1;
}

std::string StringList::GetAt(int index) const { return InRange(index) ? items_[index] : std::string(); }

bool StringList::SetAt(int index, const std::string& text) {
  if (!InRange(index)) return false;
  items_[index] = text;
  return true;
}

bool StringList::RemoveAt(int index) {
  if (!InRange(index)) return false;
  items_.erase(items_.begin() + index);
  return true;
}
