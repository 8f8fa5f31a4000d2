#include "platform/ui/LineCommands.h"

#include <QSocketNotifier>
#include <cerrno>
#include <memory>
#include <unistd.h>

namespace platform::ui {

LineCommands::LineCommands(int fd, std::ostream& out, QObject* parent)
    : QObject(parent), fd_(fd), out_(out) {
  if (fd < 0) return;   // commands come only through Feed
  notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &LineCommands::ReadAvailable);
}

void LineCommands::Add(const std::string& name, Handler handler) { handlers_[name] = std::move(handler); }

bool LineCommands::SplitWords(const std::string& line, Words& words) {
  words.clear();
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
      continue;
    }
    std::string word;
    if (line[i] != '"') {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') word += line[i++];
      words.push_back(word);
      continue;
    }
    ++i;
    for (;;) {
      if (i >= line.size()) return false;
      if (line[i] == '"') {
        if (i + 1 < line.size() && line[i + 1] == '"') {
          word += '"';
          i += 2;
          continue;
        }
        ++i;
        break;
      }
      word += line[i++];
    }
    words.push_back(word);
  }
  return true;
}

void LineCommands::Feed(const std::string& line) {
  lines_.push_back(line);
  RunNext();
}

void LineCommands::ReadAvailable() {
  char buffer[4096];
  const ssize_t count = ::read(fd_, buffer, sizeof buffer);
  if (count <= 0) {
    if (count < 0 && errno == EINTR) return;
    notifier_->setEnabled(false);
    emit inputClosed();
    return;
  }
  partial_.append(buffer, static_cast<std::size_t>(count));
  std::size_t end;
  while ((end = partial_.find('\n')) != std::string::npos) {
    lines_.push_back(partial_.substr(0, end));
    partial_.erase(0, end + 1);
  }
  RunNext();
}

void LineCommands::RunNext() {
  while (!running_ && !lines_.empty()) {
    const std::string line = lines_.front();
    lines_.pop_front();
    Words words;
    if (!SplitWords(line, words)) {
      out_ << "error: unterminated quote" << std::endl;
      continue;
    }
    if (words.empty()) continue;
    const auto found = handlers_.find(words.front());
    if (found == handlers_.end()) {
      out_ << "error: unknown command " << words.front() << std::endl;
      continue;
    }
    running_ = true;
    // The reply may come later, from the event loop; it is taken once.
    auto replied = std::make_shared<bool>(false);
    Reply reply = [this, replied](bool ok, const std::string& text) {
      if (*replied) return;
      *replied = true;
      if (ok) {
        out_ << (text.empty() ? "ok" : "ok " + text) << std::endl;
      } else {
        out_ << "error: " << text << std::endl;
      }
      running_ = false;
      QMetaObject::invokeMethod(this, &LineCommands::RunNext, Qt::QueuedConnection);
    };
    found->second(Words(words.begin() + 1, words.end()), reply);
  }
}

}  // namespace platform::ui
