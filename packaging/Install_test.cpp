// Installs the built programs into a scratch prefix, and builds and unpacks the
// Debian package, then runs the programs from there.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "common/BuiltInKeys.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/store/ServerSettings.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/FreePort.h"

namespace {

struct InstalledFile {
  const char* path;   // below the prefix
  mode_t mode;
};

const std::vector<InstalledFile>& ExpectedFiles() {
  static const std::vector<InstalledFile> files = {
      {"bin/wexmoor", 0755},
      {"share/wexmoor/ErrorStringLookup.txt", 0644},
      {"share/man/man1/wexmoor.1.gz", 0644},
      {"lib/systemd/system/wexmoor.service", 0644},
      {"sbin/wexmoor-admin", 0755},
#ifdef WEX_WITH_UI
      {"bin/brannock", 0755},
      {"bin/brannockpublisher", 0755},
      {"share/man/man1/brannock.1.gz", 0644},
      {"share/man/man1/brannockpublisher.1.gz", 0644},
      {"share/applications/wexmoor.desktop", 0644},
      {"share/applications/brannock.desktop", 0644},
      {"share/applications/brannockpublisher.desktop", 0644},
      {"share/icons/hicolor/16x16/apps/wexmoor.png", 0644},
      {"share/icons/hicolor/24x24/apps/brannock.png", 0644},
#endif
  };
  return files;
}

// Runs `program` to its end; its output, or the failure with its errors.
::testing::AssertionResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                               std::string* output = nullptr) {
  ChildProcess child(program, arguments, {});
  const int status = child.Finish();
  if (output != nullptr) *output = child.Output();
  if (status == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << program << " ended with " << status << ": " << child.Errors();
}

class InstalledPrograms : public ::testing::Test {
 protected:
  // Runs a build tool to its end, however long it takes (a child process is bounded
  // in time); its output goes to a file that a failure shows.
  ::testing::AssertionResult RunTool(const std::string& commandLine) const {
    const std::string log = scratch_ / "tool.log";
    const int status = std::system((commandLine + " >'" + log + "' 2>&1").c_str());
    if (status == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << commandLine << " ended with " << status << ":\n"
                                         << platform::ScratchFolder::Read(log);
  }

  // The installed server serves a scratch library whose working folder holds no
  // copied texts, and stops in order on SIGTERM.
  void ServesHeadless(const std::string& bin) const {
    const std::string root = scratch_ / "library";
    ASSERT_TRUE(platform::fs::CreateFolder(root));
    ServerSettings settings(CertificateBuiltInKey());
    ASSERT_TRUE(settings.EnsureUsersFile(root));
    const std::uint16_t port = testsupport::FreeListeningPort();
    settings.SetPort(port);
    ASSERT_TRUE(settings.SaveUsers(root));

    ChildProcess server(bin + "/wexmoor",
                        {"--headless", "--workdir", scratch_ / "work", "--create-workdir", "--root", root}, {});
    ASSERT_TRUE(server.WaitForOutput("Active user count is 0\n")) << server.Output() << server.Errors();
    EXPECT_NE(server.Output().find("Listening port is " + std::to_string(port) + "\n"), std::string::npos);
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Finish(), 0) << server.Errors();
    EXPECT_NE(server.Output().find("Wexmoor stopped\n"), std::string::npos) << server.Output();
  }

  void ClientsPrintTheirHelp(const std::string& bin) const {
#ifdef WEX_WITH_UI
    for (const char* program : {"brannock", "brannockpublisher"}) {
      std::string help;
      EXPECT_TRUE(RunProgram(bin + "/" + program, {"--help"}, &help));
      EXPECT_EQ(help.rfind(std::string("usage: ") + program + " ", 0), 0u) << help;
    }
#else
    (void)bin;
#endif
  }

  platform::ScratchFolder scratch_;
};

TEST_F(InstalledPrograms, InstallPutsEveryFileInItsFolderAndTheProgramsRunFromThere) {
  const std::string prefix = scratch_ / "prefix";
  ASSERT_TRUE(RunTool(std::string("'") + CMAKE_PROGRAM + "' --install '" + BUILD_FOLDER + "' --prefix '" + prefix + "'"));
  for (const InstalledFile& file : ExpectedFiles()) {
    struct stat status {};
    ASSERT_EQ(::stat((prefix + "/" + file.path).c_str(), &status), 0) << file.path;
    EXPECT_EQ(status.st_mode & 07777, file.mode) << file.path;
  }
  // The programs find their texts where the install put them.
  EXPECT_TRUE(platform::fs::IsFile(prefix + "/bin/" + WEX_DATA_FROM_PROGRAM + "/ErrorStringLookup.txt"));
  const std::string unit = platform::ScratchFolder::Read(prefix + "/lib/systemd/system/wexmoor.service");
  EXPECT_NE(unit.find("ExecStart=" + prefix + "/bin/wexmoor --headless "), std::string::npos) << unit;
  const std::string admin = platform::ScratchFolder::Read(prefix + "/sbin/wexmoor-admin");
  EXPECT_NE(admin.find(prefix + "/bin/wexmoor admin"), std::string::npos) << admin;
  std::string page;
  ASSERT_TRUE(RunProgram("/bin/sh", {"-c", "gzip -dc " + prefix + "/share/man/man1/wexmoor.1.gz"}, &page));
  EXPECT_NE(page.find(".SH SYNOPSIS"), std::string::npos) << page;
  EXPECT_NE(page.find("\\-\\-headless"), std::string::npos) << page;

  ServesHeadless(prefix + "/bin");
  ClientsPrintTheirHelp(prefix + "/bin");
}

TEST_F(InstalledPrograms, PackageHoldsTheInstallUnderUsrWithItsScriptsAndRunsUnpacked) {
  const std::string output = scratch_ / "package";
  ASSERT_TRUE(RunTool(std::string("'") + CPACK_PROGRAM + "' --config '" + BUILD_FOLDER + "/CPackConfig.cmake' -B '" +
                      output + "'"));
  std::vector<platform::fs::FolderEntry> entries;
  ASSERT_TRUE(platform::fs::ListFolder(output, entries));
  std::string deb;
  for (const auto& entry : entries) {
    if (entry.name.size() > 4 && entry.name.substr(entry.name.size() - 4) == ".deb") deb = output + "/" + entry.name;
  }
  ASSERT_FALSE(deb.empty());

  std::string listing;
  ASSERT_TRUE(RunProgram("/usr/bin/dpkg-deb", {"-c", deb}, &listing));
  for (const InstalledFile& file : ExpectedFiles()) {
    std::ostringstream line;
    line << (file.mode == 0755 ? "-rwxr-xr-x" : "-rw-r--r--") << " root/root ";
    const std::string name = std::string(" ./usr/") + file.path + "\n";
    const std::size_t at = listing.find(name);
    ASSERT_NE(at, std::string::npos) << file.path << "\n" << listing;
    const std::size_t lineStart = listing.rfind('\n', at) + 1;
    EXPECT_EQ(listing.compare(lineStart, line.str().size(), line.str()), 0) << listing.substr(lineStart, at - lineStart);
  }

  std::string control;
  ASSERT_TRUE(RunProgram("/usr/bin/dpkg-deb", {"-f", deb, "Depends"}, &control));
  EXPECT_NE(control.find("adduser"), std::string::npos) << control;
  EXPECT_NE(control.find("libc6"), std::string::npos) << control;
  const std::string scripts = scratch_ / "control";
  ASSERT_TRUE(RunProgram("/usr/bin/dpkg-deb", {"-e", deb, scripts}));
  struct stat status {};
  ASSERT_EQ(::stat((scripts + "/postinst").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0755u);
  const std::string postinst = platform::ScratchFolder::Read(scripts + "/postinst");
  EXPECT_NE(postinst.find("adduser --system"), std::string::npos);
  EXPECT_EQ(postinst.find("systemctl enable"), std::string::npos);   // the administrator enables it

  const std::string unpacked = scratch_ / "unpacked";
  ASSERT_TRUE(RunProgram("/usr/bin/dpkg-deb", {"-x", deb, unpacked}));
  const std::string unit = platform::ScratchFolder::Read(unpacked + "/usr/lib/systemd/system/wexmoor.service");
  EXPECT_NE(unit.find("ExecStart=/usr/bin/wexmoor --headless "), std::string::npos) << unit;
  ServesHeadless(unpacked + "/usr/bin");
  ClientsPrintTheirHelp(unpacked + "/usr/bin");
}

}  // namespace
