#include "testsupport/demo/DemoLibrary.h"

#include <fstream>
#include <map>
#include <memory>
#include <vector>

#include "common/BuiltInKeys.h"
#include "common/CertificateFile.h"
#include "common/FileHelpers.h"
#include "common/RecordFields.h"
#include "platform/AtomicFile.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/UserAccount.h"
#include "testsupport/FreePort.h"

namespace {

constexpr const char* kAuthor = "editor";

struct DemoDocument {
  const char* name;
  std::vector<const char*> versions;   // the content of each version, oldest first
};

struct DemoProject {
  const char* path;                    // parent names joined by '/', then the project's
  std::vector<DemoDocument> documents;
};

const std::vector<DemoProject> kProjects = {
    {"Engineering", {{"Overview.txt", {"Plant overview, draft.\n", "Plant overview, reviewed.\n"}}}},
    {"Engineering/Drawings",
     {{"Pump-Assembly.dxf", {"pump v1\n", "pump v2\n", "pump v3\n"}}, {"Valve.dxf", {"valve\n"}}}},
    {"Engineering/Specifications", {{"Materials.txt", {"Steel grades.\n", "Steel and alloy grades.\n"}}}},
    {"Manuals",
     {{"Operator-Guide.txt",
       {"Operator guide\n\n1. Start-up\nOpen the inlet valve.\nStart the pump.\n\n2. Shut-down\nStop the pump.\n"
        "Close the inlet valve.\n",
        "Operator guide\n\n1. Start-up\nCheck the oil level.\nOpen the inlet valve.\nStart the pump.\n\n"
        "2. Shut-down\nStop the pump.\nClose the outlet valve.\n\n3. Alarms\nA red light means low pressure.\n"}}}},
    {"Manuals/Installation", {{"Site-Checklist.txt", {"Foundations, power, water.\n"}}}},
};

class DemoBuilder {
 public:
  DemoBuilder(const DemoLibraryOptions& options, std::string& error) : options_(options), error_(error) {}

  bool Build() {
    const std::string locks = options_.serverFolder + "/locks";
    for (const std::string& folder : {options_.serverFolder, options_.rootPath, locks, options_.certificateFolder}) {
      if (!CreateFolderPath(folder)) return Fail("folder " + folder);
    }
    const std::string rootFile = options_.serverFolder + "/" + CWexmoorDoc::kRootPathFileName;
    if (!platform::AtomicFile::Write(rootFile, AppendBoolField(false, AppendStringField("", AppendStringField(
                                                                             options_.rootPath, ""))))) {
      return Fail("root path file");
    }
    document_ = std::make_unique<CWexmoorDoc>(CWexmoorDoc::Setup{options_.serverFolder, locks, CertificateBuiltInKey()});
    if (!document_->OnNewDocument()) return Fail("library start");
    ServerSettings& settings = document_->GetSettings();
    settings.SetLibraryName("Demo Library");
    settings.SetPort(options_.port);
    for (const DemoProject& project : kProjects) {
      if (!AddProject(project)) return false;
    }
    if (!AddEdition() || !AddUser("editor", LibraryGroups::kPublishers) || !AddUser("reader", LibraryGroups::kReaders)) {
      return false;
    }
    document_.reset();   // the shutdown save writes the users file with the port
    return true;
  }

  const std::map<std::string, std::string>& Projects() const { return names_; }

 private:
  bool Fail(const std::string& what) {
    error_ = "demo library: " + what + " failed";
    return false;
  }

  std::string Received(const std::string& content) {
    const std::string path = options_.rootPath + "/TemporaryFiles/demo" + std::to_string(++received_) + ".wxf";
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  bool AddProject(const DemoProject& project) {
    const std::string path = project.path;
    const std::size_t slash = path.rfind('/');
    const std::string parent = slash == std::string::npos ? "" : names_.at(path.substr(0, slash));
    ServerProject created;
    if (document_->CreateProject(parent, path.substr(slash + 1), "", created, false) != 0) return Fail(path);
    names_[path] = created.GetInternalName();
    for (const DemoDocument& demo : project.documents) {
      if (!AddDocument(created.GetInternalName(), demo)) return Fail(path + "/" + demo.name);
    }
    return true;
  }

  bool AddDocument(const std::string& project, const DemoDocument& demo) {
    FileStatistics added;
    const std::string first = demo.versions.front();
    if (document_->AddDocument(demo.name, project, kAuthor, "First issue", Received(first),
                               static_cast<int>(first.size()), added) != 0) {
      return false;
    }
    for (std::size_t v = 1; v < demo.versions.size(); ++v) {
      const std::string content = demo.versions[v];
      if (document_->CheckOutDocuments(project, demo.name, 0, kAuthor, false, false).code != 0) return false;
      int code = 0;
      if (!document_->CheckInDocuments(project, kAuthor, demo.name, static_cast<int>(content.size()),
                                       "Revised", Received(content), code)) {
        return false;
      }
    }
    return true;
  }

  bool AddEdition() {
    ServerProject edition;
    if (document_->CreateEdition(names_.at("Manuals"), "Release 1", "", kAuthor, "First release", edition) != 0) {
      return Fail("edition");
    }
    ServerProject supplement;
    if (document_->CreateSupplement(edition.GetInternalName(), "Errata", "", kAuthor, "Corrections", supplement) !=
        0) {
      return Fail("supplement");
    }
    return true;
  }

  // The account joins `group` in place of the default one.
  bool AddUser(const std::string& name, const std::string& group) {
    UserAccount account;
    account.SetName(name);
    account.SetPassword(name);
    account.SetConnectionType(UserAccount::kTcpIp);
    account.GenerateKeyText();
    if (!document_->AddUser(account)) return Fail("user " + name);
    const int id = account.GetId();
    if (!document_->GetGroups().Change([&group, id](GroupTable& table) {
          for (Group& each : table.groups) std::erase(each.members, id);
          Group* joined = table.Find(group);
          if (joined != nullptr) joined->members.push_back(id);
          return joined != nullptr;
        })) {
      return Fail("groups of " + name);
    }
    ServerSettings& settings = document_->GetSettings();
    std::string text;
    const int index = settings.FindUserIndex(account.GetId());
    if (index < 0 || !settings.BuildCertificateText(index, text) ||
        !CertificateFile::Write(options_.certificateFolder + "/" + name + ".wxc", text)) {
      return Fail("certificate of " + name);
    }
    return true;
  }

  const DemoLibraryOptions& options_;
  std::string& error_;
  std::unique_ptr<CWexmoorDoc> document_;
  std::map<std::string, std::string> names_;   // project path -> internal name
  int received_ = 0;
};

}  // namespace

bool MakeDemoLibrary(const DemoLibraryOptions& options, std::string& error, DemoLibrary& made) {
  DemoLibraryOptions chosen = options;
  if (chosen.port == 0) chosen.port = testsupport::FreeListeningPort();
  DemoBuilder builder(chosen, error);
  if (!builder.Build()) return false;
  made.port = chosen.port;
  made.projects = builder.Projects();
  return true;
}
