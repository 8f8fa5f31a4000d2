#pragma once
// Facts about the running process and its user.
#include <string>

namespace platform {

// The folder the process started in (captured at the first call, absolute, without
// trailing '/' except for the root "/" itself).
std::string WorkingFolder();
// Name of the logged-on user: getpwuid(geteuid()), else $USER, else "user".
std::string LoginName();
// Host name of this machine.
std::string HostName();
// The folder of the running program's file (from /proc/self/exe); empty when unknown.
std::string ProgramFolder();
// Where an installed program finds its shared data files: the install's data folder
// reached from the program's folder (prefix/bin -> prefix/share/wexmoor), so an
// install under any prefix finds its own. Empty when the program folder is unknown.
std::string InstalledDataFolder();

}  // namespace platform
