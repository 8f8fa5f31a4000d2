#pragma once
// The connection thread: makes the connection's engine, lists it with the console,
// gives it the ticket's accepted connection, reports that to the listener and runs
// the connection to its end.
#include "server/engine/ConnectionTicket.h"

// Thread procedure; result 0.
int SocketTalk(ConnectionTicket* ticket);
