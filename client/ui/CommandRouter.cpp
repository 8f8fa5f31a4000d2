#include "client/ui/CommandRouter.h"

#include <utility>

CommandRouter::CommandRouter(Targets targets, Veto veto) : targets_(std::move(targets)), veto_(std::move(veto)) {}

CommandTarget* CommandRouter::Handler(int command, CommandStatus& status) const {
  status = {};
  if (veto_ && veto_(command)) return nullptr;
  for (CommandTarget* target : targets_(command)) {
    if (target == nullptr) continue;
    status = target->QueryCommand(command);
    if (status.handled) return target;
  }
  status = {};
  return nullptr;
}

CommandStatus CommandRouter::Query(int command) const {
  CommandStatus status;
  Handler(command, status);
  return status;
}

std::string CommandRouter::Text(int command) const {
  CommandStatus status;
  CommandTarget* target = Handler(command, status);
  return target == nullptr ? std::string() : target->ItemText(command);
}

bool CommandRouter::Run(int command) const {
  CommandStatus status;
  CommandTarget* target = Handler(command, status);
  if (target == nullptr || !status.enabled) return false;
  target->RunCommand(command);
  return true;
}

std::string CommandRouter::RightsNote(int command) const {
  CommandStatus status;
  CommandTarget* target = Handler(command, status);
  return target == nullptr ? std::string() : target->RightsNote(command);
}
