#pragma once
// The rule for names that become file or folder names (documents, projects,
// editions): a name must not be able to corrupt a line-based record file or
// leave the folder it is stored in. Shared by server and clients.
#include <cstddef>
#include <string>

// Longest name in bytes: the longest file name component the file systems take.
inline constexpr std::size_t kMaxStoredNameBytes = 255;

// True when `name`, trimmed of surrounding white space, is not blank, is neither
// "." nor "..", does not begin with '!' (a comment in the record files), holds
// no '/', '\', line break or other control byte (below 0x20, or 0x7F) and is at
// most kMaxStoredNameBytes long. Callers store the trimmed form.
bool IsValidStoredName(const std::string& name);

// Why `name` fails IsValidStoredName and what to do, in the user's terms; "" when it passes.
std::string StoredNameProblem(const std::string& name);
