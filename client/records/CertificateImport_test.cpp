#include "client/records/CertificateImport.h"

#include <gtest/gtest.h>

#include "client/records/ClientAppState.h"
#include "client/records/LibraryEntryFile.h"
#include "common/CertificateFile.h"
#include "common/CertificatePin.h"
#include "common/RecordFields.h"
#include "platform/AtomicFile.h"
#include "platform/fs.h"
#include "platform/Notifier.h"
#include "platform/ScratchFolder.h"
#include "server/store/CWexmoorDoc.h"
#include "testsupport/TestServer.h"

namespace {

constexpr const char* kRejected = "The certificate is invalid or corrupt and has been rejected";
// The notice of an import that added a new entry for `library` and `user`.
std::string Added(const std::string& library = "Default Library Name", const std::string& user = "ann") {
  return "Certificate imported for library \"" + library + "\", user \"" + user +
         "\".\nIt is a new entry in the list of libraries to open.";
}
constexpr const char* kSaveFailed = "Failed to save the imported certificate to disk";

// The fields of a certificate, laid out as the server's user administration writes
// them: the library record, then the account's certificate line.
struct Certificate {
  std::string libraryName = "Default Library Name";
  int libraryKeyLength = 16;
  std::string libraryKey = "00112233445566778899AABBCCDDEEFF";
  int id = 7;
  std::string name = "ann";
  std::string password = "pw";
  std::string key = "0123456789ABCDEF0123456789ABCDEF";
  int keyLength = 16;
  int type = 1;
  std::string logonCode = "1234567";
  std::string serverAddress = "127.0.0.1";
  int serverPort = 8901;
  std::string ipAddress = "10.0.0.9";
  int port = 0;
  std::string group[5] = {"g1", "g2", "g3", "g4", "g5"};

  std::string Text() const {
    std::string text = AppendStringField(libraryName, "");
    text = AppendIntField(libraryKeyLength, text);
    text = EndRecord(AppendStringField(libraryKey, text));
    std::string line = AppendIntField(id, "");
    line = AppendStringField(name, line);
    line = AppendStringField(password, line);
    line = AppendStringField(key, line);
    line = AppendIntField(keyLength, line);
    line = AppendIntField(type, line);
    line = AppendStringField(logonCode, line);
    if (type == 1) {
      line = AppendStringField(serverAddress, line);
      line = AppendIntField(serverPort, line);
      line = AppendStringField(ipAddress, line);
      line = AppendIntField(port, line);
    } else if (type == 2) {
      for (const std::string& field : group) line = AppendStringField(field, line);
    } else if (type == 3 || type == 4) {
      for (int i = 0; i < 3; ++i) line = AppendStringField(group[i], line);
    }
    return text + EndRecord(line);
  }
};

class CertificateImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UserProfile profile;
    profile.SetLoginName("login");
    profiles_.push_back(profile);
    ASSERT_TRUE(LibraryEntryFile::Save(entriesPath_, entries_));
    ASSERT_TRUE(usersFile_.Save(profiles_));
    platform::SetNotifyHandler([this](const platform::Notification& n) {
      shown_.push_back(n.text);
      return n.buttons == platform::NotifyButtons::YesNo ? answer_ : platform::NotifyAnswer::Ok;
    });
  }
  void TearDown() override {
    platform::SetNotifyHandler(nullptr);
    platform::AtomicFile::SetWriteHookForTesting(nullptr);
    ClientAppState::ClearUsersModified();
  }

  CertificateImport::Result Import(const std::string& text) {
    const std::string path = folder_ / "user.wxc";
    EXPECT_TRUE(CertificateFile::Write(path, text));
    return ImportFile(path);
  }
  CertificateImport::Result ImportFile(const std::string& path) {
    shown_.clear();
    CertificateImport import({entries_, entriesPath_, profiles_, 0, usersFile_, work_});
    return import.Import(path);
  }

  // Everything an import may change.
  struct State {
    std::vector<LibraryEntry> entries;
    std::vector<UserProfile> profiles;
    std::string entriesFile;
    std::string usersFile;
    bool operator==(const State&) const = default;
  };
  State Now() const {
    return {entries_, profiles_, platform::ScratchFolder::Read(entriesPath_),
            platform::ScratchFolder::Read(usersFile_.GetPath())};
  }
  const LibraryConnection* Stored(int i = 0) const { return profiles_[0].GetConnection(i); }

  platform::ScratchFolder folder_;
  const std::string work_ = folder_.Path();
  const std::string entriesPath_ = folder_ / LibraryEntryFile::kFileName;
  std::vector<LibraryEntry> entries_;
  std::vector<UserProfile> profiles_;
  UserProfileFile usersFile_{folder_ / UserProfileFile::kFileName};
  platform::NotifyAnswer answer_ = platform::NotifyAnswer::No;
  std::vector<std::string> shown_;
};

