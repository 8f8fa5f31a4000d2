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
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/BuiltInKeys.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/FileStatistics.h"
#include "server/store/ProjectFileList.h"
#include "server/store/StoreFilePaths.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/demo/DemoLibrary.h"

namespace {

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
        program, std::vector<std::string>{"--workdir", workingFolder, "--test-hooks"}, options);
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
};

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
                                            "dialog CAddToLibraryDlg set 1066 Added click 1", "command 32777",
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
  // Retrieved as it was checked in, read-only when not asked to be writable.
  ASSERT_NO_FATAL_FAILURE(
      reader.RunAll({"focus documents", "tick Valve.dxf", "answer no", "command 32780", "wait-idle"}));
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

}  // namespace
