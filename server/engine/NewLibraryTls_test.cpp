#include "server/engine/NewLibraryTls.h"

#include <gtest/gtest.h>

#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ServerSettings.h"
#include "server/store/TlsSettings.h"

namespace {

TEST(NewLibraryTlsTest, OnlyALibraryAboutToBeMadeStartsWithTlsRequired) {
  struct Case {
    const char* name;
    bool usersFile;      // the root holds a library already
    bool rootRecorded;   // the working folder names a root already
    bool required;
  };
  const Case cases[] = {
      {"first start", false, false, true},
      {"a library made earlier", true, false, false},
      {"a root recorded earlier", false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::ScratchFolder folder;
    const std::string root = folder / "library";
    if (c.usersFile) {
      ASSERT_TRUE(platform::fs::CreateFolder(root));
      folder.Put(std::string("library/") + ServerSettings::kUsersFileName, "");
    }
    if (c.rootRecorded) folder.Put(CWexmoorDoc::kRootPathFileName, folder / "elsewhere");
    const NewLibraryTls::Outcome outcome = NewLibraryTls::Prepare(folder.Path(), root, "host");
    EXPECT_TRUE(outcome.ok) << outcome.line;
    const std::optional<TlsSettings> settings = TlsSettings::Load(root);
    ASSERT_TRUE(settings.has_value());
    EXPECT_EQ(settings->GetMode() == TlsSettings::Mode::Required, c.required);
    EXPECT_EQ(!TlsSettings::Fingerprint(root).empty(), c.required);
    if (c.required) {
      EXPECT_NE(outcome.line.find(TlsSettings::Fingerprint(root)), std::string::npos) << outcome.line;
    } else {
      EXPECT_EQ(outcome.line, "");
    }
  }
}

}  // namespace
