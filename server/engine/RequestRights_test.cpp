#include "server/engine/RequestRights.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "common/ResultCodes.h"
#include "common/WireCapabilities.h"
#include "platform/ScratchFolder.h"
#include "server/store/InternalNameCounter.h"
#include "server/store/StringList.h"
#include "server/engine/LibraryRequestsTestLibrary_test.h"

namespace {

class RequestRightsTest : public LibraryRequestsTest {
 protected:
  void SetUp() override {
    LibraryRequestsTest::SetUp();
    inside_ = NewProject("Inside");
    outside_ = NewProject("Outside");
  }

  // Ann's only group: `role` over the subtree of `project`.
  void GiveAnn(GroupRole role, const std::string& project) {
    ASSERT_TRUE(Doc().GetGroups().Change([&](GroupTable& table) {
      for (Group& group : table.groups) std::erase(group.members, ann_.GetId());
      std::erase_if(table.groups, [](const Group& group) { return group.name == "Ann's"; });
      table.groups.push_back({"Ann's", role, {project}, {ann_.GetId()}});
      return true;
    }));
  }
  // A sub-project of `parent` holding the document "a.txt" (one version), and that document's internal file name.
  std::pair<std::string, std::string> ProjectWithDocument(const std::string& parent, const std::string& name) {
    ServerProject created;
    EXPECT_EQ(Doc().CreateProject(parent, name, "", created, false), 0);
    return {created.GetInternalName(), AddDocument(created.GetInternalName(), "a.txt", "v1")};
  }
  // Every file under the library root and its bytes.
  std::map<std::string, std::string> Disk() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(server_.RootPath())) {
      if (entry.is_regular_file()) files[entry.path().string()] = platform::ScratchFolder::Read(entry.path());
    }
    return files;
  }
  static bool IsRightsRefusal(const TestClient::Reply& reply, MessageId failure) {
    const std::string body = BodyOf(reply);
    if (reply.message.GetMessageId() != failure) return false;
    return failure == MSGID_RENAME_PROJECT_FAILED || body == std::to_string(kRightsRefusedCode) ||
           body.find(kRightsRefusedLine) != std::string::npos ||
           body.find("," + std::to_string(kRightsRefusedCode) + "\n") != std::string::npos;
  }

  // Ann logged on again, announcing the extensions this build speaks; null when refused.
  std::unique_ptr<TestClient> AnnouncingClient() {
    std::unique_ptr<TestClient> client = server_.MakeClient(ann_);
    client->SetLogonSecondTime(WireCapabilities::Ours().Announcement(WireCapabilities::Side::kClient));
    TestClient::Reply reply;
    const bool accepted =
        client->Connect(server_.Port()) &&
        client->Logon("ann", "secret", Doc().GetSettings().FindUser(ann_.GetId())->GetLogonCode(), reply) ==
            Status::Ok &&
        reply.message.GetMessageId() == MSGID_LOGON_ACCEPTED;
    return accepted ? std::move(client) : nullptr;
  }

  std::string inside_;
  std::string outside_;
};

