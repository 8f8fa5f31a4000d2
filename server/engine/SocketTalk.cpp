#include "server/engine/SocketTalk.h"

#include "server/engine/RTE.h"
#include "server/engine/ServerConsole.h"

int SocketTalk(ServerConsole* console, std::int32_t number, RTE* engine) {
  const bool counted = !console->IsServerClosed();
  if (counted) console->ChangeActiveUserCount(+1);

  engine->Run();

  if (counted && !console->IsServerClosed()) console->ChangeActiveUserCount(-1);
  console->ConnectionEnded(number);
  return 0;
}
