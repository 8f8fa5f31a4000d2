#include "platform/ui/LineCommands.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <sstream>

#include "platform/ui/QtTestApplication.h"

namespace platform::ui {
namespace {

TEST(LineCommandsTest, SplitsWordsWithQuotes) {
  const struct {
    const char* line;
    bool ok;
    LineCommands::Words words;
  } cases[] = {
      {"", true, {}},
      {"  visit   0 ", true, {"visit", "0"}},
      {"tick \"Pump Assembly.dxf\" 2", true, {"tick", "Pump Assembly.dxf", "2"}},
      {"say \"a \"\"quoted\"\" word\"", true, {"say", "a \"quoted\" word"}},
      {"say \"\"", true, {"say", ""}},
      {"say \"open", false, {}},
  };
  for (const auto& c : cases) {
    LineCommands::Words words;
    EXPECT_EQ(LineCommands::SplitWords(c.line, words), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(words, c.words) << c.line;
    }
  }
}

TEST(LineCommandsTest, RunsOneCommandAtATimeAndRepliesInOrder) {
  std::ostringstream out;
  LineCommands commands(-1, out);
  LineCommands::Reply pending;
  commands.Add("later", [&](const LineCommands::Words&, LineCommands::Reply reply) { pending = reply; });
  commands.Add("echo", [](const LineCommands::Words& words, LineCommands::Reply reply) {
    reply(!words.empty(), words.empty() ? "nothing to echo" : words.front());
  });
  commands.Feed("later");
  commands.Feed("echo one");
  commands.Feed("nosuch");
  commands.Feed("echo");
  EXPECT_EQ(out.str(), "");   // everything waits for the running command
  pending(true, "");
  pending(false, "twice");    // a second reply is dropped
  QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(out.str()),
                            QString("ok\nok one\nerror: unknown command nosuch\nerror: nothing to echo\n"), 5000);
}

}  // namespace
}  // namespace platform::ui
