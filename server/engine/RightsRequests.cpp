// The rights extension: 5101 asks for the account's groups, 5102 lists them as a
// row count, then per group covering a subtree its role (1 reader, 2 author,
// 3 publisher), the project path ("" for the whole library) and the group's name.
// A project's role is the highest of the rows naming it or one of its ancestors.
#include <cstdint>
#include <string>
#include <vector>

#include "common/MessageIds.h"
#include "common/RecordFields.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/LibraryRequests.h"
#include "server/engine/RTE.h"
#include "server/engine/RequestDispatcher.h"
#include "server/store/CWexmoorDoc.h"

namespace {

bool ListRights(RTE& engine, const Msg& request) {
  CWexmoorDoc* document = CWexmoorApp::GetDocument();
  if (document == nullptr) return false;
  const int account = static_cast<int>(engine.GetUserIdentity().GetUserId());
  std::string rows;
  std::int32_t count = 0;
  for (const GroupRight& right : document->GetGroups().Snapshot()->RightsOf(account)) {
    const std::string path = right.subtree.empty() ? "" : document->ProjectPath(right.subtree);
    if (!right.subtree.empty() && path.empty()) continue;   // its project is gone: it covers nothing
    rows += EndRecord(
        AppendStringField(right.group, AppendStringField(path, AppendIntField(static_cast<int>(right.role), ""))));
    ++count;
  }
  return RequestDispatcher::SendReply(engine, request, MSGID_RIGHTS_LIST, EndRecord(AppendIntField(count, "")) + rows);
}

}  // namespace

void RegisterRightsRequests(RequestDispatcher& dispatcher) { dispatcher.Register(MSGID_LIST_RIGHTS, &ListRights); }