TEST_F(RequestRightsTest, EveryRequestNeedsItsRoleInItsProject) {
  const struct {
    MessageId id;
    GroupRole needs;
    MessageId failure;
    // The body for the project `p` holding "a.txt"; `f` is that document's internal file name.
    std::function<std::string(const std::string& p, const std::string& f)> body;
  } requests[] = {
      {MSGID_LIST_DOCUMENTS, GroupRole::Reader, MSGID_DOCUMENT_LIST_FAILED,
       [](auto& p, auto&) { return AppendStringField(p, ""); }},
      {MSGID_LIST_VERSIONS, GroupRole::Reader, MSGID_VERSION_LIST_FAILED,
       [](auto& p, auto& f) { return AppendStringField(f, AppendStringField(p, "")); }},
      {MSGID_RETRIEVE, GroupRole::Reader, MSGID_RETRIEVE_FAILED,
       [](auto& p, auto&) { return EndRecord(AppendIntField(1, AppendStringField(p, ""))) + "\"a.txt\",1\n"; }},
      {MSGID_GET_ORIGINAL_DOCUMENTS, GroupRole::Reader, MSGID_GET_ORIGINAL_DOCUMENTS_FAILED,
       [](auto& p, auto&) { return AppendStringField(p, ""); }},
      {MSGID_CHECK_OUT, GroupRole::Author, MSGID_CHECK_OUT_FAILED,
       [](auto& p, auto&) { return EndRecord(AppendStringField(p, "") + ",1,0,0") + "\"a.txt\",-1\n"; }},
      {MSGID_ADD_PROJECT, GroupRole::Author, MSGID_ADD_PROJECT_FAILED,
       [](auto& p, auto&) { return AppendStringField("New", AppendStringField(p, "")); }},
      {MSGID_ADD_REFERENCES, GroupRole::Author, MSGID_ADD_REFERENCES_RESULT,
       [](auto& p, auto&) { return EndRecord(AppendStringField(p, "") + ",1") + "\"b.txt\",1,\"\",\"\",0\n"; }},
      {MSGID_CREATE_EDITION, GroupRole::Publisher, MSGID_CREATE_EDITION_FAILED,
       [](auto& p, auto&) { return AppendStringField("Ed", AppendStringField(p, "")); }},
      {MSGID_ADD_ORIGINAL_PROJECT, GroupRole::Publisher, MSGID_ADD_ORIGINAL_PROJECT_FAILED,
       [](auto& p, auto&) { return AppendStringField("Orig", AppendStringField(p, "")); }},
      {MSGID_ADD_ORIGINAL_REFERENCES, GroupRole::Publisher, MSGID_ADD_ORIGINAL_REFERENCES_RESULT,
       [](auto& p, auto&) { return EndRecord(AppendStringField(p, "") + ",1") + "\"b.txt\",1,\"\",\"\"\n"; }},
      {MSGID_DELETE_DOCUMENTS, GroupRole::Publisher, MSGID_DELETE_DOCUMENTS_RESULT,
       [](auto& p, auto& f) { return EndRecord(AppendStringField(p, "") + ",1") + EndRecord(AppendStringField(f, "")); }},
      {MSGID_RENAME_PROJECT, GroupRole::Publisher, MSGID_RENAME_PROJECT_FAILED,
       [](auto& p, auto&) { return AppendStringField("Renamed", AppendStringField(p, "")); }},
      {MSGID_RENAME_DOCUMENT, GroupRole::Publisher, MSGID_RENAME_DOCUMENT_FAILED,
       [](auto& p, auto& f) { return AppendStringField("c.txt", AppendStringField(f, AppendStringField(p, ""))); }},
      {MSGID_DELETE_PROJECT, GroupRole::Publisher, MSGID_DELETE_PROJECT_FAILED,
       [this](auto& p, auto&) { return AppendStringField(p, AppendStringField(Doc().ProjectChain(p).back(), "")); }},
  };
  // Inside Ann's subtree; a parent the tree lists only to reach her subtree below it;
  // a project she may not see, which must answer as one that is not there.
  enum class Place { kInside, kParentOfCovered, kUnseen };
  const char* const placeNames[] = {"inside", "in a parent of it", "unseen"};
  int made = 0;
  for (const auto& request : requests) {
    for (GroupRole role : {GroupRole::Reader, GroupRole::Author, GroupRole::Publisher}) {
      for (Place place : {Place::kInside, Place::kParentOfCovered, Place::kUnseen}) {
        SCOPED_TRACE(std::to_string(request.id) + " as " + GroupRoleText(role) + " " +
                     placeNames[static_cast<int>(place)]);
        const std::string name = "P" + std::to_string(++made);
        const auto [project, file] = ProjectWithDocument(place == Place::kInside ? inside_ : outside_, name);
        ServerProject below;
        ASSERT_EQ(Doc().CreateProject(project, "Below", "", below, false), 0);
        GiveAnn(role, place == Place::kParentOfCovered ? below.GetInternalName() : inside_);
        const std::string body = request.body(project, file);
        const std::map<std::string, std::string> before = Disk();
        const TestClient::Reply reply = Ask(request.id, body);
        if (place == Place::kUnseen) {
          EXPECT_EQ(Disk(), before);
          StringList report;
          ASSERT_EQ(Doc().DeleteProject(project, outside_, report), 0);
          const TestClient::Reply absent = Ask(request.id, body);
          EXPECT_EQ(reply.message.GetMessageId(), absent.message.GetMessageId());
          EXPECT_EQ(BodyOf(reply), BodyOf(absent));
        } else if (place == Place::kParentOfCovered && request.id == MSGID_LIST_DOCUMENTS) {
          EXPECT_EQ(reply.message.GetMessageId(), MSGID_DOCUMENT_LIST);
          EXPECT_EQ(BodyOf(reply),
                    EndRecord(AppendIntField(0, AppendStringField(project, AppendStringField(name, "")))));
        } else {
          const bool allowed = place == Place::kInside && role >= request.needs;
          EXPECT_EQ(IsRightsRefusal(reply, request.failure), !allowed) << BodyOf(reply);
          if (!allowed) {
            EXPECT_EQ(Disk(), before);
          }
        }
      }
    }
  }
}

