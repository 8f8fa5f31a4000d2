// The three programs together, as child processes: the headless server on a demo
// library, the publisher and the plain client driven through their --test-hooks.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <shared_mutex>
#include <fstream>
#include <map>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/BuiltInKeys.h"
#include "common/FileHelpers.h"
#include "platform/ScratchFolder.h"
#include "platform/Socket.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/FileStatistics.h"
#include "server/store/ProjectFileList.h"
#include "server/store/StoreFilePaths.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/demo/DemoLibrary.h"

namespace {

// Add to Library taking every folder and document below the chosen folders.
const std::string kAddEverything =
    "dialog CAddToLibraryDlg set 1066 Added set 1005 \"All folders\" click 1008 set 1005 \"All documents\" "
    "click 1008 click 1";

using std::chrono::seconds;

// One client program with its own working folder, driven line by line.
class ClientChild {
 public:
  ClientChild(const char* program, const std::string& workingFolder) : workingFolder_(workingFolder) {
    ChildProcess::Options options;
    options.environment = ChildProcess::EnvironmentWithoutDisplay();
    options.environment.push_back("QT_QPA_PLATFORM=offscreen");
    options.ownEnvironment = true;
    options.withInput = true;
    process_ = std::make_unique<ChildProcess>(
        program, std::vector<std::string>{"--workdir", workingFolder, "--create-workdir", "--test-hooks"}, options);
  }

  // Runs one command and returns what it printed up to and with its reply line
  // ("ok ..." or "error: ..."); "" when no reply came within `bound`.
  std::string Run(const std::string& command, seconds bound = seconds(60)) {
    std::size_t lineStart = process_->Output().size();
    if (!process_->WriteInput(command + "\n")) return "";
    const std::size_t from = lineStart;
    for (;;) {
      const std::string& output = process_->Output();
      for (std::size_t end; (end = output.find('\n', lineStart)) != std::string::npos; lineStart = end + 1) {
        const std::string line = output.substr(lineStart, end - lineStart);
        if (line.rfind("ok", 0) == 0 || line.rfind("error:", 0) == 0) return output.substr(from, end + 1 - from);
      }
      if (!process_->WaitForOutput("\n", lineStart, bound)) return "";
    }
  }
  // Runs every command; each must answer "ok".
  void RunAll(const std::vector<std::string>& commands) {
    for (const std::string& command : commands) {
      const std::string reply = Run(command);
      const std::size_t last = reply.rfind('\n', reply.size() >= 2 ? reply.size() - 2 : 0);
      const std::string line = reply.substr(last == std::string::npos ? 0 : last + 1);
      ASSERT_EQ(line.rfind("ok", 0), 0u) << command << " answered: " << reply << process_->Errors();
    }
  }
  int Quit() {
    Run("quit");
    return process_->Finish();
  }
  std::string LibraryFolder() const { return workingFolder_ + "/Libraries/Demo Library"; }
  void Signal(int number) { process_->Signal(number); }
  const std::string& Errors() const { return process_->Errors(); }

 private:
  std::string workingFolder_;
  std::unique_ptr<ChildProcess> process_;
};

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class SystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string server = scratch_ / "server";
    std::string error;
    DemoLibrary made;
    ASSERT_TRUE(MakeDemoLibrary({server, server + "/library", scratch_ / "certificates", 0}, error, made)) << error;
    projects_ = made.projects;
    port_ = made.port;
  }

  // The headless server on the demo library, listening.
  std::unique_ptr<ChildProcess> StartServer() {
    auto server = std::make_unique<ChildProcess>(
        WEXMOOR_PROGRAM, std::vector<std::string>{"--headless", "--workdir", scratch_ / "server"},
        ChildProcess::Options{});
    EXPECT_TRUE(server->WaitForOutput("Active user count is 0\n")) << server->Output() << server->Errors();
    return server;
  }

  // Reads the document `name` of the project at `path` through the store: its
  // version count and latest content; none when it is not listed.
  struct Stored {
    int versions = 0;
    std::string content;
  };
  std::optional<Stored> StoredDocument(CWexmoorDoc& document, const std::string& path, const std::string& name) {
    const std::string project = projects_.at(path);
    const std::string folder = document.GetProjectFolderPath(project) + "/";
    ProjectFileList list;
    if (!list.Load(ProjectFileListPath(folder, project)) || !list.Contains(name)) return std::nullopt;
    FileStatistics statistics;
    int lines = 0;
    if (statistics.Load(StatisticsPath(folder, list.Lookup(name)), lines) != 0) return std::nullopt;
    return Stored{statistics.GetVersionCount(), Read(document.GetVersionFilePath(statistics))};
  }

  platform::ScratchFolder scratch_;
  std::map<std::string, std::string> projects_;
  int port_ = 0;
};

