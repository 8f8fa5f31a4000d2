#include "client/link/LinkNotice.h"

#include <cstring>

#include "client/records/LibraryConnection.h"
#include "client/records/LibraryEntry.h"

namespace {

struct CauseText {
  LinkEnd cause;
  const char* what;     // the cause, as the end of a sentence
  const char* remedy;   // what to do, whole sentences
};

constexpr const char* kCheckReachable = "Check that the server's computer is on and can be reached from here.";
constexpr const char* kNewCertificate =
    "Ask the administrator for a new certificate (and to unlock the account if it is locked out), and import it "
    "with Import Certificate.";
constexpr const char* kStartServer = "Start the server, or ask the administrator whether it listens on another port.";

constexpr CauseText kCauses[] = {
    {LinkEnd::kNameNotFound, "the server's name was not found",
     "Check the network, or ask the administrator for the server's address and a new certificate."},
    {LinkEnd::kConnectRefused, "the connection was refused: no server is listening at that address and port",
     kStartServer},
    {LinkEnd::kConnectNoAnswer, "the connection attempt got no answer", kCheckReachable},
    {LinkEnd::kConnectFailed, "the server cannot be reached", kCheckReachable},
    {LinkEnd::kLogonRefused, "the server refused the logon", kNewCertificate},
    {LinkEnd::kLogonClosed, "the server closed the connection without accepting the logon", kNewCertificate},
    {LinkEnd::kLogonNoAnswer, "the program at that address took the connection but never answered the logon",
     "Check with the administrator that the server is running there and that its address and port are right."},
    {LinkEnd::kServerGoodbye, "the server closed the connection: it is shutting down",
     "Wait until the server runs again."},
    {LinkEnd::kServerGone, "the server went away: the connection was closed or reset without a goodbye",
     "Check that the server is running, and start it if it is not."},
    {LinkEnd::kServerSilent, "the server stopped answering in the middle of a message",
     "Check that the server is running and answering."},
    {LinkEnd::kUnreadable, "the server sent a message that cannot be read",
     "Check that the server and this program come from the same release."},
    {LinkEnd::kTlsFailed, "the encrypted connection (TLS) could not be set up",
     "Ask the administrator whether the server serves TLS on the port your certificate names."},
    {LinkEnd::kServerNotTrusted,
     "the server presented a TLS certificate other than the one your certificate for this library names, so "
     "nothing was sent to it",
     "The server's key may have been renewed, or another computer answers in its place: do not log on until the "
     "fingerprints match. Ask the administrator for a new certificate, compare its fingerprint with the one the "
     "administrator reads out, and import it with Import Certificate."},
    {LinkEnd::kFileNotWritten, "a received file could not be written into the program's TemporaryFiles folder",
     "Make room on this computer's disk."},
};

constexpr CauseText kUnknownCause{LinkEnd::kNone, "the connection ended", "Check that the server is running."};

const CauseText& TextOf(LinkEnd cause) {
  for (const CauseText& text : kCauses) {
    if (text.cause == cause) return text;
  }
  return kUnknownCause;
}

bool IsLogonRefusal(LinkEnd cause) { return cause == LinkEnd::kLogonRefused || cause == LinkEnd::kLogonClosed; }

std::string Where(const LinkNotice::Library& library) {
  return "\"" + library.name + "\" at " + library.host + ":" + std::to_string(library.port) +
         (library.tls ? " (TLS)" : "");
}

}  // namespace

LinkNotice::Library LinkNotice::LibraryOf(const LibraryConnection& connection, const LibraryEntry* entry) {
  const bool tls = entry != nullptr && entry->IsTlsPinned();
  return {connection.GetName(), connection.GetHost(), tls ? entry->GetTlsPort() : connection.GetPort(),
          connection.GetUserText(), tls};
}

std::string LinkNotice::Connecting(const Library& library) {
  return "Connecting to the library " + Where(library) + " as \"" + library.user + "\"...";
}

std::string LinkNotice::FailedVisit(const Library& library, LinkEnd cause, int connectError,
                                    const std::string& refusalText, const Fingerprints& fingerprints) {
  const CauseText& text = TextOf(cause);
  std::string notice = "The library " + Where(library) + " could not be opened for the user \"" + library.user +
                       "\": " + text.what;
  if (cause == LinkEnd::kConnectFailed && connectError != 0) notice += std::string(" (") + std::strerror(connectError) + ")";
  notice += ".";
  if (cause == LinkEnd::kServerNotTrusted) {
    notice += "\n\nExpected fingerprint: " + fingerprints.expected + "\nPresented fingerprint: " +
              (fingerprints.presented.empty() ? "none" : fingerprints.presented);
  }
  if (cause == LinkEnd::kLogonRefused && !refusalText.empty()) notice += " The server said: \"" + refusalText + "\".";
  if (IsLogonRefusal(cause)) {
    notice += " A server refuses a certificate once a newer one was issued for the account or the same one was used "
              "on another computer, and while the account is locked out.";
  }
  return notice + "\n\n" + text.remedy + " Then choose Visit Library again.";
}

std::string LinkNotice::LostLink(const Library& library, LinkEnd cause, LinkEnd reconnect,
                                 const std::vector<std::string>& unconfirmed) {
  std::string notice = "The link to the library " + Where(library) + " was lost: " + TextOf(cause).what + ".";
  if (reconnect != LinkEnd::kNone) notice += " Reconnecting failed: " + std::string(TextOf(reconnect).what) + ".";
  notice += " The library window closes.";
  if (!unconfirmed.empty()) {
    notice += "\n\nNot confirmed by the server:";
    for (const std::string& line : unconfirmed) notice += "\n- " + line;
  }
  notice += "\n\n" + std::string(TextOf(reconnect != LinkEnd::kNone ? reconnect : cause).remedy) +
            " Then choose Visit Library to reconnect";
  return notice + (unconfirmed.empty() ? "." : ", and repeat the work listed above that the library does not show.");
}
