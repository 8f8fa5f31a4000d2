#include "server/engine/TlsListener.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/TlsContext.h"
#include "server/engine/StartSockets.h"

namespace {

constexpr const char* kNotSaved = "the TLS settings could not be saved";
constexpr const char* kNotServed = "TLS is not served: ";
// The listener takes a change at its next turn, within a poll's wait.
constexpr std::chrono::seconds kHandoverBound{5};

}  // namespace

std::optional<TlsListener::Handover> TlsListener::Open(const TlsSettings& settings, const std::string& rootPath,
                                                       std::string& error) const {
  Handover handover;
  if (settings.GetMode() == TlsSettings::Mode::Off) return handover;
  handover.serving.context = platform::TlsContext::ForServer(TlsSettings::CertificatePath(rootPath),
                                                             TlsSettings::KeyPath(rootPath), error);
  if (!handover.serving.context) return std::nullopt;
  handover.port = settings.PortFor(libraryPort_);
  if (handover.port == heldPort_) {
    handover.keepSocket = true;
    return handover;
  }
  errno = 0;
  if (handover.port >= 1 && handover.port <= 65535) {
    handover.serving.socket = platform::Socket::Listen(static_cast<std::uint16_t>(handover.port), ListenBacklog());
  }
  if (!handover.serving.socket.IsOpen()) {
    const std::string reason = errno != 0 ? std::strerror(errno) : "outside 1-65535";
    error = "cannot listen on port " + std::to_string(handover.port) + ": " + reason;
    return std::nullopt;
  }
  return handover;
}

TlsListener::Serving TlsListener::Start(const std::string& rootPath, int libraryPort,
                                        const std::function<void(const std::string&)>& report) {
  std::lock_guard<std::mutex> lock(mutex_);
  // What a change made before saved is on disk now.
  pending_.reset();
  running_ = true;
  libraryPort_ = libraryPort;
  heldPort_ = 0;
  const std::optional<TlsSettings> settings = TlsSettings::Load(rootPath);
  if (!settings) {
    report(std::string("The TLS settings ") + TlsSettings::kFileName +
           " cannot be read: TLS is not served and plain logons are refused");
    plainRefused_ = true;
    return Serving();
  }
  plainRefused_ = settings->GetMode() == TlsSettings::Mode::Required;
  if (settings->GetMode() == TlsSettings::Mode::Off) return Serving();
  const std::string refusal = plainRefused_ ? "; plain logons are refused" : "";
  std::string error;
  std::optional<Handover> opened = Open(*settings, rootPath, error);
  if (!opened) {
    report(kNotServed + error + refusal);
    return Serving();
  }
  heldPort_ = opened->port;
  report("TLS " + std::string(TlsSettings::ModeText(settings->GetMode())) + " on port " +
         std::to_string(opened->port) + ", certificate fingerprint " + TlsSettings::Fingerprint(rootPath));
  return std::move(opened->serving);
}

void TlsListener::TakeChange(Serving& serving) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!pending_) return;
  if (pending_->keepSocket) pending_->serving.socket = std::move(serving.socket);
  serving = std::move(pending_->serving);
  heldPort_ = pending_->port;
  pending_.reset();
  taken_.notify_all();
}

void TlsListener::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  running_ = false;
  heldPort_ = 0;
  pending_.reset();
  taken_.notify_all();
}

std::string TlsListener::Change(const TlsSettings& settings, const std::string& rootPath,
                                const std::function<bool()>& save, bool& applied) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto handedOver = [this] { return !pending_ || !running_; };
  taken_.wait_for(lock, kHandoverBound, handedOver);
  applied = running_;
  if (!running_) return save() ? std::string() : kNotSaved;
  if (pending_) return "the listener has not taken the last TLS change yet; try again";
  std::string error;
  std::optional<Handover> opened = Open(settings, rootPath, error);
  if (!opened) return kNotServed + error;
  if (!save()) return kNotSaved;
  pending_ = std::move(opened);
  plainRefused_ = settings.GetMode() == TlsSettings::Mode::Required;
  // The command says what holds once the listener serves it.
  taken_.wait_for(lock, kHandoverBound, handedOver);
  return std::string();
}