TEST_F(RequestRightsTest, RefusedDeliveryReadsItsFilesToTheEndAndStoresNothing) {
  const std::string content(100000, 'x');
  const auto deliver = [&](MessageId id, const std::string& project) {
    const std::string body = EndRecord(AppendIntField(1, AppendStringField(project, ""))) +
                             EndRecord(AppendStringField("", AppendIntField(static_cast<int>(content.size()),
                                                                            AppendStringField("b.txt", ""))));
    TestClient::Reply reply;
    EXPECT_NE(client_->SendWithFiles(id, body, {content}, {}), 0u);
    EXPECT_EQ(client_->Receive(reply, 60000), Status::Ok);
    return reply;
  };
  int made = 0;
  for (MessageId id : {MSGID_ADD_DOCUMENTS, MSGID_CHECK_IN}) {
    for (bool seen : {true, false}) {
      SCOPED_TRACE(std::to_string(id) + (seen ? " seen" : " unseen"));
      const std::string project = ProjectWithDocument(seen ? inside_ : outside_, "P" + std::to_string(++made)).first;
      GiveAnn(GroupRole::Reader, inside_);
      const std::map<std::string, std::string> before = Disk();
      const TestClient::Reply reply = deliver(id, project);
      EXPECT_EQ(Disk(), before);
      if (seen) {
        EXPECT_EQ(reply.message.GetMessageId(), id + 1);
        EXPECT_NE(BodyOf(reply).find(",62\n"), std::string::npos) << BodyOf(reply);
      } else {
        StringList report;
        ASSERT_EQ(Doc().DeleteProject(project, outside_, report), 0);
        const TestClient::Reply absent = deliver(id, project);
        EXPECT_EQ(reply.message.GetMessageId(), absent.message.GetMessageId());
        EXPECT_EQ(BodyOf(reply), BodyOf(absent));
      }
      // The connection is still in step: the next request is answered.
      EXPECT_EQ(Ask(MSGID_LIST_DOCUMENTS, AppendStringField(inside_, "")).message.GetMessageId(), MSGID_DOCUMENT_LIST);
    }
  }
}