// The files left in a client's temporary folder.
std::vector<platform::fs::FolderEntry> TemporaryFilesOf(const std::string& workingFolder) {
  std::vector<platform::fs::FolderEntry> left;
  platform::fs::ListFolder(workingFolder + "/TemporaryFiles", left);
  return left;
}

// Waits (at most 60 s) until `holds` is true.
bool WaitUntil(const std::function<bool()>& holds) {
  const auto deadline = std::chrono::steady_clock::now() + seconds(60);
  while (!holds()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST_F(SystemTest, ThePublisherChangesTheLibraryAndThePlainClientSeesIt) {
  ChildProcess::Options serverOptions;
  ChildProcess server(WEXMOOR_PROGRAM, {"--headless", "--workdir", scratch_ / "server"}, serverOptions);
  ASSERT_TRUE(server.WaitForOutput("Active user count is 0\n")) << server.Output() << server.Errors();

  ClientChild publisher(BRANNOCK_PUBLISHER_PROGRAM, scratch_ / "publisher");
  ASSERT_NO_FATAL_FAILURE(publisher.RunAll({"import " + (scratch_ / "certificates/editor.wxc"), "visit 0", "wait-idle",
                    "select-project Drawings", "wait-idle", "focus documents",
                    // check out, edit, check in
                    "tick Valve.dxf", "dialog CCheckoutOptionsDlg click OK", "command 32779", "wait-idle"}));
  const std::string drawings = publisher.LibraryFolder() + "/Engineering/Drawings/Valve.dxf";
  ASSERT_EQ(Read(drawings), "valve\n");
  ASSERT_FALSE(platform::fs::IsReadOnly(drawings));
  std::ofstream(drawings, std::ios::binary | std::ios::trunc) << "valve, edited\n";
  ASSERT_NO_FATAL_FAILURE(publisher.RunAll({"tick Valve.dxf", "dialog CCommentsDlg set 1069 Edited click 1070",
                                            "command 32778", "wait-idle",
                    // delete a document, rename a project
                    "tick Pump-Assembly.dxf", "answer yes", "command 32786", "wait-idle",
                    "select-project Specifications", "wait-idle", "focus tree",
                    "dialog CRenameDlg set 1002 Standards click OK", "command 32787", "wait-idle"}));
  EXPECT_TRUE(platform::fs::IsReadOnly(drawings)) << "a checked-in copy is read-only";
  // A new file and a folder of the project's local folder go into the library; an
  // edition of Manuals is published (the project is ticked when it is prepared).
  const std::string drawingsFolder = publisher.LibraryFolder() + "/Engineering/Drawings";
  ASSERT_TRUE(platform::fs::CreateFolder(drawingsFolder + "/Details"));
  std::ofstream(drawingsFolder + "/Notes.txt", std::ios::binary) << "notes\n";
  std::ofstream(drawingsFolder + "/Details/Part.txt", std::ios::binary) << "part\n";
  ASSERT_NO_FATAL_FAILURE(publisher.RunAll({"select-project Drawings", "wait-idle",
                                            "local-folder \"" + drawingsFolder + "\"",
                                            "focus local", "select-local Notes.txt Details",
                                            kAddEverything, "command 32777",
                                            "wait-idle", "select-project Manuals", "wait-idle", "focus tree",
                                            "dialog CNewEditionDlg set 1072 \"Release 2\" set 1015 Second click 1075",
                                            "dialog COperationProgressDlg wait 30", "command 32782", "wait-idle",
                                            "command 32783", "wait-idle"}));

  ClientChild reader(BRANNOCK_PROGRAM, scratch_ / "reader");
  ASSERT_NO_FATAL_FAILURE(reader.RunAll({"import " + (scratch_ / "certificates/reader.wxc"), "visit 0", "wait-idle",
                 "select-project Drawings", "wait-idle"}));
  const std::string seen = reader.Run("dump");
  EXPECT_TRUE(Contains(seen, "documents: Valve.dxf | 2 |")) << seen;
  EXPECT_FALSE(Contains(seen, "Pump-Assembly.dxf")) << seen;
  EXPECT_TRUE(Contains(seen, "tree:     Standards\n")) << seen;
  EXPECT_TRUE(Contains(seen, "tree:       Details\n")) << seen;
  EXPECT_TRUE(Contains(seen, "tree:     <E> Release 2")) << seen;
  EXPECT_TRUE(Contains(seen, "documents: Notes.txt | 1 |")) << seen;
  EXPECT_TRUE(Contains(seen, "command: 32786 absent\n") && Contains(seen, "command: 32787 absent\n")) << seen;
  EXPECT_TRUE(Contains(seen, "command: 32782 disabled\n")) << seen;
  // Retrieved as it was checked in, into the program's own folder of the unmapped
  // project (the first No), read-only when not asked to be writable.
  ASSERT_NO_FATAL_FAILURE(reader.RunAll(
      {"focus documents", "tick Valve.dxf", "answer no", "answer no", "command 32780", "wait-idle"}));
  const std::string retrieved = reader.LibraryFolder() + "/Engineering/Drawings/Valve.dxf";
  EXPECT_EQ(Read(retrieved), "valve, edited\n");
  EXPECT_TRUE(platform::fs::IsReadOnly(retrieved));

  // The server goes: both clients close their library windows and end in order.
  server.Signal(SIGKILL);
  server.Finish();
  EXPECT_NO_FATAL_FAILURE(publisher.RunAll({"wait-closed"}));
  EXPECT_NO_FATAL_FAILURE(reader.RunAll({"wait-closed"}));
  EXPECT_EQ(0, publisher.Quit()) << publisher.Errors();
  EXPECT_EQ(0, reader.Quit()) << reader.Errors();
  for (const char* client : {"publisher", "reader"}) {
    std::vector<platform::fs::FolderEntry> left;
    ASSERT_TRUE(platform::fs::ListFolder(scratch_ / (std::string(client) + "/TemporaryFiles"), left));
    EXPECT_TRUE(left.empty()) << client;
  }

  // What the store holds now.
  CWexmoorDoc document({scratch_ / "server", scratch_ / "server/locks", CertificateBuiltInKey()});
  ASSERT_TRUE(document.OnNewDocument());
  const std::optional<Stored> valve = StoredDocument(document, "Engineering/Drawings", "Valve.dxf");
  ASSERT_TRUE(valve.has_value());
  EXPECT_EQ(valve->versions, 2);
  EXPECT_EQ(valve->content, "valve, edited\n");
  EXPECT_FALSE(StoredDocument(document, "Engineering/Drawings", "Pump-Assembly.dxf").has_value());
  EXPECT_EQ(StoredDocument(document, "Engineering/Drawings", "Notes.txt")->content, "notes\n");
  {
    std::shared_lock latch(document.GetProjectTreeLatch());
    std::vector<std::string> children;
    for (const char* parent : {"Engineering/Drawings", "Manuals"}) {
      ServerProject* project = document.FindProjectByInternalName(projects_.at(parent));
      ASSERT_NE(project, nullptr);
      for (int i = 0; i < project->GetSubProjectCount(); ++i) children.push_back(project->GetSubProject(i)->GetName());
    }
    EXPECT_NE(std::find(children.begin(), children.end(), "Details"), children.end());
    EXPECT_NE(std::find(children.begin(), children.end(), "<E> Release 2"), children.end());
  }
  CWexmoorDoc::ProjectListing renamed;
  ASSERT_TRUE(document.CopyProjectListing(projects_.at("Engineering/Specifications"), renamed));
  EXPECT_EQ(renamed.name, "Standards");
}

// A visit that cannot log on says so within our bound, naming the library, the
// server's address and the cause, and leaves no library window open.
TEST_F(SystemTest, AFailedVisitIsExplainedAndLeavesNoWindow) {
  const std::string where = "\"Demo Library\" at 127.0.0.1:" + std::to_string(port_);
  ClientChild client(BRANNOCK_PROGRAM, scratch_ / "client");
  ASSERT_NO_FATAL_FAILURE(client.RunAll({"import " + (scratch_ / "certificates/editor.wxc")}));
  {
    SCOPED_TRACE("no server");
    ASSERT_NO_FATAL_FAILURE(client.RunAll({"visit 0", "wait-closed 15"}));
    const std::string seen = client.Run("dump");
    EXPECT_TRUE(Contains(seen, "box: The library " + where + " could not be opened for the user \"editor\": the "
                               "connection was refused")) << seen;
    EXPECT_TRUE(Contains(seen, "Start the server")) << seen;
  }
  {
    SCOPED_TRACE("a peer that takes the connection and never answers");
    const platform::Socket silent = platform::Socket::Listen(static_cast<std::uint16_t>(port_), 5, "127.0.0.1");
    ASSERT_TRUE(silent.IsOpen());
    ASSERT_NO_FATAL_FAILURE(client.RunAll({"visit 0", "wait-closed 15"}));
    const std::string seen = client.Run("dump");
    EXPECT_TRUE(Contains(seen, "took the connection but never answered the logon")) << seen;
  }
  {
    SCOPED_TRACE("a certificate the server no longer accepts");
    const std::unique_ptr<ChildProcess> server = StartServer();
    // Another client logs on twice with the same certificate first, so its code is used up.
    for (const std::string& first : {"import " + (scratch_ / "certificates/editor.wxc"), std::string("dump")}) {
      ClientChild other(BRANNOCK_PROGRAM, scratch_ / "other");
      ASSERT_NO_FATAL_FAILURE(other.RunAll({first, "visit 0", "wait-idle"}));
      EXPECT_EQ(0, other.Quit()) << other.Errors();
    }
    ASSERT_NO_FATAL_FAILURE(client.RunAll({"visit 0", "wait-closed 15"}));
    const std::string seen = client.Run("dump");
    EXPECT_TRUE(Contains(seen, "the server refused the logon") ||
                Contains(seen, "the server closed the connection without accepting the logon")) << seen;
    EXPECT_TRUE(Contains(seen, "Ask the administrator for a new certificate")) << seen;
  }
  EXPECT_EQ(0, client.Quit()) << client.Errors();
}

// A server that goes while libraries are open: each client says which library was
// lost, why, and what was in flight; after a restart Visit Library logs on again.
TEST_F(SystemTest, ALostLinkIsExplainedWithItsUnfinishedWorkAndVisitReconnects) {
  std::unique_ptr<ChildProcess> server = StartServer();
  ClientChild publisher(BRANNOCK_PUBLISHER_PROGRAM, scratch_ / "publisher");
  ClientChild reader(BRANNOCK_PROGRAM, scratch_ / "reader");
  ASSERT_NO_FATAL_FAILURE(publisher.RunAll({"import " + (scratch_ / "certificates/editor.wxc"), "visit 0",
                                            "wait-idle", "select-project Drawings", "wait-idle"}));
  ASSERT_NO_FATAL_FAILURE(reader.RunAll({"import " + (scratch_ / "certificates/reader.wxc"), "visit 0", "wait-idle"}));
  // A tree of three folders to add; the server is held still, so the batch stays in flight.
  const std::string drawings = publisher.LibraryFolder() + "/Engineering/Drawings";
  for (const char* folder : {"/Batch", "/Batch/One", "/Batch/Two"}) {
    ASSERT_TRUE(CreateFolderPath(drawings + folder));
    std::ofstream(drawings + folder + "/note.txt", std::ios::binary) << "note\n";
  }
  server->Signal(SIGSTOP);
  ASSERT_NO_FATAL_FAILURE(publisher.RunAll({"local-folder \"" + drawings + "\"", "focus local", "select-local Batch",
                                            kAddEverything, "command 32777"}));
  server->Signal(SIGKILL);
  server->Finish();
  ASSERT_NO_FATAL_FAILURE(publisher.RunAll({"wait-closed 15"}));
  ASSERT_NO_FATAL_FAILURE(reader.RunAll({"wait-closed 15"}));
  const std::string lost = "box: The link to the library \"Demo Library\" at 127.0.0.1:" + std::to_string(port_) +
                           " was lost: the server went away";
  const std::string published = publisher.Run("dump");
  EXPECT_TRUE(Contains(published, lost)) << published;
  EXPECT_TRUE(Contains(published, "Not confirmed by the server:\n- Add Project: Batch")) << published;
  EXPECT_TRUE(Contains(published, "and repeat the work listed above")) << published;
  EXPECT_FALSE(Contains(published, "interrupted and restored")) << published;
  const std::string read = reader.Run("dump");
  EXPECT_TRUE(Contains(read, lost)) << read;
  EXPECT_TRUE(Contains(read, "Reconnecting failed: the connection was refused")) << read;
  EXPECT_TRUE(Contains(read, "Then choose Visit Library to reconnect.")) << read;

  // Restarted, the server takes both back; an orderly stop is told as one.
  server = StartServer();
  ASSERT_NO_FATAL_FAILURE(publisher.RunAll({"visit 0", "wait-idle"}));
  ASSERT_NO_FATAL_FAILURE(reader.RunAll({"visit 0", "wait-idle"}));
  server->Signal(SIGTERM);
  EXPECT_EQ(0, server->Finish()) << server->Errors();
  ASSERT_NO_FATAL_FAILURE(reader.RunAll({"wait-closed 15"}));
  const std::string stopped = reader.Run("dump");
  EXPECT_TRUE(Contains(stopped, "was lost: the server closed the connection: it is shutting down")) << stopped;
  EXPECT_EQ(0, publisher.Quit()) << publisher.Errors();
  EXPECT_EQ(0, reader.Quit()) << reader.Errors();
}

// A retrieval whose link ends in the middle of a file leaves nothing in the
// client's temporary folder, and the user is told the retrieval was not confirmed.
TEST_F(SystemTest, ARetrievalCutMidFileLeavesNoTemporaryFile) {
  constexpr std::size_t kSize = 64 * 1024 * 1024;
  {
    CWexmoorDoc document({scratch_ / "server", scratch_ / "server/locks", CertificateBuiltInKey()});
    ASSERT_TRUE(document.OnNewDocument());
    const std::string received = scratch_ / "big.bin";
    std::ofstream(received, std::ios::binary) << std::string(kSize, 'b');
    FileStatistics added;
    ASSERT_EQ(0, document.AddDocument("Big.bin", projects_.at("Engineering/Drawings"), "editor", "Large",
                                      received, static_cast<int>(kSize), added));
  }
  std::unique_ptr<ChildProcess> server = StartServer();
  ClientChild reader(BRANNOCK_PROGRAM, scratch_ / "reader");
  ASSERT_NO_FATAL_FAILURE(reader.RunAll({"import " + (scratch_ / "certificates/reader.wxc"), "visit 0", "wait-idle",
                                         "select-project Drawings", "wait-idle", "focus documents", "tick Big.bin",
                                         "answer no", "command 32780"}));
  // The file is cut once part of it is in: the client is held while the server goes.
  const std::string work = scratch_ / "reader";
  ASSERT_TRUE(WaitUntil([&] {
    const std::vector<platform::fs::FolderEntry> files = TemporaryFilesOf(work);
    std::int64_t size = 0;
    return !files.empty() && platform::fs::FileSize(work + "/TemporaryFiles/" + files.front().name, size) && size > 0;
  }));
  reader.Signal(SIGSTOP);
  server->Signal(SIGKILL);
  server->Finish();
  reader.Signal(SIGCONT);
  ASSERT_NO_FATAL_FAILURE(reader.RunAll({"wait-closed 15"}));
  EXPECT_TRUE(TemporaryFilesOf(work).empty());
  const std::string seen = reader.Run("dump");
  EXPECT_TRUE(Contains(seen, "- Retrieve documents (sent, never answered)")) << seen;
  EXPECT_FALSE(platform::fs::IsFile(reader.LibraryFolder() + "/Engineering/Drawings/Big.bin"));
  EXPECT_EQ(0, reader.Quit()) << reader.Errors();
}

}  // namespace
