#pragma once
// Result codes that the server gives in many replies and the clients explain with
// their error texts ("ErrorStringLookup.txt").

// The account's groups do not give it the role the request needs in its project:
// the request's failure reply carries this code, and nothing was changed.
inline constexpr int kRightsRefusedCode = 62;

// The report line, ended by "\r\n" on the wire, that stands for kRightsRefusedCode in
// the replies carrying report lines rather than codes (5045, 5047 and 5053).
inline constexpr const char* kRightsRefusedLine =
    "Your account may not do this in this project. Ask the administrator for the role it needs here.";
