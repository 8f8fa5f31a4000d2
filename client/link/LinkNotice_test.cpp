#include "client/link/LinkNotice.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "client/records/LibraryConnection.h"
#include "client/records/LibraryEntry.h"

namespace {

const LinkNotice::Library kLibrary{"Main", "files.example", 8901, "ann"};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(LinkNotice, AFailedVisitNamesTheLibraryTheCauseAndTheRemedy) {
  struct Case {
    LinkEnd cause;
    int error;
    const char* refusal;
    std::vector<std::string> parts;
    std::vector<std::string> absent;
  };
  const Case cases[] = {
      {LinkEnd::kNameNotFound, 0, "", {"the server's name was not found", "ask the administrator"}, {"certificate may"}},
      {LinkEnd::kConnectRefused, ECONNREFUSED, "", {"connection was refused", "Start the server"}, {}},
      {LinkEnd::kConnectFailed, ENETDOWN, "", {"cannot be reached (Network is down).", "is on and can be reached"}, {}},
      {LinkEnd::kLogonRefused, 0, "Locked out", {"refused the logon.", "The server said: \"Locked out\".",
                                                 "newer one was issued", "new certificate"}, {}},
      {LinkEnd::kLogonClosed, 0, "ignored", {"without accepting the logon.", "new certificate"}, {"ignored"}},
      {LinkEnd::kLogonNoAnswer, 0, "", {"never answered the logon", "address and port are right"}, {"certificate"}},
  };
  for (const Case& c : cases) {
    const std::string text = LinkNotice::FailedVisit(kLibrary, c.cause, c.error, c.refusal);
    SCOPED_TRACE(text);
    EXPECT_EQ(text.rfind("The library \"Main\" at files.example:8901 could not be opened for the user \"ann\": ", 0), 0u);
    EXPECT_TRUE(Contains(text, "Then choose Visit Library again."));
    for (const std::string& part : c.parts) EXPECT_TRUE(Contains(text, part)) << part;
    for (const std::string& part : c.absent) EXPECT_FALSE(Contains(text, part)) << part;
  }
}

TEST(LinkNotice, ALostLinkListsTheUnconfirmedWorkAndTheFailedReconnect) {
  const std::string bare = LinkNotice::LostLink(kLibrary, LinkEnd::kServerGoodbye, LinkEnd::kNone, {});
  EXPECT_EQ(bare,
            "The link to the library \"Main\" at files.example:8901 was lost: the server closed the connection: it is "
            "shutting down. The library window closes.\n\nWait until the server runs again. Then choose Visit Library "
            "to reconnect.");
  const std::string busy = LinkNotice::LostLink(kLibrary, LinkEnd::kServerGone, LinkEnd::kConnectRefused,
                                                {"Check-out documents (sent, never answered)", "Add Project: A: 3 of 4 steps not done"});
  SCOPED_TRACE(busy);
  EXPECT_TRUE(Contains(busy, "was lost: the server went away: the connection was closed or reset without a goodbye. "
                             "Reconnecting failed: the connection was refused"));
  EXPECT_TRUE(Contains(busy, "Not confirmed by the server:\n- Check-out documents (sent, never answered)\n"
                             "- Add Project: A: 3 of 4 steps not done\n\nStart the server"));
  EXPECT_TRUE(Contains(busy, "and repeat the work listed above that the library does not show."));
}

// Every box about the link names the port it connects to: a pinned entry's TLS
// port, said to be TLS, else the library's plain port.
TEST(LinkNotice, EveryBoxNamesThePortTheLinkConnectsTo) {
  LibraryConnection connection;
  connection.SetName("Main");
  connection.SetHost("files.example");
  connection.SetPort(8901);
  connection.SetUserText("ann");
  LibraryEntry pinned("Main", "AB", 1);
  pinned.SetTlsPin(std::string(64, 'A'), 8950);
  struct Case {
    const char* name;
    const LibraryEntry* entry;
    std::string where;
  };
  const LibraryEntry plain("Main", "AB", 1);
  const Case cases[] = {
      {"no entry", nullptr, "\"Main\" at files.example:8901 "},
      {"plain entry", &plain, "\"Main\" at files.example:8901 "},
      {"pinned entry", &pinned, "\"Main\" at files.example:8950 (TLS) "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LinkNotice::Library library = LinkNotice::LibraryOf(connection, c.entry);
    for (const std::string& text :
         {LinkNotice::FailedVisit(library, LinkEnd::kTlsFailed, 0, ""), LinkNotice::Connecting(library),
          LinkNotice::LostLink(library, LinkEnd::kServerGone, LinkEnd::kNone, {})}) {
      EXPECT_TRUE(Contains(text, c.where)) << text;
    }
  }
}

}  // namespace
