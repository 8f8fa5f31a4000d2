// Find in Library through the client core against a real server on 127.0.0.1: the
// seconds from the start of a find until every project's list has been searched, in
// a library of 100 000 documents (100 projects of 1000), finding one name (in every
// project) and the user's check-outs, against the goal of 5 s. Each find asks for
// the tree and every list afresh, as the Find window does, with the application's
// pass run every 0.2 ms. Best of a few rounds. Run from an optimised build
// configured with -DWEX_BUILD_BENCH=ON: <build>/bench/bench_find
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "bench/BenchSupport.h"
#include "bench/ClientPasses.h"
#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/rules/LibraryFind.h"
#include "platform/Notifier.h"
#include "platform/ScratchFolder.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ServerProject.h"
#include "testsupport/TestServer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 3;
constexpr int kProjects = 100;
constexpr int kDocumentsPerProject = 1000;
constexpr double kGoalSeconds = 5.0;
constexpr const char* kUser = "bench";

class FindBench {
 public:
  // False, with a line on what failed, when the library or the client is not ready.
  bool Start() {
    if (!server_.Start()) return Fail("the server did not start");
    const std::optional<UserAccount> user = server_.AddUser(kUser, "secret", false);
    if (!user) return Fail("the account was refused");
    int next = 0;
    for (int p = 0; p < kProjects; ++p) {
      ServerProject created;
      if (server_.Document().CreateProject("", "Project " + std::to_string(p), "", created, false) != 0 ||
          !bench::WriteDocuments(server_.Document(), created.GetInternalName(), kDocumentsPerProject, next)) {
        return Fail("the library was not built");
      }
      if (p % 10 == 0 &&
          server_.Document().CheckOutDocuments(created.GetInternalName(), "doc7.txt", -1, kUser, false, false).code !=
              0) {
        return Fail("the check-out was refused");
      }
    }
    const char* failure = "";
    app_ = bench::OpenLibraryClient(server_, user->GetId(), folder_, doc_, failure);
    if (app_ == nullptr) return Fail(failure);
    if (!PassUntil([this] { return doc_->IsFirstRequestSent() && doc_->GetUnansweredRequestCount() == 0; })) {
      return Fail("the first tree did not come");
    }
    return true;
  }

  // Seconds of one whole find, or none when it failed or found other than `expected`.
  std::optional<double> Find(const DocumentFilter& filter, std::size_t expected) {
    const Clock::time_point start = Clock::now();
    LibraryFind find(*doc_, filter);
    if (!PassUntil([&] {
          find.Step();
          return find.IsFinished();
        })) {
      return Failed("the find did not end");
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (find.GetPhase() != LibraryFind::Phase::kDone || !find.GetUnread().empty() ||
        find.GetProjectCount() != kProjects) {
      return Failed("not every project was searched");
    }
    if (find.GetFound().size() != expected) return Failed("the find found other documents");
    return seconds;
  }

 private:
  static bool Fail(const char* what) {
    std::fprintf(stderr, "bench_find: %s\n", what);
    return false;
  }
  static std::optional<double> Failed(const char* what) {
    Fail(what);
    return std::nullopt;
  }
  bool PassUntil(const std::function<bool()>& done) { return bench::PassUntil(*app_, done); }

  // Destroyed in reverse: the application logs off while the server still runs.
  TestServer server_;
  platform::ScratchFolder folder_;
  std::unique_ptr<CBrannockApp> app_;
  CBrannockDoc* doc_ = nullptr;
};

bool Report(const char* title, const std::optional<double>& seconds) {
  if (!seconds) {
    std::printf("%-40s failed\n", title);
    return false;
  }
  std::printf("%-40s %8.3f s   goal %.1f s: %s\n", title, *seconds, kGoalSeconds,
              *seconds <= kGoalSeconds ? "met" : "MISSED");
  return true;
}

}  // namespace

int main() {
  platform::SetNotifyHandler([](const platform::Notification&) { return platform::NotifyAnswer::Ok; });
  bool passed = false;
  {
    FindBench bench;
    if (bench.Start()) {
      std::printf("%d documents in %d projects, best of %d\n", kProjects * kDocumentsPerProject, kProjects, kRounds);
      DocumentFilter name;
      name.SetNameContains("DOC537.");
      DocumentFilter mine;
      mine.SetHolder(DocumentFilter::Holder::kMe);
      const bool named = Report("find \"doc537.\" (one in each project)",
                                bench::BestOf(kRounds, [&] { return bench.Find(name, kProjects); }));
      const bool held =
          Report("my check-outs (10)", bench::BestOf(kRounds, [&] { return bench.Find(mine, kProjects / 10); }));
      passed = named && held;
    }
  }
  platform::SetNotifyHandler(nullptr);
  return passed ? 0 : 1;
}
