#pragma once
// A program run as a child process by a test, its standard output and error read
// through pipes (and, when asked, its standard input written through one). Waits
// are bounded; the destructor kills and reaps a child still running.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

class ChildProcess {
 public:
  struct Options {
    // The child's whole environment; empty: this process's.
    std::vector<std::string> environment;
    bool ownEnvironment = false;
    // SIGINT and SIGTERM start blocked in the child, so a signal sent at once
    // waits until the program has installed its handlers.
    bool blockTerminationSignals = false;
    // Standard input comes from a pipe that WriteInput fills; otherwise the child
    // inherits this process's.
    bool withInput = false;
  };

  ChildProcess(const std::string& program, const std::vector<std::string>& arguments, const Options& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  // Reads both pipes to their end (at most 30 s, then the child is killed), then
  // reaps the child: its exit status, or -1 when a signal ended it.
  int Finish();
  void Signal(int number);
  // Writes to the child's standard input; false when it has closed it (or none was asked for).
  bool WriteInput(const std::string& text);
  void CloseInput();
  // Reads standard output until it holds `text` at or after `from`: true; false when
  // the output ended or `bound` passed first.
  bool WaitForOutput(const std::string& text, std::size_t from = 0,
                     std::chrono::milliseconds bound = std::chrono::seconds(20));
  const std::string& Output() const { return output_; }
  const std::string& Errors() const { return errors_; }

  // This process's environment without anything that names a display.
  static std::vector<std::string> EnvironmentWithoutDisplay();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  int in_ = -1;
  std::string output_;
  std::string errors_;
};
