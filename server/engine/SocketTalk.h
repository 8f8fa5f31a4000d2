#pragma once
// The connection thread: runs the connection's engine, which the listener has
// listed with the console and given the accepted connection, to its end.
#include <cstdint>

class RTE;
class ServerConsole;

// Thread procedure; result 0.
int SocketTalk(ServerConsole* console, std::int32_t number, RTE* engine);
