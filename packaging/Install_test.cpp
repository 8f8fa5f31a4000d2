// Installs the built programs into a scratch prefix, and builds and unpacks the
// Debian package, then runs the programs from there.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/BuiltInKeys.h"
#include "common/Version.h"
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
      {"share/man/man8/wexmoor.8.gz", 0644},
      {"share/man/man8/wexmoor-admin.8.gz", 0644},
      {"share/doc/wexmoor/copyright", 0644},
      {"share/doc/wexmoor/changelog.Debian.gz", 0644},
      {"share/doc/wexmoor/README", 0644},
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
      {"share/icons/hicolor/256x256/apps/wexmoor.png", 0644},
      {"share/icons/hicolor/256x256/apps/brannock.png", 0644},
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

  // Every program names its usage for --help and the one version for --version.
  void ProgramsPrintHelpAndVersion(const std::string& bin) const {
    std::vector<std::string> programs = {"wexmoor"};
#ifdef WEX_WITH_UI
    programs.insert(programs.end(), {"brannock", "brannockpublisher"});
#endif
    for (const std::string& program : programs) {
      std::string help;
      EXPECT_TRUE(RunProgram(bin + "/" + program, {"--help"}, &help));
      EXPECT_EQ(help.rfind("usage: " + program + " ", 0), 0u) << help;
      std::string version;
      EXPECT_TRUE(RunProgram(bin + "/" + program, {"--version"}, &version));
      EXPECT_EQ(version, program + " " + kWexVersion + "\n");
    }
  }

  ::testing::AssertionResult Install(const std::string& prefix) const {
    return RunTool(std::string("'") + CMAKE_PROGRAM + "' --install '" + BUILD_FOLDER + "' --prefix '" + prefix + "'");
  }

  // A folder of stand-ins for `tools`, each recording "name arguments" as one line
  // of `log` and succeeding, with `output` (if any) on standard output.
  std::string StandIns(const std::vector<std::string>& tools, const std::string& log,
                       const std::string& output = "") const {
    const std::string folder = scratch_ / "stand-ins";
    EXPECT_TRUE(platform::fs::CreateFolder(folder));
    for (const std::string& tool : tools) {
      const std::string path = folder + "/" + tool;
      std::ofstream(path) << "#!/bin/sh\necho \"" << tool << " $*\" >>'" << log << "'\nprintf '%s' '" << output
                          << "'\n";
      ::chmod(path.c_str(), 0755);
    }
    return folder;
  }

  platform::ScratchFolder scratch_;
};

// The lines of `text`.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(InstalledPrograms, InstallPutsEveryFileInItsFolderAndTheProgramsRunFromThere) {
  const std::string prefix = scratch_ / "prefix";
  ASSERT_TRUE(Install(prefix));
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

  ServesHeadless(prefix + "/bin");
  ProgramsPrintHelpAndVersion(prefix + "/bin");
}

TEST_F(InstalledPrograms, ServiceUnitExposesAtMostTwoPointFive) {
  const std::string prefix = scratch_ / "prefix";
  ASSERT_TRUE(Install(prefix));
  const std::string unit = prefix + "/lib/systemd/system/wexmoor.service";
  std::string report;
  EXPECT_TRUE(RunProgram("/usr/bin/systemd-analyze", {"security", "--offline=yes", "--threshold=25", unit}, &report))
      << report;
  EXPECT_NE(report.find("Overall exposure level for wexmoor.service"), std::string::npos) << report;
}

TEST_F(InstalledPrograms, ManualPagesRenderWithoutWarningsAndHoldTheirSections) {
  const std::string prefix = scratch_ / "prefix";
  ASSERT_TRUE(Install(prefix));
  struct Page {
    const char* path;
    std::vector<std::string> sections;
  };
  const std::vector<std::string> common = {"NAME", "SYNOPSIS", "DESCRIPTION", "EXIT STATUS", "SEE ALSO"};
  std::vector<Page> pages = {
      {"man8/wexmoor.8.gz", {"OPTIONS", "THE SERVICE", "SIGNALS", "FILES", "ENVIRONMENT", "/var/lib/wexmoor"}},
      {"man8/wexmoor-admin.8.gz", {"COMMANDS", "BACKUP AND RESTORE", "EXAMPLES", "add-user", "checked-out", "backup"}},
  };
#ifdef WEX_WITH_UI
  pages.push_back({"man1/brannock.1.gz", {"OPTIONS", "--workdir", "brannockpublisher(1)"}});
  pages.push_back({"man1/brannockpublisher.1.gz", {"OPTIONS", "--workdir", "brannock(1)"}});
#endif
  for (Page& page : pages) {
    page.sections.insert(page.sections.end(), common.begin(), common.end());
    ChildProcess man("/usr/bin/man", {"--warnings", "-l", prefix + "/share/man/" + page.path},
                     {{"MANWIDTH=80", "PATH=/usr/bin:/bin", "LANG=C"}, true});
    ASSERT_EQ(man.Finish(), 0) << page.path << ": " << man.Errors();
    EXPECT_EQ(man.Errors(), "") << page.path;
    for (const std::string& section : page.sections) {
      EXPECT_NE(man.Output().find(section), std::string::npos) << page.path << ": " << section;
    }
    EXPECT_NE(man.Output().find(std::string("Wexmoor ") + kWexVersion), std::string::npos) << page.path;
  }
}

