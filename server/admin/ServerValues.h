#pragma once
// The rules, texts and saved changes of the server values the administration sets:
// the library's name, and the server's address and listening port (certificates
// carry both). Shared by the windowed dialogs and the command line.
#include <string>

class CWexmoorDoc;

namespace ServerValues {

// Why `name` cannot be the library's name, as the administrator is told; empty when
// it can (clients make a folder of it).
std::string LibraryNameRefusal(const std::string& name);
// Why the address and the port text cannot be stored; empty, with `port` set, when
// they can (a port is 1-65535).
std::string AddressRefusal(const std::string& address, const std::string& portText, int& port);
// What the administrator is told after the port became `port` (from `before`) while
// the server listens on `listening` (0: no server listens); empty when nothing changes.
std::string PortNotice(int port, int before, int listening);

// Each saves the users file; false (the settings unchanged, the user told unless
// `tellUser` is false) when the save failed.
bool SaveLibraryName(CWexmoorDoc& document, const std::string& name, bool tellUser = true);
bool SaveAddressAndPort(CWexmoorDoc& document, const std::string& address, int port, bool tellUser = true);

}  // namespace ServerValues
