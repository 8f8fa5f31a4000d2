#pragma once
// The listener thread: binds the settings' port on every address with the longest
// accept queue the system allows, accepts each connection as it arrives and starts
// a connection thread for it without waiting for that thread, until the console
// asks it to stop. A port in use is tried again every 10 s, with a console line
// each time; any other set-up failure is reported to the console with the port
// and the reason.
//
// Connections not logged on have a bound of their own within the connection
// bound, so they can never take the places of logged-on users, and half of those
// places are kept for connections that have sent a whole first message. The
// others wait in a lobby, sized from the descriptor limit, as bare sockets: those
// that close or send what no first message begins with are closed at once, a whole
// logon is served first, and a full lobby closes the noisiest, then the quietest.
// A connection that has sent a whole first message makes a connection not logged
// on that stalls in a message or keeps quiet give up its place. A console line (at
// most one a minute) says how many were turned away; a low descriptor limit is
// named at start with the bound it leaves.
#include <chrono>
#include <string>

#include "platform/Transport.h"

class ServerConsole;

// Thread procedure; result 0.
int StartSockets(ServerConsole* console);

// Lists an engine holding `accepted` with the console and starts its connection
// thread without waiting for it, as the listener does with a connection leaving
// its lobby: the console counts the connection, as one not logged on, from the
// moment it is listed. False when it could not be started (the connection is
// closed).
bool StartConnection(ServerConsole& console, platform::Transport accepted);

// True when the server address should be replaced by the host's name at start: it
// is empty or the address of a new users file, so no administrator set it. Any
// address an administrator set, numeric or not, is what certificates carry.
bool FollowsHostName(const std::string& address);

// The longest accept queue the system allows: a rush of connections is queued, not dropped.
int ListenBacklog();

// The most connections served at once: a fixed maximum, lowered so that the
// descriptor limit (whose soft value the listener raises to the hard one) keeps
// room for the logged-on users' file work and the process limit keeps room for
// the three threads of each connection. At least 1.
int ConnectionBound();
// The bound from given soft limits (RLIM_INFINITY: no limit).
int ConnectionBound(unsigned long long descriptorLimit, unsigned long long processLimit);
// The console line naming a descriptor limit that holds the connections below
// their maximum, with the bound it leaves; empty when it does not.
std::string DescriptorLimitNotice(unsigned long long descriptorLimit);
// The most connections not logged on within a connection bound: a quarter of it,
// at most 25, at least 1.
int StrangerBound(int connectionBound);
// Test seam: bounds of `bound` (> 0) connections, `strangers` (> 0) of them not
// logged on, instead of the computed ones; 0 restores the computed bound.
void SetConnectionBoundForTesting(int bound, int strangers);
// Test seam: the descriptor limit the bounds are sized from, instead of the
// process's soft limit; 0 restores it.
void SetDescriptorLimitForTesting(unsigned long long limit);
// Test seam: how long the listener waits before it tries a port in use again; 0
// restores the 10 s.
void SetListenRetryIntervalForTesting(std::chrono::milliseconds interval);
