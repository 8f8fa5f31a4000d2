#pragma once
// Whether the account's rights allow a command's request in the current project,
// and the line that says which role is missing when they do not. While the server
// has told no rights (an earlier server, or before its list came) everything is allowed.
#include <optional>
#include <string>

#include "common/MessageIds.h"

class CBrannockDoc;

class CommandRights {
 public:
  explicit CommandRights(CBrannockDoc& document) : document_(document) {}

  // The refusal of `request` in the current project: what the account may not do and
  // the role that would allow it; none when allowed or when no project is current.
  std::optional<std::string> Refusal(MessageId request) const;

 private:
  CBrannockDoc& document_;
};
