#pragma once
// Asks the command targets in routing order (focused view, library window, main
// frame, application) for a command: the first that handles it decides. The
// targets are asked afresh at each query, and again before a command runs, so a
// command whose state went stale since its button was drawn does nothing.
#include <functional>
#include <string>
#include <vector>

#include "client/ui/CommandTarget.h"

class CommandRouter {
 public:
  // The targets of this moment for a command, in routing order; null entries are passed over.
  using Targets = std::function<std::vector<CommandTarget*>(int command)>;
  // Commands that stay disabled whatever the targets say (the plain program's
  // publishing commands).
  using Veto = std::function<bool(int command)>;

  CommandRouter(Targets targets, Veto veto);

  // The state of the first target that handles the command; none: disabled.
  CommandStatus Query(int command) const;
  // The handling target's text for the command's item; "" for its own text.
  std::string Text(int command) const;
  // Runs the command on the target that handles it, when that target reports it
  // enabled now. True when it ran.
  bool Run(int command) const;
  // The rights note of the target that handles the command; "" when none handles it.
  std::string RightsNote(int command) const;

 private:
  CommandTarget* Handler(int command, CommandStatus& status) const;

  Targets targets_;
  Veto veto_;
};
