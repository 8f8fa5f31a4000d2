#include "server/engine/CWexmoorApp.h"

#include "common/BuiltInKeys.h"
#include "common/FileHelpers.h"
#include "common/RecordFields.h"
#include "platform/AtomicFile.h"
#include "platform/fs.h"
#include "server/engine/ServerConsole.h"
#include "server/store/CWexmoorDoc.h"

namespace {

constexpr int kXorKey = 1;

}  // namespace

void CWexmoorApp::SeedRootPathFile(const std::string& workingFolder, const std::string& rootPath) {
  const std::string file = workingFolder + "/" + CWexmoorDoc::kRootPathFileName;
  std::int64_t size = 0;
  if (rootPath.empty() || (platform::fs::FileSize(file, size) && size > 0)) return;
  CreateFolderPath(rootPath);
  platform::AtomicFile::Write(file, AppendBoolField(false, AppendStringField("", AppendStringField(rootPath, ""))));
}

CWexmoorApp::CWexmoorApp() = default;

CWexmoorApp::~CWexmoorApp() { ExitInstance(); }

bool CWexmoorApp::InitInstance(const StartOptions& options) {
  {
    std::lock_guard<std::mutex> lock(countMutex_);
    threadCount_ = 0;
    connectionNumber_ = 1;
  }
  codec_.Reset();
  const BuiltInKey settingsKey = SettingsBuiltInKey();
  const BuiltInKey certificateKey = CertificateBuiltInKey();
  codec_.Add(static_cast<int>(settingsKey.size()), settingsKey.data(), kXorKey);
  codec_.Add(static_cast<int>(certificateKey.size()), certificateKey.data(), kXorKey);

  auto document =
      std::make_unique<CWexmoorDoc>(CWexmoorDoc::Setup{options.workingFolder, options.lockFolder, certificateKey});
  SeedRootPathFile(document->GetWorkingFolder(), options.rootPath);
  CWexmoorDoc* const previous = CWexmoorDoc::GetDocument();
  CWexmoorDoc::SetDocument(document.get());
  if (!document->OnNewDocument()) {
    CWexmoorDoc::SetDocument(previous);  // a refused start leaves a running server's document in place
    return false;
  }
  document_ = std::move(document);
  document_->StartCheckedOutWalk();   // "checked-out" answers at once from then on
  console_ = std::make_unique<ServerConsole>(*this, *document_);
  console_->Start();
  // After the listener has started: the notices of start-up never hold it up.
  document_->GetNotes().SetSink([console = console_.get()](const std::string& line) { console->AddStatusLine(line); });
  if (companionStarter_) companion_ = companionStarter_(*this);
  return true;
}

void CWexmoorApp::ExitInstance() {
  companion_.reset();
  if (console_) console_->Shutdown();
  if (document_) document_->GetNotes().SetSink(nullptr);
  console_.reset();
  document_.reset();   // saves the users and root-path files
  WaitForThreadCount(0, kThreadWaitBound);
}

CWexmoorDoc* CWexmoorApp::GetDocument() { return CWexmoorDoc::GetDocument(); }

void CWexmoorApp::IncrementThreadCount() {
  std::lock_guard<std::mutex> lock(countMutex_);
  ++threadCount_;
  countChanged_.notify_all();
}

void CWexmoorApp::DecrementThreadCount() {
  std::lock_guard<std::mutex> lock(countMutex_);
  --threadCount_;
  countChanged_.notify_all();
}

int CWexmoorApp::GetThreadCount() const {
  std::lock_guard<std::mutex> lock(countMutex_);
  return threadCount_;
}

bool CWexmoorApp::WaitForThreadCount(int count, std::chrono::milliseconds bound) const {
  std::unique_lock<std::mutex> lock(countMutex_);
  return countChanged_.wait_for(lock, bound, [&] { return threadCount_ <= count; });
}

std::int32_t CWexmoorApp::TakeConnectionNumber() {
  std::lock_guard<std::mutex> lock(countMutex_);
  return connectionNumber_++;
}
