#include "client/records/ClientAppState.h"

#include <atomic>

namespace {

// The receive thread marks profiles too (a new logon code), so both are atomic.
std::atomic<bool> usersModified{false};
std::atomic<int> windowState{0};

}  // namespace

void ClientAppState::MarkUsersModified() { usersModified = true; }
void ClientAppState::ClearUsersModified() { usersModified = false; }
bool ClientAppState::AreUsersModified() { return usersModified; }
void ClientAppState::SetWindowState(int state) { windowState = state; }
int ClientAppState::GetWindowState() { return windowState; }
