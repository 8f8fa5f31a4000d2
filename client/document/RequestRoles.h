#pragma once
// The role each request of the protocol needs, and the words that name what it does,
// for the greying of commands and the texts of refusals for rights.
#include <optional>

#include "client/document/AccountRights.h"
#include "common/MessageIds.h"

struct RequestRole {
  const char* action;   // "delete", "check out", ... as in "may not <action> in this project"
  AccountRole role;
};

// None for the logon, the logoff, the tree and ids that are no requests.
std::optional<RequestRole> RoleForRequest(MessageId request);
