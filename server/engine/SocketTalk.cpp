#include "server/engine/SocketTalk.h"

#include <memory>
#include <new>

#include "common/TraceError.h"
#include "server/engine/RTE.h"
#include "server/engine/ServerConsole.h"
#include "server/engine/TcpEngineSocket.h"

int SocketTalk(ConnectionTicket* ticket) {
  ServerConsole& console = *ticket->console;
  const std::int32_t number = ticket->connectionNumber;
  std::unique_ptr<RTE> owned;
  try {
    owned = std::make_unique<RTE>(console.GetApp());
  } catch (const std::bad_alloc&) {
    TraceError("Exception 1 in SocketTalk()");
    ticket->ReportAccepted(false);
    console.ConnectionEnded(number);
    return 0;
  }
  RTE* engine = owned.get();
  if (!console.AddEngine(number, std::move(owned))) {
    TraceError("Exception 2 in SocketTalk()");
    ticket->ReportAccepted(false);
    console.ConnectionEnded(number);
    return 0;
  }
  engine->Attach(std::make_unique<TcpEngineSocket>(std::move(ticket->accepted)));
  const bool counted = !console.IsServerClosed();
  if (counted) console.ChangeActiveUserCount(+1);
  ticket->ReportAccepted(true);   // the ticket is not touched again

  engine->Run();

  if (counted && !console.IsServerClosed()) console.ChangeActiveUserCount(-1);
  console.ConnectionEnded(number);
  return 0;
}
