// Reference requests (5037, 5041) end to end: one store call per entry line, only
// the failed entries in the reply, each with its code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/engine/LibraryRequestsTestLibrary_test.h"
#include "server/store/ProjectFileList.h"
#include "server/store/StoreFilePaths.h"
#include "server/store/StoreLimits.h"

namespace {

class ReferenceRequestsTest : public LibraryRequestsTest {
 protected:
  void SetUp() override {
    LibraryRequestsTest::SetUp();
    original_ = NewProject("Originals");
    destination_ = NewProject("Edition");
    for (const char* name : {"a", "b", "c"}) AddDocument(original_, name, name);
  }
  std::string Head(int count) const { return "\"" + destination_ + "\"," + std::to_string(count) + "\n"; }
  std::string Entry(const std::string& name, int version, const std::string& comments = "") const {
    return "\"" + name + "\"," + std::to_string(version) + ",\"" + original_ + "\",\"" + comments + "\"";
  }
  // The reply body, which must come with `id`.
  std::string Answer(MessageId request, const std::string& body, MessageId id) {
    const TestClient::Reply reply = Ask(request, body);
    EXPECT_EQ(reply.message.GetMessageId(), id);
    return BodyOf(reply);
  }
  std::vector<std::string> DestinationNames() {
    ProjectFileList list;
    EXPECT_TRUE(list.Load(ProjectFileListPath(Doc().GetProjectFolderPath(destination_) + "/", destination_)));
    StringList keys;
    list.GetKeys(keys);
    std::vector<std::string> names;
    for (int i = 0; i < keys.GetSize(); ++i) names.push_back(keys.GetAt(i));
    return names;
  }
  FileStatistics Reference(const std::string& name) {
    const std::optional<FileStatistics> stored = server_.StoredDocument(destination_, name);
    EXPECT_TRUE(stored.has_value()) << name;
    return stored.value_or(FileStatistics());
  }

  std::string original_, destination_;
};

TEST_F(ReferenceRequestsTest, OriginalReferencesReportOnlyTheEntryThatFailed) {
  const std::string body = Head(3) + Entry("a", 1) + "\n" + Entry("b", 7) + "\n" + Entry("c", 1) + "\n";
  EXPECT_EQ(Answer(MSGID_ADD_ORIGINAL_REFERENCES, body, MSGID_ADD_ORIGINAL_REFERENCES_RESULT),
            "\"" + destination_ + "\",1\n\"b\",\"\",-1,0,0,39\n");
  EXPECT_EQ(DestinationNames(), (std::vector<std::string>{"a", "c"}));
  EXPECT_TRUE(Reference("a").GetVersion(0).IsOriginalEdition());
}

TEST_F(ReferenceRequestsTest, EachStoreRefusalHasTheCodeOfItsRequest) {
  struct Case {
    std::string what;
    std::string head;
    std::string entry;  // without the replace flag
    int originalCode;   // in 5038
    int documentCode;   // in 5042
  };
  const std::string missing = "\"WXFiName_Hi9Lo9\",1\n";
  const std::vector<Case> cases = {
      {"own project", Head(1), "\"a\",1,\"" + destination_ + "\",\"\"", 34, 44},
      {"no destination", missing, Entry("a", 1), 35, 45},
      {"no original project", Head(1), "\"a\",1,\"WXFiName_Hi9Lo9\",\"\"", 36, 46},
      {"duplicate", Head(1), Entry("dup", 1), 37, 47},
      {"no such document", Head(1), Entry("zz", 1), 38, 48},
      {"no such version", Head(1), Entry("a", 9), 39, 49},
      {"comments too long to store", Head(1), Entry("a", 1, std::string(kMaxFreeTextBytes + 1, 'c')), 60, 61},
  };
  AddDocument(original_, "dup", "dup");
  FileStatistics listed;
  ASSERT_EQ(Doc().AddReference("dup", destination_, "", original_, 1, listed, false, false), 0);
  for (const Case& c : cases) {
    const std::string name = c.entry.substr(0, c.entry.find(','));
    const std::string destination = c.head.substr(0, c.head.find(','));
    EXPECT_EQ(Answer(MSGID_ADD_ORIGINAL_REFERENCES, c.head + c.entry + "\n", MSGID_ADD_ORIGINAL_REFERENCES_RESULT),
              destination + ",1\n" + name + ",\"\",-1,0,0," + std::to_string(c.originalCode) + "\n")
        << c.what;
    EXPECT_EQ(Answer(MSGID_ADD_REFERENCES, c.head + c.entry + ",0\n", MSGID_ADD_REFERENCES_RESULT),
              destination + ",1\n" + name + ",\"\",-1,0,0," + std::to_string(c.documentCode) + "\n")
        << c.what;
  }
}

TEST_F(ReferenceRequestsTest, ReplacingAReferenceAddsAVersionUnlessItIsCheckedOut) {
  const std::string ok = "\"" + destination_ + "\",0\n";
  EXPECT_EQ(Answer(MSGID_ADD_REFERENCES, Head(1) + Entry("a", 1) + ",0\n", MSGID_ADD_REFERENCES_RESULT), ok);
  EXPECT_EQ(Answer(MSGID_ADD_REFERENCES, Head(1) + Entry("a", 1) + ",1\n", MSGID_ADD_REFERENCES_RESULT), ok);
  EXPECT_EQ(Reference("a").GetVersionCount(), 2);

  ASSERT_EQ(Doc().CheckOutDocuments(destination_, "a", -1, "ann", false, false).code, 0);
  EXPECT_EQ(Answer(MSGID_ADD_REFERENCES, Head(1) + Entry("a", 1) + ",1\n", MSGID_ADD_REFERENCES_RESULT),
            "\"" + destination_ + "\",1\n\"a\",\"\",-1,0,0,55\n");
  EXPECT_EQ(Reference("a").GetVersionCount(), 2);
}

TEST_F(ReferenceRequestsTest, EntriesAreTheLinesPresentWhateverTheCountSays) {
  // A million claimed, two lines (with an empty one between them) sent.
  const std::string body = Head(1000000) + Entry("a", 1) + "\n\n" + Entry("zz", 1) + "\n";
  EXPECT_EQ(Answer(MSGID_ADD_ORIGINAL_REFERENCES, body, MSGID_ADD_ORIGINAL_REFERENCES_RESULT),
            "\"" + destination_ + "\",1\n\"zz\",\"\",-1,0,0,38\n");
  EXPECT_EQ(DestinationNames(), std::vector<std::string>{"a"});
}

TEST_F(ReferenceRequestsTest, CommentWithALineFeedStaysInItsEntry) {
  const std::string body = Head(2) + Entry("a", 1, "line one\nline two") + ",0\n" + Entry("b", 1) + ",0\n";
  EXPECT_EQ(Answer(MSGID_ADD_REFERENCES, body, MSGID_ADD_REFERENCES_RESULT), "\"" + destination_ + "\",0\n");
  EXPECT_EQ(DestinationNames(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Reference("a").GetVersion(0).GetComments(), "line one\nline two");
  EXPECT_FALSE(Reference("b").GetVersion(0).IsOriginalEdition());
}

}  // namespace
