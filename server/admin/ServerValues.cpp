#include "server/admin/ServerValues.h"

#include "server/admin/NameRule.h"
#include "server/admin/SettingsSave.h"
#include "server/store/CWexmoorDoc.h"

namespace {

constexpr int kNotANumber = -1;
constexpr int kTooLarge = -2;
constexpr int kMaxPort = 65535;
constexpr const char* kPortRule = "\n\nServer Port: a port is a whole number from 1 to 65535";

// The decimal port of `text`, kNotANumber or kTooLarge.
int ParsePort(const std::string& text) {
  if (text.empty()) return kNotANumber;
  long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return kNotANumber;
    value = value * 10 + (c - '0');
    if (value > kMaxPort) return kTooLarge;
  }
  return static_cast<int>(value);
}

}  // namespace

namespace ServerValues {

std::string LibraryNameRefusal(const std::string& name) {
  if (name.find_first_not_of(" \t") == std::string::npos) return "You must specify a name for the library";
  if (const std::string broken = NameRuleBroken(name); !broken.empty()) {
    return "The library name cannot be used as a folder name\n\nLibrary name: " + broken;
  }
  return "";
}

std::string AddressRefusal(const std::string& address, const std::string& portText, int& port) {
  const int value = ParsePort(portText);
  if (value == kNotANumber) return std::string("Please enter a positive integer.") + kPortRule;
  if (address.empty()) return "You must specify an IP Address";
  if (value == 0) return std::string("Server Port must have a value greater than zero") + kPortRule;
  if (value == kTooLarge) return std::string("Server Port must have a value no greater than 65535") + kPortRule;
  port = value;
  return "";
}

std::string PortNotice(int port, int before, int listening) {
  if (port == before || port == listening) return "";
  const std::string next = "Wexmoor listens on port " + std::to_string(port) + " from its next start";
  if (listening == 0) return next + ".";
  return next + "; until then it keeps port " + std::to_string(listening) +
         ".\nCertificates written from now on carry port " + std::to_string(port) +
         ": restart Wexmoor before handing them out.";
}

bool SaveLibraryName(CWexmoorDoc& document, const std::string& name, bool tellUser) {
  return SaveSettingsChange(document, [&name](ServerSettings& settings) {
    const std::string before = settings.GetLibraryName();
    settings.SetLibraryName(name);
    return [before](ServerSettings& undo) { undo.SetLibraryName(before); };
  }, tellUser);
}

bool SaveAddressAndPort(CWexmoorDoc& document, const std::string& address, int port, bool tellUser) {
  return SaveSettingsChange(document, [&address, port](ServerSettings& settings) {
    const std::string oldAddress = settings.GetServerAddress();
    const int oldPort = settings.GetPort();
    settings.SetServerAddress(address);
    settings.SetPort(port);
    return [oldAddress, oldPort](ServerSettings& undo) {
      undo.SetServerAddress(oldAddress);
      undo.SetPort(oldPort);
    };
  }, tellUser);
}

}  // namespace ServerValues
