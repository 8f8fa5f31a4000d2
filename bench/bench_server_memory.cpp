// The server's resident memory under many short connections reading a library
// larger than its record cache: documents whose parsed records come to about three
// times the cache's bound, spread over projects; each pass lists every project's
// documents (5015), each project over a new logged-on connection. Prints the
// process's resident memory after start-up, after the library is written and after
// every pass. The server runs in this process, with its allocator set up as the
// server program sets it up. Run from an optimised build configured with
// -DWEX_BUILD_BENCH=ON: <build>/bench/bench_server_memory [passes]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "common/RecordFields.h"
#include "platform/MemoryPools.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/RecordCache.h"
#include "server/store/StoreFilePaths.h"
#include "testsupport/TestServer.h"

namespace {

constexpr int kProjects = 200;
constexpr int kDefaultPasses = 8;
constexpr double kMiB = 1024.0 * 1024.0;

void PrintResident(const std::string& when) {
  std::printf("%-28s resident %7.1f MiB\n", when.c_str(), static_cast<double>(platform::ResidentBytes()) / kMiB);
  std::fflush(stdout);
}

// The cache's cost of one document's record, read back from the first one written.
std::size_t RecordBytesOfOneDocument(CWexmoorDoc& document, const std::string& project) {
  RecordCache measure(RecordCache::kDefaultByteLimit);
  measure.Parsed(StatisticsPath(document.GetProjectFolderPath(project) + "/", "WXFiName_Hi900Lo0"));
  return measure.HeldBytes();
}

// Lists the project over a new connection; false when the server did not answer.
bool ListOverNewConnection(TestServer& server, const UserAccount& account, std::string& code,
                           const std::string& project) {
  std::unique_ptr<TestClient> client = server.MakeClient(account);
  TestClient::Reply reply;
  if (!client->Connect(server.Port()) ||
      client->Logon(account.GetName(), "secret", code, reply) != TestClient::ReceiveStatus::Ok ||
      reply.message.GetMessageId() != MSGID_LOGON_ACCEPTED) {
    return false;
  }
  code = reply.message.GetBody();
  return client->Send(MSGID_LIST_DOCUMENTS, AppendStringField(project, "")) != 0 &&
         client->Receive(reply) == TestClient::ReceiveStatus::Ok &&
         reply.message.GetMessageId() == MSGID_DOCUMENT_LIST;
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
  for (int i = 0; i < kProjects; ++i) {
    ServerProject created;
    if (document.CreateProject("", "Project " + std::to_string(i), "", created, false) != 0) return 1;
    projects.push_back(created.GetInternalName());
  }
  int next = 0;
  if (!bench::WriteDocuments(document, projects[0], 1, next)) return 1;
  const std::size_t perDocument = RecordBytesOfOneDocument(document, projects[0]);
  const int perProject = static_cast<int>(3 * RecordCache::kDefaultByteLimit / perDocument / kProjects) + 1;
  for (int i = 1; i < kProjects; ++i) {
    if (!bench::WriteDocuments(document, projects[i], perProject, next)) return 1;
  }
  std::printf("%d documents of about %zu record bytes each: %.0f MiB of records, cache bound %.0f MiB\n", next,
              perDocument, static_cast<double>(next) * static_cast<double>(perDocument) / kMiB,
              static_cast<double>(RecordCache::kDefaultByteLimit) / kMiB);
  PrintResident("library written");

  const std::optional<UserAccount> account = server.AddUser("reader", "secret", false);
  if (!account) return 1;
  std::string code = account->GetLogonCode();
  for (int pass = 1; pass <= passes; ++pass) {
    for (const std::string& project : projects) {
      if (!ListOverNewConnection(server, *account, code, project)) {
        std::fprintf(stderr, "a listing was not answered\n");
        return 1;
      }
    }
    PrintResident("after pass " + std::to_string(pass));
  }
  server.Stop();
  return 0;
}
