#pragma once
// The connection thread: makes the connection's engine, lists it with the console,
// accepts one client on the ticket's socket, reports the accept to the listener and
// runs the connection to its end.
#include "server/engine/ConnectionTicket.h"

// Thread procedure; result 0.
int SocketTalk(ConnectionTicket* ticket);