#ifdef WEX_WITH_UI
TEST_F(InstalledPrograms, EachIconHasTheSizeItsFolderNames) {
  const std::string prefix = scratch_ / "prefix";
  ASSERT_TRUE(Install(prefix));
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    for (const char* name : {"wexmoor", "brannock"}) {
      const std::string path = prefix + "/share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                               "/apps/" + name + ".png";
      const std::string png = platform::ScratchFolder::Read(path);
      ASSERT_GE(png.size(), 24u) << path;
      ASSERT_EQ(png.compare(1, 3, "PNG"), 0) << path;
      // The header's width and height, big-endian, at bytes 16 and 20.
      const auto number = [&png](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = at; i < at + 4; ++i) value = value << 8 | static_cast<unsigned char>(png[i]);
        return value;
      };
      EXPECT_EQ(number(16), static_cast<std::uint32_t>(size)) << path;
      EXPECT_EQ(number(20), static_cast<std::uint32_t>(size)) << path;
    }
  }
}
#endif

TEST_F(InstalledPrograms, MaintainerScriptsRestartOnUpgradeAndStopOnlyOnRemoval) {
  struct Case {
    const char* script;
    std::vector<std::string> arguments;
    std::vector<std::string> serviceCalls;   // of deb-systemd-invoke
  };
  for (const Case& c : {
           Case{"postinst", {"configure", "1.3-1"}, {"deb-systemd-invoke try-restart wexmoor.service"}},
           Case{"postinst", {"configure", ""}, {}},   // a first install leaves the service alone
           Case{"prerm", {"upgrade", "1.5-1"}, {}},
           Case{"prerm", {"remove"}, {"deb-systemd-invoke stop wexmoor.service"}},
           Case{"postrm", {"remove"}, {}},
           Case{"postrm", {"purge"}, {}},
       }) {
    const std::string log = scratch_ / "calls.log";
    std::remove(log.c_str());
    const std::string folder =
        StandIns({"deb-systemd-invoke", "systemctl", "getent", "adduser", "install", "rm"}, log);
    std::vector<std::string> arguments = {std::string(PACKAGING_FOLDER) + "/debian/" + c.script};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    ChildProcess script("/bin/sh", arguments, {{"PATH=" + folder}, true});
    ASSERT_EQ(script.Finish(), 0) << c.script << ": " << script.Errors();
    std::vector<std::string> serviceCalls;
    for (const std::string& call : Lines(platform::ScratchFolder::Read(log))) {
      if (call.rfind("deb-systemd-invoke ", 0) == 0) serviceCalls.push_back(call);
      if (call.rfind("systemctl ", 0) == 0) {
        EXPECT_EQ(call, "systemctl --system daemon-reload") << c.script;
      }
    }
    EXPECT_EQ(serviceCalls, c.serviceCalls) << c.script << " " << c.arguments.front();
    // Purge keeps the library and the user, and says so in one line with how to remove them.
    const bool purge = c.arguments.front() == "purge";
    EXPECT_EQ(Lines(script.Output()).size(), purge ? 1u : 0u) << script.Output();
    if (purge) {
      EXPECT_NE(script.Output().find("/var/lib/wexmoor"), std::string::npos) << script.Output();
      EXPECT_NE(script.Output().find("deluser --system wexmoor"), std::string::npos) << script.Output();
    }
  }
}

TEST_F(InstalledPrograms, AdminScriptMakesTheServicesLockFolderAndUmaskBeforeRunningAsItsUser) {
  const std::string prefix = scratch_ / "prefix";
  ASSERT_TRUE(Install(prefix));
  const std::string log = scratch_ / "calls.log";
  const std::string folder = StandIns({"id", "install", "runuser"}, log, "0");
  ChildProcess admin("/bin/sh", {prefix + "/sbin/wexmoor-admin", "users"}, {{"PATH=" + folder}, true});
  ASSERT_EQ(admin.Finish(), 0) << admin.Errors();
  std::vector<std::string> calls = Lines(platform::ScratchFolder::Read(log));
  ASSERT_EQ(calls.size(), 3u) << platform::ScratchFolder::Read(log);
  EXPECT_EQ(calls[1], "install -d -o wexmoor -g wexmoor -m 0700 /run/wexmoor");
  EXPECT_EQ(calls[2].rfind("runuser -u wexmoor -- sh -c umask 0077 && exec env XDG_RUNTIME_DIR=/run/wexmoor ", 0), 0u)
      << calls[2];
  EXPECT_NE(calls[2].find(prefix + "/bin/wexmoor admin --workdir /var/lib/wexmoor --root /var/lib/wexmoor/library users"),
            std::string::npos)
      << calls[2];
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
  ProgramsPrintHelpAndVersion(unpacked + "/usr/bin");
}

}  // namespace
