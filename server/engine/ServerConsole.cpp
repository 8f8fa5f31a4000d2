#include "server/engine/ServerConsole.h"

#include <cstdio>

#include "platform/CriticalSection.h"
#include "platform/MemoryPools.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/RTE.h"
#include "server/engine/StartSockets.h"
#include "server/store/CWexmoorDoc.h"

namespace {

std::string ActiveUserText(int active) { return "Active user count is " + std::to_string(active); }

}  // namespace

ServerConsole::ServerConsole(CWexmoorApp& app, CWexmoorDoc& document) : app_(app), document_(document) {}

ServerConsole::~ServerConsole() { Shutdown(); }

std::string ServerConsole::FormatUpTime(unsigned minutes) {
  char text[128];
  std::snprintf(text, sizeof text, "Up Time is %u week(s), %u day(s), %u hour(s), %u minute(s)", minutes / 10080,
                (minutes / 1440) % 7, (minutes / 60) % 24, minutes % 60);
  return text;
}

// --- start, tick, shutdown ------------------------------------------------------

void ServerConsole::Start() {
  const ServerSettings& settings = document_.GetSettings();
  {
    std::lock_guard<std::mutex> lock(textMutex_);
    startTime_.SetNow();
    statusLines_.push_back("Wexmoor started at " + startTime_.FormatForDisplay(6));
    statusLines_.push_back("Library Name is " + settings.GetLibraryName());
    statusLines_.push_back("Library root path is [" + document_.GetRootPath() + "]");
    statusLines_.push_back("Machine name is " + settings.GetServerAddress());
    listeningPort_ = settings.GetPort();
    statusLines_.push_back("Listening port is " + std::to_string(listeningPort_));
    upTimeText_ = FormatUpTime(0);
    activeUserText_ = ActiveUserText(GetActiveUserCount());
  }
  {
    std::lock_guard<std::mutex> lock(listenerMutex_);
    listenerState_ = ListenerState::Starting;
  }
  listenerStop_ = false;
  listener_ = std::thread(StartSockets, this);
}

std::vector<std::string> ServerConsole::GetLoggedOnUserNames() const {
  std::vector<std::uint32_t> userIds;
  {
    platform::CriticalSection::Lock hold(document_.GetQueueSection());
    for (const auto& [number, connection] : connections_) {
      if (connection.engine && !connection.engine->IsFinished() && connection.engine->IsLoggedOn()) {
        userIds.push_back(connection.engine->GetUserIdentity().GetUserId());
      }
    }
  }
  std::vector<std::string> names;
  for (const std::uint32_t id : userIds) {
    if (const std::optional<UserAccount> account = document_.GetSettings().FindUser(static_cast<int>(id))) {
      names.push_back(account->GetName());
    }
  }
  return names;
}

void ServerConsole::Tick() {
  DateTime now;
  now.SetNow();
  std::vector<std::string> lines = GetLoggedOnUserNames();
  int active = 0;
  {
    platform::CriticalSection::Lock hold(document_.GetQueueSection());
    active = activeUserCount_;
  }
  const ServerSettings& settings = document_.GetSettings();
  int locked = 0;
  for (int i = 0; i < settings.GetUserCount(); ++i) {
    const std::optional<UserAccount> account = settings.GetUser(i);
    if (account && account->IsLockedOut()) {
      lines.push_back(account->GetName() + " (Locked out)");
      ++locked;
    }
  }
  {
    std::lock_guard<std::mutex> lock(textMutex_);
    upTimeText_ = FormatUpTime(now.MinutesBetween(startTime_));
    userLines_ = std::move(lines);
    activeUserText_ = ActiveUserText(active) + ",       Locked out user count is " + std::to_string(locked);
  }
  ReapEndedConnections();
}

void ServerConsole::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  {
    std::lock_guard<std::mutex> lock(listenerMutex_);
    listenerStop_ = true;
    if (listeningSocket_ != nullptr) listeningSocket_->Shutdown();
  }
  listenerChanged_.notify_all();
  if (listener_.joinable()) listener_.join();
  {
    platform::CriticalSection::Lock hold(document_.GetQueueSection());
    for (auto& [number, connection] : connections_) {
      if (connection.engine) connection.engine->Stop();
    }
  }
  std::vector<ConnectionMap::node_type> all = TakeConnections(false);
  Finish(all);
  {
    std::lock_guard<std::mutex> lock(textMutex_);
    userLines_.clear();
  }
  serverClosed_ = true;
}