TEST_F(CertificateImportTest, TcpIpCertificateBecomesEntryAndConnection) {
  const Certificate certificate;
  ASSERT_EQ(Import(certificate.Text()), CertificateImport::Result::Imported);
  EXPECT_EQ(shown_, std::vector<std::string>{Added()});

  ASSERT_EQ(entries_.size(), 1u);
  EXPECT_EQ(entries_[0], LibraryEntry("Default Library Name", certificate.libraryKey, 16));
  ASSERT_EQ(profiles_[0].GetConnectionCount(), 1);
  const LibraryConnection& c = *Stored();
  EXPECT_EQ(c.GetName(), "Default Library Name");
  EXPECT_EQ(c.GetUserNumber(), 7);
  EXPECT_EQ(c.GetUserText(), "ann");
  EXPECT_EQ(c.GetSecondLogonText(), "pw");
  EXPECT_EQ(c.GetKeyText(), certificate.key);
  EXPECT_EQ(c.GetKeyLength(), 16);
  EXPECT_EQ(c.GetLogonCode(), "1234567");
  EXPECT_TRUE(c.IsTcpIp());
  EXPECT_EQ(c.GetHost(), "127.0.0.1");
  EXPECT_EQ(c.GetPort(), 8901);
  EXPECT_EQ(c.GetTcpIpText(), "10.0.0.9");
  EXPECT_EQ(c.GetLocalFolder(), work_ + "/login/ann/Default Library Name");

  // Both files hold what memory holds.
  EXPECT_EQ(platform::ScratchFolder::Read(entriesPath_),
            "\"Default Library Name\",\"" + certificate.libraryKey + "\",16\r\n");
  std::vector<UserProfile> saved;
  ASSERT_EQ(UserProfileFile(usersFile_.GetPath()).Load(saved), UserProfileFile::LoadResult::Loaded);
  EXPECT_EQ(saved, profiles_);
}

