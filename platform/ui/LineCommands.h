#pragma once
// Commands read line by line from a file descriptor (standard input of a program
// started with --test-hooks), without blocking the event loop. A line is words
// separated by blanks; a word in double quotes may hold blanks, and "" inside it
// stands for one quote. Commands run one at a time, in order: the next line waits
// until the running command has replied. Every reply is one line on the output:
// "ok" or "ok <text>", or "error: <text>" (also for an unknown command).
#include <QObject>
#include <deque>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

class QSocketNotifier;

namespace platform::ui {

class LineCommands : public QObject {
  Q_OBJECT

 public:
  using Words = std::vector<std::string>;
  // Called once per command; `ok` false makes the reply an error.
  using Reply = std::function<void(bool ok, const std::string& text)>;
  using Handler = std::function<void(const Words& arguments, Reply reply)>;

  // `fd` below 0: no input; lines come only through Feed.
  LineCommands(int fd, std::ostream& out, QObject* parent = nullptr);

  void Add(const std::string& name, Handler handler);

  // The words of one line; false for an unterminated quote.
  static bool SplitWords(const std::string& line, Words& words);

  // Runs one line as if it was read (tests).
  void Feed(const std::string& line);

 signals:
  // The input ended (end of file or a read error).
  void inputClosed();

 private:
  void ReadAvailable();
  void RunNext();

  int fd_;
  std::ostream& out_;
  QSocketNotifier* notifier_ = nullptr;
  std::map<std::string, Handler> handlers_;
  std::string partial_;
  std::deque<std::string> lines_;
  bool running_ = false;
};

}  // namespace platform::ui
