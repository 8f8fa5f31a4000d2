// The server's resident memory under two loads, over a library of about 150,000
// documents whose parsed records come to more than twice the record cache's bound:
// one project of 50,000 documents and 200 small ones. Each pass lists every small
// project's documents (5015), each over a new logged-on connection; then 8
// connections list the large project at once, for a few rounds, and close. Prints
// the process's resident memory after start-up, after the library is written,
// after every pass, its peak during the concurrent listings, and a few seconds
// after their connections closed, with what the allocator's pools then hold. The
// server runs in this process, with its allocator set up as the server program sets
// it up; the concurrent listings' clients run in a child process, so that their
// replies are not counted. Run from an optimised build configured with
// -DWEX_BUILD_BENCH=ON: <build>/bench/bench_server_memory [passes]
#include <chrono>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"
#include "common/RecordFields.h"
#include "platform/MemoryPools.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/RecordCache.h"
#include "server/store/StoreFilePaths.h"
#include "testsupport/TestServer.h"

namespace {

constexpr int kSmallProjects = 200;
constexpr int kSmallProjectDocuments = 500;
constexpr int kLargeProjectDocuments = 50000;
constexpr int kConcurrentListings = 8;
constexpr int kConcurrentRounds = 3;
constexpr int kSecondsWatchedAfterClose = 5;
constexpr int kDefaultPasses = 8;
constexpr double kMiB = 1024.0 * 1024.0;
// A listing of the large project from a cold cache on a busy machine takes a while.
constexpr int kListingTimeoutMs = 120000;

void PrintMiB(const std::string& what, std::size_t bytes) {
  std::printf("%-36s %7.1f MiB\n", what.c_str(), static_cast<double>(bytes) / kMiB);
  std::fflush(stdout);
}

void PrintResident(const std::string& when) { PrintMiB(when + ": resident", platform::ResidentBytes()); }

// The process's peak resident memory since the last ResetPeakResident, from
// /proc/self/status; 0 when it cannot be read.
std::size_t PeakResidentBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10) * 1024;
  }
  return 0;
}