// The pin record follows the two records the parser reads, which leaves it alone:
// the account and the library key read as from a certificate without one, and
// the pin reaches the entry and its line (after the fields earlier readers read).
TEST_F(CertificateImportTest, APinnedCertificateReadsAsAPlainOneAndPinsTheEntry) {
  const Certificate certificate;
  const std::string fingerprint(95, 'A');
  const std::string pinned = certificate.Text() + CertificatePin{fingerprint, 8902}.Write();
  struct Case {
    const char* name;
    std::string text;
    std::string fingerprint;
    int port;
    std::string line;
  };
  const std::string plainLine = "\"Default Library Name\",\"" + certificate.libraryKey + "\",16";
  const Case cases[] = {
      {"pinned", pinned, fingerprint, 8902, plainLine + ",\"" + fingerprint + "\",8902\r\n"},
      {"plain again", certificate.Text(), "", 0, plainLine + "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Import(c.text), CertificateImport::Result::Imported);
    ASSERT_EQ(entries_.size(), 1u);
    EXPECT_EQ(entries_[0].GetKeyText(), certificate.libraryKey);
    EXPECT_EQ(entries_[0].GetTlsFingerprint(), c.fingerprint);
    EXPECT_EQ(entries_[0].GetTlsPort(), c.port);
    EXPECT_EQ(Stored()->GetPort(), 8901);
    EXPECT_EQ(Stored()->GetLogonCode(), "1234567");
    EXPECT_EQ(platform::ScratchFolder::Read(entriesPath_), c.line);
    std::vector<LibraryEntry> loaded;
    ASSERT_TRUE(LibraryEntryFile::Load(entriesPath_, loaded));
    EXPECT_EQ(loaded, entries_);
  }
}

TEST_F(CertificateImportTest, OnlyTcpIpAndEmailAccountsImport) {
  for (int type : {0, 3, 4, 5}) {
    Certificate certificate;
    certificate.type = type;
    const State before = Now();
    EXPECT_EQ(Import(certificate.Text()), CertificateImport::Result::Rejected) << type;
    EXPECT_EQ(shown_, std::vector<std::string>{kRejected});
    EXPECT_EQ(Now(), before);
  }
  Certificate mail;
  mail.type = 2;
  ASSERT_EQ(Import(mail.Text()), CertificateImport::Result::Imported);
  EXPECT_TRUE(Stored()->IsEmail());
  EXPECT_EQ(Stored()->GetEmailAddress(), "g1");
  EXPECT_EQ(Stored()->GetEmailText(4), "g5");
}

// Each of these is refused with the one rejection text, and nothing changes.
TEST_F(CertificateImportTest, MalformedCertificatesChangeNothing) {
  ASSERT_EQ(Import(Certificate().Text()), CertificateImport::Result::Imported);
  const State before = Now();
  std::vector<std::string> texts{"", "\x01\x99garbage\xF0", std::string(1, '\0') + Certificate().Text()};

  const std::string whole = Certificate().Text();
  for (std::size_t cut = whole.find(','); cut != std::string::npos; cut = whole.find(',', cut + 1)) {
    texts.push_back(whole.substr(0, cut));
    texts.push_back(whole.substr(0, cut + 1));
  }
  texts.push_back(whole.substr(0, whole.size() - 2));   // inside the last field

  const auto variant = [&](auto change) {
    Certificate c;
    change(c);
    texts.push_back(c.Text());
  };
  variant([](Certificate& c) { c.libraryKey.pop_back(); });
  variant([](Certificate& c) { c.libraryKey += "A"; });
  variant([](Certificate& c) { c.libraryKey[3] = 'G'; });
  variant([](Certificate& c) { c.libraryKeyLength = 0; c.libraryKey.clear(); });
  variant([](Certificate& c) { c.key.pop_back(); });
  variant([](Certificate& c) { c.key += "0"; });
  variant([](Certificate& c) { c.key[0] = 'x'; });
  variant([](Certificate& c) { c.serverPort = 0; });
  variant([](Certificate& c) { c.serverPort = 70000; });
  variant([](Certificate& c) { c.serverAddress = ""; });
  for (const char* name : {"..", "a/b", "/x", "!x", "", "a\nb"}) {
    variant([&](Certificate& c) { c.libraryName = name; });
    variant([&](Certificate& c) { c.name = name; });
  }
  variant([](Certificate& c) { c.password = "p\nw"; });
  variant([](Certificate& c) { c.logonCode = "1\r2"; });

  for (const std::string& text : texts) {
    EXPECT_EQ(Import(text), CertificateImport::Result::Rejected) << text;
    EXPECT_EQ(shown_, std::vector<std::string>{kRejected}) << text;
    EXPECT_EQ(Now(), before) << text;
  }

  const std::string big = folder_.Put("big.wxc", std::string(65 * 1024, 'x'));
  EXPECT_EQ(ImportFile(big), CertificateImport::Result::Rejected);
  EXPECT_EQ(shown_, std::vector<std::string>{kRejected});
  EXPECT_EQ(Now(), before);
}

TEST_F(CertificateImportTest, MissingFileIsReportedWithItsPath) {
  const std::string path = folder_ / "none.wxc";
  EXPECT_EQ(ImportFile(path), CertificateImport::Result::Unreadable);
  EXPECT_EQ(shown_, std::vector<std::string>{"Certificate [" + path + "] does not exist or is not accessible"});
}

TEST_F(CertificateImportTest, ImportingTwiceKeepsOneEntryOneConnectionAndTheFolder) {
  ASSERT_EQ(Import(Certificate().Text()), CertificateImport::Result::Imported);
  profiles_[0].GetConnection(0)->SetLocalFolder("/elsewhere");
  Certificate again;
  again.logonCode = "999";
  again.libraryName = "  Default Library Name ";   // trimmed
  ASSERT_EQ(Import(again.Text()), CertificateImport::Result::Imported);
  EXPECT_EQ(entries_.size(), 1u);
  ASSERT_EQ(profiles_[0].GetConnectionCount(), 1);
  EXPECT_EQ(Stored()->GetLogonCode(), "999");
  EXPECT_EQ(Stored()->GetLocalFolder(), "/elsewhere");
}

TEST_F(CertificateImportTest, SameNameWithAnotherKeyIsReplacedOnlyWhenTheUserAgrees) {
  ASSERT_EQ(Import(Certificate().Text()), CertificateImport::Result::Imported);
  const std::string firstFolder = Stored()->GetLocalFolder();
  ASSERT_TRUE(platform::fs::CreateFolder(work_ + "/login"));
  ASSERT_TRUE(platform::fs::CreateFolder(work_ + "/login/ann"));
  ASSERT_TRUE(platform::fs::CreateFolder(firstFolder + "2"));   // taken on disk
  const State before = Now();

  Certificate second;
  second.libraryKey = "FFEEDDCCBBAA99887766554433221100";
  answer_ = platform::NotifyAnswer::No;
  EXPECT_EQ(Import(second.Text()), CertificateImport::Result::Declined);
  EXPECT_EQ(shown_, std::vector<std::string>{"A different library named Default Library Name is already known to "
                                             "this client.  Replace it?"});
  EXPECT_EQ(Now(), before);

  answer_ = platform::NotifyAnswer::Yes;
  ASSERT_EQ(Import(second.Text()), CertificateImport::Result::Imported);
  ASSERT_EQ(entries_.size(), 1u);
  EXPECT_EQ(entries_[0].GetKeyText(), second.libraryKey);
  ASSERT_EQ(profiles_[0].GetConnectionCount(), 1);
  EXPECT_EQ(Stored()->GetLocalFolder(), firstFolder + "3");
  ASSERT_EQ(shown_.size(), 2u);
  EXPECT_EQ(shown_[1], "Certificate imported for library \"Default Library Name\", user \"ann\".\nIt replaces this "
                       "user's certificate of the earlier library of that name; its documents go to the new local "
                       "folder " + firstFolder + "3.");
}

// Which entry an import lands in: a connection is one library and one user; the
// library is known by its name or, after a rename, by its key. Rows: library, user,
// logon code, folder ("/mapped": the first connection's, set after the first import).
TEST_F(CertificateImportTest, EachLibraryAndUserHasOneEntry) {
  const auto make = [](const std::string& library, int id, const std::string& code) {
    Certificate c;
    c.libraryName = library;
    c.id = id;
    c.name = id == 7 ? "ann" : "bob";
    c.logonCode = code;
    return c;
  };
  using Row = std::vector<std::string>;
  const std::string lib = "Default Library Name";
  const std::string replaced = "\".\nIt replaces this user's earlier certificate of the library; the local folder "
                               "and its mappings are kept.";
  const struct {
    std::vector<Certificate> imports;
    std::vector<std::string> entries;
    std::vector<Row> connections;
    std::string notice;   // of the last import
  } cases[] = {
      {{make(lib, 7, "1"), make(lib, 7, "2")}, {lib}, {{lib, "ann", "2", "/mapped"}},
       "Certificate imported for library \"" + lib + "\", user \"ann" + replaced},
      {{make(lib, 7, "1"), make(lib, 8, "2")}, {lib},
       {{lib, "ann", "1", "/mapped"}, {lib, "bob", "2", work_ + "/login/bob/" + lib}}, Added(lib, "bob")},
      {{make("Old", 7, "1"), make("New", 7, "2")}, {"New"}, {{"New", "ann", "2", "/mapped"}},
       "Certificate imported for library \"New\" (formerly \"Old\"), user \"ann" + replaced},
      {{make("Old", 7, "1"), make("Old", 8, "2"), make("New", 8, "3")}, {"Old", "New"},   // ann still names "Old"
       {{"Old", "ann", "1", "/mapped"}, {"New", "bob", "3", work_ + "/login/bob/Old"}},
       "Certificate imported for library \"New\" (formerly \"Old\"), user \"bob" + replaced},
  };
  for (const auto& c : cases) {
    entries_.clear();
    profiles_[0] = UserProfile();
    profiles_[0].SetLoginName("login");
    for (std::size_t i = 0; i < c.imports.size(); ++i) {
      ASSERT_EQ(Import(c.imports[i].Text()), CertificateImport::Result::Imported) << c.notice;
      if (i == 0) profiles_[0].GetConnection(0)->SetLocalFolder("/mapped");
    }
    std::vector<std::string> entryNames;
    for (const LibraryEntry& entry : entries_) entryNames.push_back(entry.GetName());
    EXPECT_EQ(entryNames, c.entries) << c.notice;
    std::vector<Row> connections;
    for (int i = 0; i < profiles_[0].GetConnectionCount(); ++i) {
      const LibraryConnection& stored = *Stored(i);
      connections.push_back({stored.GetName(), stored.GetUserText(), stored.GetLogonCode(), stored.GetLocalFolder()});
    }
    EXPECT_EQ(connections, c.connections) << c.notice;
    EXPECT_EQ(shown_, std::vector<std::string>{c.notice});
    std::vector<UserProfile> profilesRead;   // what the file holds reads back as memory
    ASSERT_EQ(UserProfileFile(usersFile_.GetPath()).Load(profilesRead), UserProfileFile::LoadResult::Loaded);
    EXPECT_EQ(profilesRead, profiles_) << c.notice;
  }
}

TEST_F(CertificateImportTest, FailedSaveOfEitherFileChangesNothing) {
  ASSERT_EQ(Import(Certificate().Text()), CertificateImport::Result::Imported);
  const State before = Now();
  Certificate other;
  other.libraryName = "Second Library";
  const std::string path = folder_ / "second.wxc";
  ASSERT_TRUE(CertificateFile::Write(path, other.Text()));

  for (int failingWrite : {1, 2}) {   // the entries file, then the users file
    int writes = 0;
    platform::AtomicFile::SetWriteHookForTesting([&](std::size_t) { return ++writes != failingWrite; });
    ClientAppState::ClearUsersModified();
    EXPECT_EQ(ImportFile(path), CertificateImport::Result::SaveFailed) << failingWrite;
    platform::AtomicFile::SetWriteHookForTesting(nullptr);
    EXPECT_EQ(shown_, std::vector<std::string>{kSaveFailed});
    EXPECT_EQ(Now(), before);
    EXPECT_FALSE(ClientAppState::AreUsersModified());
  }
}

// A certificate as the server's user administration writes it, imported and then
// used for a logon with nothing but what the import stored.
TEST_F(CertificateImportTest, ServerWrittenCertificateLogsOnWithTheImportedRecords) {
  TestServer server;
  ASSERT_TRUE(server.Start());
  const std::optional<UserAccount> added = server.AddUser("ann", "secret");
  ASSERT_TRUE(added.has_value());
  const std::string path = folder_ / "ann.wxc";
  ASSERT_TRUE(server.WriteCertificate(added->GetId(), path));
  const std::optional<UserAccount> account = server.StoredUser(added->GetId());
  ASSERT_TRUE(account.has_value());
  ServerSettings& settings = server.Document().GetSettings();

  ASSERT_EQ(ImportFile(path), CertificateImport::Result::Imported);
  ASSERT_EQ(entries_.size(), 1u);
  const LibraryEntry& entry = entries_[0];
  EXPECT_EQ(entry, LibraryEntry(settings.GetLibraryName(), settings.GetDefaultKey(), settings.GetDefaultKeyLength()));
  ASSERT_EQ(profiles_[0].GetConnectionCount(), 1);
  const LibraryConnection& connection = *Stored();
  EXPECT_EQ(connection.GetName(), settings.GetLibraryName());
  EXPECT_TRUE(connection.IsTcpIp());
  EXPECT_EQ(connection.GetHost(), account->GetServerAddress());
  EXPECT_EQ(connection.GetPort(), account->GetServerPort());
  EXPECT_EQ(connection.GetPort(), server.Port());
  EXPECT_EQ(connection.GetTcpIpText(), account->GetIpAddress());
  EXPECT_EQ(connection.GetTcpIpNumber(), account->GetPort());
  EXPECT_EQ(connection.GetUserNumber(), account->GetId());
  EXPECT_EQ(connection.GetUserText(), "ann");
  EXPECT_EQ(connection.GetSecondLogonText(), "secret");
  EXPECT_EQ(connection.GetKeyText(), account->GetKeyText());
  EXPECT_EQ(connection.GetKeyLength(), account->GetKeyLength());
  EXPECT_EQ(connection.GetLogonCode(), account->GetLogonCode());
  EXPECT_EQ(connection.GetLocalFolder(), work_ + "/login/ann/" + settings.GetLibraryName());

  TestClient client(static_cast<std::uint32_t>(connection.GetUserNumber()), entry.GetKeyText(),
                    connection.GetKeyText());
  ASSERT_TRUE(client.Connect(static_cast<std::uint16_t>(connection.GetPort())));
  TestClient::Reply reply;
  ASSERT_EQ(client.Logon(connection.GetUserText(), connection.GetSecondLogonText(), connection.GetLogonCode(), reply),
            TestClient::ReceiveStatus::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
}

}  // namespace
