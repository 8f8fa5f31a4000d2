#pragma once
// The server's message boxes: a box asked for on the user-interface thread is shown
// there and answered; a box asked for on any other thread (a connection thread) is
// handed to the user-interface thread to show, and the asker goes on at once with
// the answer a box closed by Escape gives. A box without a caption is titled with
// the program's name.
#include <functional>

#include "platform/Notifier.h"

class ServerNotifier {
 public:
  static constexpr const char* kCaption = "Wexmoor";

  using ShowBox = std::function<platform::NotifyAnswer(const platform::Notification&)>;

  // Makes this the process's Notify handler; `show` shows one box on the
  // user-interface thread (the Qt message box unless a test passes its own).
  // Requires a QApplication for as long as the handler is installed.
  static void Install(ShowBox show = {});

  // The answer given at once to an asker on another thread.
  static platform::NotifyAnswer EscapeAnswer(platform::NotifyButtons buttons);
};
