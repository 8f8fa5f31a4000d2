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

}  // namespace platform
