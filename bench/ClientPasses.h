#pragma once
// A client application of a benchmark: opened on a library of the test server, its
// passes driven while the benchmark waits for its replies.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "platform/ScratchFolder.h"
#include "testsupport/TestServer.h"

namespace bench {

constexpr auto kClientReplyLimit = std::chrono::seconds(120);
// Short against every figure, and leaves the cores to the server and the link.
constexpr auto kClientPassInterval = std::chrono::microseconds(200);

// Runs `app`'s pass until `done`, for at most kClientReplyLimit.
template <typename App>
bool PassUntil(App& app, const std::function<bool()>& done) {
  for (const auto end = std::chrono::steady_clock::now() + kClientReplyLimit;
       std::chrono::steady_clock::now() < end;) {
    app.DoProcessing();
    if (done()) return true;
    std::this_thread::sleep_for(kClientPassInterval);
  }
  return done();
}

// Starts an application in `folder` whose user imports the certificate of account
// `userId` and opens its library (`doc`); none, with `failure` naming the step that
// failed, when it could not.
inline std::unique_ptr<CBrannockApp> OpenLibraryClient(const TestServer& server, int userId,
                                                       const platform::ScratchFolder& folder, CBrannockDoc*& doc,
                                                       const char*& failure) {
  const std::string certificate = folder / "bench.wxc";
  if (!server.WriteCertificate(userId, certificate)) {
    failure = "no certificate";
    return nullptr;
  }
  auto app = std::make_unique<CBrannockApp>(folder.Path(), "login");
  if (!app->InitInstance()) {
    failure = "the client did not start";
    return nullptr;
  }
  if (app->ImportCertificate(certificate) != CertificateImport::Result::Imported) {
    failure = "import refused";
    return nullptr;
  }
  doc = CBrannockDoc::VisitLibrary(*app, "0");
  if (doc == nullptr) {
    failure = "the library did not open";
    return nullptr;
  }
  return app;
}

}  // namespace bench
