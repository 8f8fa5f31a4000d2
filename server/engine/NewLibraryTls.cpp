#include "server/engine/NewLibraryTls.h"

#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ServerSettings.h"
#include "server/store/TlsIdentityFiles.h"
#include "server/store/TlsSettings.h"

NewLibraryTls::Outcome NewLibraryTls::Prepare(const std::string& workingFolder, const std::string& rootPath,
                                              const std::string& serverName) {
  if (rootPath.empty() || platform::fs::Exists(workingFolder + "/" + CWexmoorDoc::kRootPathFileName) ||
      platform::fs::Exists(rootPath + "/" + ServerSettings::kUsersFileName)) {
    return {};
  }
  if (!platform::fs::IsFolder(rootPath) && !platform::fs::CreateFolder(rootPath)) {
    return {false, "The new library's root " + rootPath + " cannot be made"};
  }
  if (!TlsIdentityFiles::Exists(rootPath)) {
    if (const std::string problem = TlsIdentityFiles::Make(rootPath, serverName, false); !problem.empty()) {
      return {false, problem};
    }
  }
  TlsSettings settings;
  settings.SetMode(TlsSettings::Mode::Required);
  if (!settings.Save(rootPath)) return {false, "The TLS settings of the new library cannot be saved in " + rootPath};
  return {true, "A new library serves TLS only; its certificate fingerprint is " + TlsSettings::Fingerprint(rootPath)};
}