// --- engine list ------------------------------------------------------------------

void ServerConsole::ChangeActiveUserCount(int delta) {
  platform::CriticalSection::Lock hold(document_.GetQueueSection());
  activeUserCount_ += delta;
}

bool ServerConsole::AddEngine(std::int32_t number, std::unique_ptr<RTE> engine) {
  try {
    platform::CriticalSection::Lock hold(document_.GetQueueSection());
    connections_[number].engine = std::move(engine);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void ServerConsole::AddConnectionThread(std::int32_t number, std::thread thread) {
  platform::CriticalSection::Lock hold(document_.GetQueueSection());
  connections_[number].thread = std::move(thread);
}

void ServerConsole::DropUnstartedConnection(std::int32_t number) {
  ConnectionMap::node_type dropped;
  {
    platform::CriticalSection::Lock hold(document_.GetQueueSection());
    dropped = connections_.extract(number);
  }
  // The engine is deleted outside the section: it closes its connection.
}

void ServerConsole::ConnectionEnded(std::int32_t number) {
  platform::CriticalSection::Lock hold(document_.GetQueueSection());
  connections_[number].ended = true;
}

void ServerConsole::ReapEndedConnections() {
  std::vector<ConnectionMap::node_type> ended = TakeConnections(true);
  if (ended.empty()) return;
  Finish(ended);
  // The last connection has gone: what the connections held is freed, but the
  // pools keep it until freeing reaches their trim step, which an idle server never does.
  if (GetListedEngineCount() == 0) platform::HandBackFreeMemory();
}

std::vector<ServerConsole::ConnectionMap::node_type> ServerConsole::TakeConnections(bool endedOnly) {
  std::vector<ConnectionMap::node_type> taken;
  platform::CriticalSection::Lock hold(document_.GetQueueSection());
  for (auto it = connections_.begin(); it != connections_.end();) {
    const Connection& connection = it->second;
    // A thread not handed over yet cannot be joined: it stays for a later round.
    const bool take = !endedOnly || (connection.ended && connection.thread.joinable());
    auto next = std::next(it);
    if (take) taken.push_back(connections_.extract(it));
    it = next;
  }
  return taken;
}

// Joins first, so no engine is freed under its own thread.
void ServerConsole::Finish(std::vector<ConnectionMap::node_type>& taken) {
  for (ConnectionMap::node_type& node : taken) {
    if (node.mapped().thread.joinable()) node.mapped().thread.join();
    node.mapped().engine.reset();
  }
  taken.clear();
}

int ServerConsole::GetActiveUserCount() const {
  platform::CriticalSection::Lock hold(document_.GetQueueSection());
  return activeUserCount_;
}

std::size_t ServerConsole::GetListedEngineCount() const {
  platform::CriticalSection::Lock hold(document_.GetQueueSection());
  std::size_t count = 0;
  for (const auto& [number, connection] : connections_) count += connection.engine ? 1 : 0;
  return count;
}

int ServerConsole::GetLiveConnectionThreadCount() const {
  platform::CriticalSection::Lock hold(document_.GetQueueSection());
  int count = 0;
  for (const auto& [number, connection] : connections_) count += connection.ended ? 0 : 1;
  return count;
}

namespace {

bool IsStranger(const RTE& engine) {
  return !engine.IsFinished() && engine.IsConnected() && !engine.IsLoggedOn() && !engine.IsStopRequested();
}

}  // namespace

int ServerConsole::GetStrangerCount() const {
  platform::CriticalSection::Lock hold(document_.GetQueueSection());
  int count = 0;
  for (const auto& [number, connection] : connections_) count += connection.engine && IsStranger(*connection.engine);
  return count;
}

bool ServerConsole::StopNoisiestStranger(std::chrono::milliseconds stalled, std::chrono::milliseconds quiet) {
  platform::CriticalSection::Lock hold(document_.GetQueueSection());
  RTE* stalledLongest = nullptr;
  RTE* quietLongest = nullptr;
  for (const auto& [number, connection] : connections_) {
    if (!connection.engine || !IsStranger(*connection.engine)) continue;
    RTE* engine = connection.engine.get();
    const std::chrono::milliseconds quietFor = engine->QuietFor();
    if (engine->IsWaitingMidMessage() && quietFor >= stalled) {
      stalled = quietFor;
      stalledLongest = engine;
    } else if (!engine->IsWaitingMidMessage() && quietFor >= quiet) {
      quiet = quietFor;
      quietLongest = engine;
    }
  }
  RTE* chosen = stalledLongest != nullptr ? stalledLongest : quietLongest;
  if (chosen != nullptr) chosen->Stop();
  return chosen != nullptr;
}

// --- listener state -----------------------------------------------------------------

void ServerConsole::ReportListening(platform::Socket* listening) {
  {
    std::lock_guard<std::mutex> lock(listenerMutex_);
    listeningSocket_ = listening;
    listenerState_ = ListenerState::Listening;
    listenerFailure_.clear();
    if (listenerStop_ && listening != nullptr) listening->Shutdown();
  }
  listenerChanged_.notify_all();
}

void ServerConsole::ReportListenerFailure(const std::string& text) {
  AddStatusLine(text);
  {
    std::lock_guard<std::mutex> lock(listenerMutex_);
    listeningSocket_ = nullptr;
    listenerState_ = ListenerState::Failed;
    listenerFailure_ = text;
  }
  listenerChanged_.notify_all();
}

void ServerConsole::ReportPortBusy(const std::string& text) {
  AddStatusLine(text);
  {
    std::lock_guard<std::mutex> lock(listenerMutex_);
    listenerState_ = ListenerState::WaitingForPort;
    listenerFailure_ = text;
  }
  listenerChanged_.notify_all();
}

void ServerConsole::ReportListenerEnded() {
  {
    std::lock_guard<std::mutex> lock(listenerMutex_);
    listeningSocket_ = nullptr;
    if (listenerState_ != ListenerState::Failed) listenerState_ = ListenerState::Ended;
  }
  listenerChanged_.notify_all();
}

ServerConsole::ListenerState ServerConsole::WaitForListener(std::chrono::milliseconds bound) const {
  std::unique_lock<std::mutex> lock(listenerMutex_);
  listenerChanged_.wait_for(lock, bound, [this] { return listenerState_ != ListenerState::Starting; });
  return listenerState_;
}

ServerConsole::ListenerState ServerConsole::GetListenerState() const {
  std::lock_guard<std::mutex> lock(listenerMutex_);
  return listenerState_;
}

std::string ServerConsole::GetListenerFailure() const {
  std::lock_guard<std::mutex> lock(listenerMutex_);
  return listenerFailure_;
}

bool ServerConsole::PauseUnlessStopping(std::chrono::milliseconds bound) {
  std::unique_lock<std::mutex> lock(listenerMutex_);
  return !listenerChanged_.wait_for(lock, bound, [this] { return listenerStop_.load(); });
}

// --- texts ----------------------------------------------------------------------------

void ServerConsole::AddStatusLine(const std::string& line) {
  std::lock_guard<std::mutex> lock(textMutex_);
  statusLines_.push_back(line);
}

std::vector<std::string> ServerConsole::GetStatusLines() const {
  std::lock_guard<std::mutex> lock(textMutex_);
  return statusLines_;
}

int ServerConsole::GetListeningPort() const {
  std::lock_guard<std::mutex> lock(textMutex_);
  return listeningPort_;
}

std::string ServerConsole::GetUpTimeText() const {
  std::lock_guard<std::mutex> lock(textMutex_);
  return upTimeText_;
}

std::string ServerConsole::GetActiveUserText() const {
  std::lock_guard<std::mutex> lock(textMutex_);
  return activeUserText_;
}

std::vector<std::string> ServerConsole::GetUserLines() const {
  std::lock_guard<std::mutex> lock(textMutex_);
  return userLines_;
}
