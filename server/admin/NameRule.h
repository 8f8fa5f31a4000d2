#pragma once
// The rule for a name that becomes a folder name (a user's or the library's), as a
// refusal the administrator can act on.
#include <string>

// Why `name` cannot be stored, as "a name ..." without the field; empty when it can.
std::string NameRuleBroken(const std::string& name);
