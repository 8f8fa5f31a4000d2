#pragma once
// The role each request needs in the project it names, checked before its handler
// runs, so that a request outside the account's rights changes nothing: it gets its
// failure reply with kRightsRefusedCode (a report line where the reply holds lines),
// the files it brought are deleted, and the console names the account and the
// request at most once a minute per account and request. A project the account may
// not see (no group of it covers the project or one below it) is answered as one
// that is not there, so that its name does not leak; one it sees only to reach a
// covered project below lists no documents.
#include <functional>
#include <optional>

#include "common/MessageIds.h"
#include "common/Msg.h"
#include "server/store/LibraryGroups.h"

class CWexmoorDoc;
class RTE;

class RequestRights {
 public:
  struct Need {
    GroupRole role;
    int projectField;    // the leading string field of the body naming the project
    bool creates;        // a project that is not there stands for the top level
  };
  // What the request needs; none for a request that names no project.
  static std::optional<Need> NeedOf(MessageId id);

  // Whether the account holds `role` in the project (its groups read now).
  static bool Holds(CWexmoorDoc& document, int accountId, const std::string& projectInternalName, GroupRole role);

  // How the account sees a project a request reads from: readable (a group of it
  // covers the project with any role, or there is no such project: its handler says
  // so), seen only on the way to a covered project below, or hidden from it.
  enum class Sight { kReadable, kOnTheWay, kHidden };
  static Sight SightOf(CWexmoorDoc& document, int accountId, const std::string& projectInternalName);

  // True when the request was answered here (refused, or run by `handler` as for a
  // project that is not there); `keep` then says whether the connection stays.
  // False: the handler may run. The account's groups are read at each request, so a
  // change of them applies to its next one.
  static bool RefuseOutsideRights(RTE& engine, const Msg& request,
                                  const std::function<bool(RTE&, const Msg&)>& handler, bool& keep);
};
