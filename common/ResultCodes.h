#pragma once
// Result codes that the server gives in many replies and the clients explain with
// their error texts ("ErrorStringLookup.txt").

// The account's groups do not give it the role the request needs in its project:
// the request's failure reply carries this code, and nothing was changed.
inline constexpr int kRightsRefusedCode = 62;
