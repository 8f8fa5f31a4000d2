#include "client/rules/CommandRights.h"

#include "client/document/CBrannockDoc.h"
#include "client/document/RefusalTexts.h"

std::optional<std::string> CommandRights::Refusal(MessageId request) const {
  const TreeItem current = document_.GetCurrentProjectItem();
  const ProjectNode* project = current == 0 ? nullptr : document_.GetProjectTree().FindProjectByTreeItem(current);
  if (project == nullptr || document_.MayRequest(*project, request)) return std::nullopt;
  return RefusalTexts::Rights(request);
}
