#pragma once
#include <string>

// One link of the client's command routing. The main frame asks each target in
// turn (focused view, library window, main frame, application) until one handles
// the command: when a menu opens, on each toolbar refresh and again on invocation,
// so a command whose state went stale while its button was shown does nothing.
#include <string>

struct CommandStatus {
  bool handled = false;   // this target answers for the command
  bool enabled = false;
  bool checked = false;   // for toggles
};

class CommandTarget {
 public:
  virtual ~CommandTarget() = default;
  // The command's state as this target sees it now; `handled` false passes it on.
  virtual CommandStatus QueryCommand(int command) = 0;
  // Runs a command this target handles and reported enabled a moment ago.
  virtual void RunCommand(int command) = 0;
  // The item's text now when it says more than its own (how many documents it acts
  // on); "" keeps the item's own text.
  virtual std::string ItemText(int /*command*/) { return std::string(); }
  // Why a command this target handles is off because the account's rights forbid it;
  // "" when they do not (and for targets that know no rights).
  virtual std::string RightsNote(int /*command*/) { return std::string(); }
};
