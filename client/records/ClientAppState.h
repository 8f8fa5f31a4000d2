#pragma once
// The two facts of the client application that its records consult: whether the
// user profiles differ from "BKUsers.wxf" (set by record changes, cleared by a
// successful save) and the main window's size type (0 restored, 2 maximised),
// which picks the pane layout a profile reads and writes. Process-wide; the
// application sets the window state, tests set it directly.
class ClientAppState {
 public:
  static void MarkUsersModified();
  static void ClearUsersModified();
  static bool AreUsersModified();

  static constexpr int kMaximised = 2;
  static void SetWindowState(int state);
  static int GetWindowState();
};
