#pragma once
// The listener thread: binds the settings' port on every address (backlog 5) and
// keeps exactly one connection thread waiting in the accept, starting the next as
// soon as one has accepted, until the console asks it to stop. A set-up failure is
// reported to the console with the port and the reason.
#include <string>

class ServerConsole;

// Thread procedure; result 0.
int StartSockets(ServerConsole* console);

// True when the server address should be replaced by the host's name: it is empty
// or holds nothing but digits and dots.
bool IsNumericServerAddress(const std::string& address);

// The most connections served at once: a fixed maximum, lowered so that the
// descriptor limit keeps room for the logged-on users' file work and the process
// limit keeps room for the three threads of each connection. At least 1.
int ConnectionBound();
// The bound from given soft limits (RLIM_INFINITY: no limit).
int ConnectionBound(unsigned long long descriptorLimit, unsigned long long processLimit);
// Test seam: a bound of `bound` (> 0) instead of the computed one; 0 restores it.
void SetConnectionBoundForTesting(int bound);