TEST_F(RequestRightsTest, AReferencesOriginalMustBeReadableAndAHiddenOneIsNotThere) {
  ServerProject destination;
  ASSERT_EQ(Doc().CreateProject(inside_, "Dest", "", destination, false), 0);
  ServerProject below;
  ASSERT_EQ(Doc().CreateProject(outside_, "Below", "", below, false), 0);
  const std::string hidden = ProjectWithDocument(outside_, "Hidden").first;
  const std::string readable = ProjectWithDocument(inside_, "Readable").first;
  AddDocument(outside_, "a.txt", "v1");
  GiveAnn(GroupRole::Author, inside_);
  ASSERT_TRUE(Doc().GetGroups().Change([&](GroupTable& table) {
    table.groups.push_back({"Below", GroupRole::Reader, {below.GetInternalName()}, {ann_.GetId()}});
    return true;
  }));
  const auto body = [&](const std::string& original) {
    return EndRecord(AppendStringField(destination.GetInternalName(), "") + ",1") + "\"a.txt\",1," +
           EndRecord(AppendStringField(original, "") + ",\"\",0");
  };
  // Seen only on the way to Below: refused for rights. Hidden: as a project that is not there.
  std::map<std::string, std::string> before = Disk();
  const std::string onTheWay = BodyOf(Ask(MSGID_ADD_REFERENCES, body(outside_)));
  EXPECT_NE(onTheWay.find("," + std::to_string(kRightsRefusedCode) + "\n"), std::string::npos) << onTheWay;
  const TestClient::Reply unseen = Ask(MSGID_ADD_REFERENCES, body(hidden));
  EXPECT_EQ(Disk(), before);
  StringList report;
  ASSERT_EQ(Doc().DeleteProject(hidden, outside_, report), 0);
  const TestClient::Reply absent = Ask(MSGID_ADD_REFERENCES, body(hidden));
  EXPECT_EQ(unseen.message.GetMessageId(), absent.message.GetMessageId());
  EXPECT_EQ(BodyOf(unseen), BodyOf(absent));
  // A readable original is referenced.
  EXPECT_EQ(BodyOf(Ask(MSGID_ADD_REFERENCES, body(readable))),
            EndRecord(AppendIntField(0, AppendStringField(destination.GetInternalName(), ""))));
}

TEST_F(RequestRightsTest, CheckOutAlongReferencesNeedsAuthorInEveryProjectItWouldLock) {
  const std::string original = ProjectWithDocument(inside_, "P").first;
  ServerProject elsewhere;
  ASSERT_EQ(Doc().CreateProject(outside_, "Q", "", elsewhere, false), 0);
  FileStatistics reference;
  ASSERT_EQ(Doc().AddReference("a.txt", elsewhere.GetInternalName(), "", original, 1, reference, false, false), 0);
  const std::string body = EndRecord(AppendStringField(original, "") + ",1,1,0") + "\"a.txt\",-1\n";
  for (bool authorOutside : {false, true}) {
    SCOPED_TRACE(authorOutside);
    GiveAnn(GroupRole::Author, inside_);
    if (authorOutside) {
      ASSERT_TRUE(Doc().GetGroups().Change([&](GroupTable& table) {
        table.Find("Ann's")->subtrees.push_back(outside_);
        return true;
      }));
    }
    // The check-out reference is named before the walk: only the name counter moves on.
    const std::string counter = server_.RootPath() + "/" + InternalNameCounter::kFileName;
    std::map<std::string, std::string> before = Disk();
    const TestClient::Reply reply = Ask(MSGID_CHECK_OUT, body);
    if (authorOutside) {
      EXPECT_EQ(reply.message.GetMessageId(), MSGID_CHECKED_OUT_DOCUMENTS) << BodyOf(reply);
    } else {
      EXPECT_TRUE(IsRightsRefusal(reply, MSGID_CHECK_OUT_FAILED)) << BodyOf(reply);
      std::map<std::string, std::string> after = Disk();
      before.erase(counter);
      after.erase(counter);
      EXPECT_EQ(after, before);
    }
  }
}

