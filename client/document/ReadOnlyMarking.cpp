#include "client/document/ReadOnlyMarking.h"

#include <utility>

#include "common/NameValidation.h"
#include "common/StringHelpers.h"
#include "platform/fs.h"

ReadOnlyMarking::ReadOnlyMarking(std::string folder, std::string notMarkedText, bool mark,
                                 ReplyMessages& messages)
    : folder_(std::move(folder)), notMarkedText_(std::move(notMarkedText)), mark_(mark), messages_(messages) {}

void ReadOnlyMarking::Row(const std::string& name, bool accepted, const std::string& refusalText) {
  if (!accepted) {
    messages_.Add(refusalText, name);
    return;
  }
  if (!mark_) return;
  const bool marked = !folder_.empty() && IsValidStoredName(name) &&
                      platform::fs::SetReadOnly(EnsureTrailingBackslash(folder_) + name, true);
  if (!marked) messages_.Add(notMarkedText_, name);
}
