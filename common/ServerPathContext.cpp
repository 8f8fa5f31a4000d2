#include "common/ServerPathContext.h"

#include <mutex>

namespace {

std::mutex& HooksMutex() {
  static std::mutex mutex;
  return mutex;
}

ServerPathHooks& Hooks() {
  static ServerPathHooks hooks;
  return hooks;
}

// A copy taken under the lock, so the hooks run outside it (the server's counter
// takes a lock of its own).
ServerPathHooks CurrentHooks() {
  std::lock_guard<std::mutex> lock(HooksMutex());
  return Hooks();
}

}  // namespace

void ServerPathContext::Install(ServerPathHooks hooks) {
  std::lock_guard<std::mutex> lock(HooksMutex());
  if (hooks.libraryRoot && hooks.nextTempNumber) {
    Hooks() = std::move(hooks);
  } else {
    Hooks() = ServerPathHooks{};
  }
}

void ServerPathContext::Uninstall() { Install(ServerPathHooks{}); }

bool ServerPathContext::IsInstalled() {
  std::lock_guard<std::mutex> lock(HooksMutex());
  return static_cast<bool>(Hooks().libraryRoot);
}

std::string ServerPathContext::LibraryRoot() {
  const ServerPathHooks hooks = CurrentHooks();
  return hooks.libraryRoot ? hooks.libraryRoot() : std::string();
}

std::int32_t ServerPathContext::NextTempNumber() {
  const ServerPathHooks hooks = CurrentHooks();
  return hooks.nextTempNumber ? hooks.nextTempNumber() : 0;
}