TEST_F(RequestRightsTest, ProjectsOutsideTheAccountsGroupsAreLeftOutOfTheTree) {
  ServerProject deep;
  ASSERT_EQ(Doc().CreateProject(inside_, "Deep", "", deep, false), 0);
  ServerProject beside;
  ASSERT_EQ(Doc().CreateProject(inside_, "Beside", "", beside, false), 0);
  GiveAnn(GroupRole::Reader, deep.GetInternalName());
  const std::string tree = BodyOf(Ask(MSGID_REFRESH_PROJECTS, ""));
  // Inside is listed as Deep's parent; Beside and Outside are not.
  EXPECT_NE(tree.find("\"Inside\""), std::string::npos) << tree;
  EXPECT_NE(tree.find("\"Deep\""), std::string::npos) << tree;
  EXPECT_EQ(tree.find("\"Beside\""), std::string::npos) << tree;
  EXPECT_EQ(tree.find("\"Outside\""), std::string::npos) << tree;
}

TEST_F(RequestRightsTest, RightsChangedWhileConnectedApplyToTheNextRequestAndAreListed) {
  GiveAnn(GroupRole::Reader, inside_);
  const std::string refused = AppendStringField("New", AppendStringField(inside_, ""));
  EXPECT_TRUE(IsRightsRefusal(Ask(MSGID_ADD_PROJECT, refused), MSGID_ADD_PROJECT_FAILED));
  GiveAnn(GroupRole::Author, inside_);
  EXPECT_EQ(Ask(MSGID_ADD_PROJECT, refused).message.GetMessageId(), MSGID_PROJECT_ADDED);
  // The rights list, for a client that announced the extension.
  const std::string library = Doc().GetSettings().GetLibraryName();
  ASSERT_TRUE(Doc().GetGroups().Change([&](GroupTable& table) {
    table.groups.push_back({"All", GroupRole::Reader, {}, {ann_.GetId()}});
    return true;
  }));
  std::unique_ptr<TestClient> client = AnnouncingClient();
  ASSERT_TRUE(client);
  TestClient::Reply reply;
  ASSERT_NE(client->Send(MSGID_LIST_RIGHTS, ""), 0u);
  ASSERT_EQ(client->Receive(reply, 60000), Status::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_RIGHTS_LIST);
  EXPECT_EQ(BodyOf(reply), "2\n2,\"" + library + "->Inside\",\"Ann's\"\n1,\"\",\"All\"\n");
  // A client that did not announce it is never answered with it: the request ends its connection.
  ASSERT_NE(client_->Send(MSGID_LIST_RIGHTS, ""), 0u);
  const Status status = client_->Receive(reply, 60000);
  EXPECT_TRUE(status != Status::Ok || reply.message.GetMessageId() == MSGID_BYE) << reply.message.GetMessageId();
}

TEST_F(RequestRightsTest, AnUndoneCheckOutNeedsTheAuthorRoleAndRefusesEachDocument) {
  const auto [project, file] = ProjectWithDocument(inside_, "Held");
  GiveAnn(GroupRole::Author, inside_);
  ASSERT_EQ(Ask(MSGID_CHECK_OUT, EndRecord(AppendStringField(project, "") + ",1,0,0") + "\"a.txt\",-1\n")
                .message.GetMessageId(),
            MSGID_CHECKED_OUT_DOCUMENTS);
  GiveAnn(GroupRole::Reader, inside_);
  std::unique_ptr<TestClient> client = AnnouncingClient();
  ASSERT_TRUE(client);
  TestClient::Reply reply;
  const std::map<std::string, std::string> before = Disk();
  const std::string body = EndRecord(AppendIntField(1, AppendStringField(project, ""))) + "\"a.txt\"\n\"b.txt\"\n";
  ASSERT_NE(client->Send(MSGID_UNDO_CHECK_OUT, body), 0u);
  ASSERT_EQ(client->Receive(reply, 60000), Status::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_UNDO_CHECK_OUT_RESULT);
  EXPECT_EQ(BodyOf(reply), AppendStringField(project, "") + ",1\n\"a.txt\"," + std::to_string(kRightsRefusedCode) + "\n");
  EXPECT_EQ(Disk(), before);
}

}  // namespace
