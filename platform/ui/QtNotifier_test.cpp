#include "platform/ui/QtNotifier.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <optional>
#include <thread>

#include "platform/ui/QtTestApplication.h"

namespace platform::ui {
namespace {

// What the answerer saw of the box it answered.
struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  bool onGuiThread = false;
};

// Waits on the GUI thread for the next visible message box, notes what it shows
// and presses the given button (or Escape when none is given). A box that is
// still open 3 s after being answered is closed by force and counted as stuck.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(std::optional<QMessageBox::StandardButton> press) : press_(press) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { OnTick(); });
    timer_.start(5);
  }

  const std::optional<SeenBox>& Seen() const { return seen_; }
  bool Stuck() const { return stuck_; }

 private:
  static QMessageBox* VisibleBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box != nullptr && box->isVisible()) return box;
    }
    return nullptr;
  }

  void OnTick() {
    QMessageBox* box = VisibleBox();
    if (box == nullptr) return;
    if (seen_) {
      if (sinceAnswer_.elapsed() < 3000) return;
      stuck_ = true;
      box->done(QDialog::Rejected);
      return;
    }
    seen_ = SeenBox{box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                    box->defaultButton() != nullptr ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton,
                    QThread::currentThread() == box->thread()};
    sinceAnswer_.start();
    if (!press_) {
      QTest::keyClick(box, Qt::Key_Escape);
    } else if (QAbstractButton* button = box->button(*press_)) {
      button->click();
    } else {
      box->done(QDialog::Rejected);  // the wanted button is missing
    }
  }

  std::optional<QMessageBox::StandardButton> press_;
  QTimer timer_;
  QElapsedTimer sinceAnswer_;
  std::optional<SeenBox> seen_;
  bool stuck_ = false;
};

Notification MakeNotification(NotifyButtons buttons, NotifyIcon icon = NotifyIcon::Question) {
  Notification notification;
  notification.caption = "Check In";
  notification.text = "Keep the file checked out?";
  notification.icon = icon;
  notification.buttons = buttons;
  return notification;
}

TEST(QtNotifierTest, EachButtonSetShowsItsButtonsAndMapsThePressedOne) {
  struct Case {
    NotifyButtons buttons;
    QMessageBox::StandardButtons shown;
    QMessageBox::StandardButton press;
    NotifyAnswer answer;
  };
  const Case cases[] = {
      {NotifyButtons::Ok, QMessageBox::Ok, QMessageBox::Ok, NotifyAnswer::Ok},
      {NotifyButtons::OkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, NotifyAnswer::Ok},
      {NotifyButtons::OkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel, NotifyAnswer::Cancel},
      {NotifyButtons::YesNo, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, NotifyAnswer::Yes},
      {NotifyButtons::YesNo, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, NotifyAnswer::No},
      {NotifyButtons::YesNoCancel, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel,
       NotifyAnswer::Cancel},
      {NotifyButtons::SaveDiscardCancel, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
       QMessageBox::Save, NotifyAnswer::Yes},
      {NotifyButtons::SaveDiscardCancel, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
       QMessageBox::Discard, NotifyAnswer::No},
  };
  for (const Case& c : cases) {
    BoxAnswerer answerer(c.press);
    EXPECT_EQ(ShowMessageBox(MakeNotification(c.buttons)), c.answer) << "button " << c.press;
    ASSERT_TRUE(answerer.Seen());
    EXPECT_EQ(answerer.Seen()->buttons, c.shown);
  }
}

TEST(QtNotifierTest, EscapeGivesTheCautiousAnswerWhichIsAQuestionsDefault) {
  const struct {
    NotifyButtons buttons;
    NotifyAnswer answer;
    bool isDefault;   // Enter gives it too
  } cases[] = {
      {NotifyButtons::Ok, NotifyAnswer::Ok, false},
      {NotifyButtons::OkCancel, NotifyAnswer::Cancel, false},
      {NotifyButtons::YesNo, NotifyAnswer::No, true},
      {NotifyButtons::YesNoCancel, NotifyAnswer::Cancel, true},
  };
  for (const auto& c : cases) {
    BoxAnswerer answerer(std::nullopt);
    EXPECT_EQ(ShowMessageBox(MakeNotification(c.buttons)), c.answer);
    ASSERT_TRUE(answerer.Seen());
    EXPECT_FALSE(answerer.Stuck()) << "Escape did not close the box";
    if (c.isDefault) {
      EXPECT_EQ(answerer.Seen()->defaultButton, c.answer == NotifyAnswer::No ? QMessageBox::No : QMessageBox::Cancel);
    }
  }
}

TEST(QtNotifierTest, InstalledNotifierShowsCaptionTextAndIcon) {
  InstallQtNotifier();
  BoxAnswerer answerer(QMessageBox::Yes);
  const NotifyAnswer answer = Notify(MakeNotification(NotifyButtons::YesNo, NotifyIcon::Error));
  SetNotifyHandler(nullptr);
  EXPECT_EQ(answer, NotifyAnswer::Yes);
  ASSERT_TRUE(answerer.Seen());
  EXPECT_EQ(answerer.Seen()->title, "Check In");
  EXPECT_EQ(answerer.Seen()->text, "Keep the file checked out?");
  EXPECT_EQ(answerer.Seen()->icon, QMessageBox::Critical);
}

TEST(QtNotifierTest, CallFromAnotherThreadShowsTheBoxOnTheGuiThread) {
  BoxAnswerer answerer(QMessageBox::No);
  std::atomic<bool> done{false};
  NotifyAnswer answer = NotifyAnswer::Ok;
  std::thread worker([&] {
    answer = ShowMessageBox(MakeNotification(NotifyButtons::YesNo));
    done = true;
  });
  QElapsedTimer elapsed;
  elapsed.start();
  while (!done && elapsed.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_TRUE(done) << "the box was never answered";
  worker.join();
  EXPECT_EQ(answer, NotifyAnswer::No);
  ASSERT_TRUE(answerer.Seen());
  EXPECT_TRUE(answerer.Seen()->onGuiThread);
}

}  // namespace
}  // namespace platform::ui
