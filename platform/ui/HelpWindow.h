#pragma once
// The program's help: one HTML page whose sections are anchors named "topic<number>"
// after their help topics. Each top-level window owns at most one help window,
// which shows the page at the topic last asked for; it opens beside its window and
// Escape closes it.
#include <QTextBrowser>
#include <QUrl>

namespace platform::ui {

class HelpWindow : public QTextBrowser {
  Q_OBJECT

 public:
  // The page every help window shows; set once at start-up.
  static void SetPage(const QUrl& page);
  // Shows (making it on first use) the help window of `owner`'s top-level window,
  // scrolled to `topic`. Null when no page is set.
  static HelpWindow* ShowTopic(QWidget* owner, int topic);
  // The help window of `owner`'s top-level window, or null when none was made.
  static HelpWindow* Find(QWidget* owner);

  int Topic() const { return topic_; }

 private:
  explicit HelpWindow(QWidget* topLevel);

  int topic_ = 0;
};

}  // namespace platform::ui