bool ResetPeakResident() { return static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5"); }

// The cache's cost of one document's record, read back from the first one written.
std::size_t RecordBytesOfOneDocument(CWexmoorDoc& document, const std::string& project) {
  RecordCache measure(RecordCache::kDefaultByteLimit);
  measure.Parsed(StatisticsPath(document.GetProjectFolderPath(project) + "/", "WXFiName_Hi900Lo0"));
  return measure.HeldBytes();
}

// A new connection logged on as the account; null when the server refused it.
std::unique_ptr<TestClient> LoggedOn(TestServer& server, const UserAccount& account, std::string& code) {
  std::unique_ptr<TestClient> client = server.MakeClient(account);
  TestClient::Reply reply;
  if (!client->Connect(server.Port()) ||
      client->Logon(account.GetName(), "secret", code, reply) != TestClient::ReceiveStatus::Ok ||
      reply.message.GetMessageId() != MSGID_LOGON_ACCEPTED) {
    return nullptr;
  }
  code = reply.message.GetBody();
  return client;
}

// Lists the project over the client's connection; false when the server did not answer.
bool List(TestClient& client, const std::string& project) {
  TestClient::Reply reply;
  return client.Send(MSGID_LIST_DOCUMENTS, AppendStringField(project, "")) != 0 &&
         client.Receive(reply, kListingTimeoutMs) == TestClient::ReceiveStatus::Ok && reply.message.GetMessageId() == MSGID_DOCUMENT_LIST;
}

// Lists the project over kConcurrentListings connections at once, then closes them.
bool ListConcurrently(TestServer& server, const std::vector<UserAccount>& accounts, std::vector<std::string>& codes,
                      const std::string& project) {
  std::vector<std::unique_ptr<TestClient>> clients;
  for (std::size_t i = 0; i < accounts.size(); ++i) {
    clients.push_back(LoggedOn(server, accounts[i], codes[i]));
    if (!clients.back()) return false;
  }
  std::vector<char> answered(clients.size(), 0);
  std::vector<std::thread> listings;
  for (std::size_t i = 0; i < clients.size(); ++i) {
    listings.emplace_back([&, i] { answered[i] = List(*clients[i], project) ? 1 : 0; });
  }
  for (std::thread& listing : listings) listing.join();
  clients.clear();
  for (const char ok : answered) {
    if (ok == 0) return false;
  }
  return true;
}

// Runs the rounds of concurrent listings in a child process; false when one was
// not answered.
bool ListConcurrentlyFromChild(TestServer& server, const std::vector<UserAccount>& accounts,
                               const std::string& project) {
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    std::vector<std::string> codes;
    for (const UserAccount& account : accounts) codes.push_back(account.GetLogonCode());
    for (int round = 1; round <= kConcurrentRounds; ++round) {
      if (!ListConcurrently(server, accounts, codes, project)) ::_exit(1);
    }
    ::_exit(0);
  }
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  platform::SetUpServerAllocator();
  const int passes = argc > 1 ? std::atoi(argv[1]) : kDefaultPasses;
  TestServer server;
  if (!server.Start()) {
    std::fprintf(stderr, "the server did not start\n");
    return 1;
  }
  PrintResident("started");
  CWexmoorDoc& document = server.Document();
  std::vector<std::string> projects;
  for (int i = 0; i <= kSmallProjects; ++i) {
    ServerProject created;
    if (document.CreateProject("", "Project " + std::to_string(i), "", created, false) != 0) return 1;
    projects.push_back(created.GetInternalName());
  }
  const std::string large = projects.back();
  projects.pop_back();
  int next = 0;
  if (!bench::WriteDocuments(document, large, kLargeProjectDocuments, next)) return 1;
  for (const std::string& project : projects) {
    if (!bench::WriteDocuments(document, project, kSmallProjectDocuments, next)) return 1;
  }
  const std::size_t perDocument = RecordBytesOfOneDocument(document, large);
  std::printf("%d documents of about %zu record bytes each: %.0f MiB of records, cache bound %.0f MiB\n", next,
              perDocument, static_cast<double>(next) * static_cast<double>(perDocument) / kMiB,
              static_cast<double>(RecordCache::kDefaultByteLimit) / kMiB);
  PrintResident("library written");

  const std::optional<UserAccount> account = server.AddUser("reader", "secret", false);
  if (!account) return 1;
  std::string code = account->GetLogonCode();
  for (int pass = 1; pass <= passes; ++pass) {
    for (const std::string& project : projects) {
      const std::unique_ptr<TestClient> client = LoggedOn(server, *account, code);
      if (!client || !List(*client, project)) {
        std::fprintf(stderr, "a listing was not answered\n");
        return 1;
      }
    }
    PrintResident("after pass " + std::to_string(pass));
  }

  std::vector<std::string> names;
  for (int i = 0; i < kConcurrentListings; ++i) names.push_back("lister" + std::to_string(i));
  const std::vector<UserAccount> listers = server.AddUsers(names, "secret");
  if (listers.size() != names.size()) return 1;
  if (!ResetPeakResident()) {
    std::fprintf(stderr, "the peak resident memory cannot be reset\n");
    return 1;
  }
  if (!ListConcurrentlyFromChild(server, listers, large)) {
    std::fprintf(stderr, "a concurrent listing was not answered\n");
    return 1;
  }
  PrintMiB("peak during " + std::to_string(kConcurrentRounds) + " x " + std::to_string(kConcurrentListings) +
               " listings of " + std::to_string(kLargeProjectDocuments),
           PeakResidentBytes());
  for (int second = 1; second <= kSecondsWatchedAfterClose; ++second) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    PrintResident(std::to_string(second) + " s after closing");
  }
  // What the allocator's pools hold besides the cache's own storage: freed memory they
  // cannot give back shows as free.
  const struct mallinfo2 pools = ::mallinfo2();
  PrintMiB("allocator pools: in use", pools.uordblks);
  PrintMiB("allocator pools: free", pools.fordblks);
  server.Stop();
  return 0;
}
