#include "server/store/FileStatistics.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/ScratchFolder.h"

namespace {

constexpr const char* kCrCrLf = "\r\r\n";

FileEntry Version(int number, const std::string& comments) {
  FileEntry entry;
  entry.SetName("Plan.txt");
  entry.SetInternalFileName("WXFiName_Hi0Lo7");
  entry.SetVersion(number);
  entry.SetAuthor("anna");
  DateTime created;
  created.Parse("2024010" + std::to_string(number) + "030405");
  entry.SetCreatedTime(created);
  entry.SetComments(comments);
  entry.SetCheckInStatus(FileEntry::kCheckedIn);
  entry.SetCheckOutStatus(FileEntry::kNotCheckedOut);
  entry.SetFileSize(100 * number);
  return entry;
}

FileStatistics TwoVersions() {
  FileStatistics document;
  document.SetOwnerProject("WXFiName_Hi0Lo3");
  FileEntry first = Version(1, "First draft");
  first.AddLink("WXFiName_Hi0Lo9");
  first.AddLink("WXFiName_Hi0Lo9");
  document.AddVersion(first);
  document.AddVersion(Version(2, "Reworked\nit's done"));
  document.SetHeader(document.GetVersion(1));
  return document;
}

std::string SectionText(int number, const std::string& comments, const std::string& links) {
  const std::string n = std::to_string(number);
  std::string text;
  for (const std::string& line : std::initializer_list<std::string>{
           "Start FileEntry", "NAME=Plan.txt", "INTERNALFILENAME=WXFiName_Hi0Lo7", "INTERNALPROJECTNAME=",
        "LINKVERSION=-1", "VERSION=" + n, "AUTHOR=anna", "VERSIONCREATEDDATETIME=2024010" + n + "030405",
        "COMMENTS=" + comments, "CHECKINSTATUS=11014", "CHECKEDOUTTO=", "CHECKEDOUTDATETIME=00000000000000",
        "CHECKOUTSTATUS=11012", "FILESIZEBYTES=" + n + "00", "ORIGINALEDITION=0", "BREAKREFERENCEONCHECKIN=0",
        "CHECKOUTREFERENCE=", "Start ActiveFileLink"}) {
    text += line + kCrCrLf;
  }
  return text + links + "End ActiveFileLink" + kCrCrLf + "End FileEntry" + kCrCrLf;
}

std::string TwoVersionsText() {
  const std::string links = std::string("Start ActiveFileLinkEntry") + kCrCrLf + "WXFiName_Hi0Lo9" + kCrCrLf + "2" +
                            kCrCrLf + "False" + kCrCrLf + "End ActiveFileLinkEntry" + kCrCrLf;
  const std::string second = SectionText(2, "Reworked\xFFit''s done", "");
  return std::string("Start FileStatistics") + kCrCrLf + "WXFiName_Hi0Lo3" + kCrCrLf + second +
         "Start FileEntry Array" + kCrCrLf + SectionText(1, "First draft", links) + second + "End FileEntry Array" +
         kCrCrLf + "End FileStatistics" + kCrCrLf;
}

class FileStatisticsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    platform::AtomicFile::SetWriteHookForTesting(nullptr);
    platform::SetClockForTesting(nullptr);
  }

  int LoadText(const std::string& text, FileStatistics& document) {
    int lines = 0;
    return document.Load(folder_.Put("doc_FileStatistics.wxf", text), lines);
  }

  platform::ScratchFolder folder_;
};

}  // namespace

TEST_F(FileStatisticsTest, SavesTwoVersionsWithLinksByteExact) {
  const std::string path = folder_ / "WXFiName_Hi0Lo7_FileStatistics.wxf";
  ASSERT_EQ(TwoVersions().Save(path), 0);
  EXPECT_EQ(platform::ScratchFolder::Read(path), TwoVersionsText());

  FileStatistics back;
  int lines = 0;
  ASSERT_EQ(back.Load(path, lines), 0);
  EXPECT_EQ(back.GetOwnerProject(), "WXFiName_Hi0Lo3");
  EXPECT_EQ(back.GetVersion(), 2);
  ASSERT_EQ(back.GetVersionCount(), 2);
  EXPECT_EQ(back.GetVersion(0).GetLinkAt(0).GetCount(), 2);
  EXPECT_EQ(back.GetVersion(1).GetComments(), "Reworked\nit's done");
}

TEST_F(FileStatisticsTest, ReadersAcceptLfAndCrLfEndings) {
  std::string lf = TwoVersionsText();
  std::string crlf = lf;
  for (std::size_t at; (at = lf.find("\r\r\n")) != std::string::npos;) lf.replace(at, 3, "\n");
  for (std::size_t at; (at = crlf.find("\r\r\n")) != std::string::npos;) crlf.replace(at, 3, "\r\n");
  FileStatistics document;
  EXPECT_EQ(LoadText(lf, document), 0);
  EXPECT_EQ(document.GetVersionCount(), 2);
  EXPECT_EQ(LoadText(crlf, document), 0);
  EXPECT_EQ(document.GetVersionCount(), 2);
}

TEST_F(FileStatisticsTest, LongCommentRoundTrips) {
  std::string comment;
  while (comment.size() < 20000) comment += "word" + std::to_string(comment.size()) + " ";
  comment.resize(20000);
  comment.back() = 'z';
  FileStatistics document = TwoVersions();
  document.GetVersion(0).SetComments(comment);
  const std::string path = folder_ / "long_FileStatistics.wxf";
  ASSERT_EQ(document.Save(path), 0);
  FileStatistics back;
  int lines = 0;
  ASSERT_EQ(back.Load(path, lines), 0);
  EXPECT_EQ(back.GetVersion(0).GetComments(), comment);
}

TEST_F(FileStatisticsTest, FrameReadCodes) {
  const std::string full = TwoVersionsText();
  const std::string arrayEnd = std::string("End FileEntry Array") + kCrCrLf;
  const std::size_t arrayEndAt = full.find(arrayEnd);
  const std::string upToArrayEnd = full.substr(0, arrayEndAt + arrayEnd.size());
  const std::size_t arrayStartAt = full.find("Start FileEntry Array");
  FileStatistics document;
  int lines = 0;

  EXPECT_EQ(document.Load(folder_ / "absent.wxf", lines), FileStatistics::kCannotOpen);
  EXPECT_EQ(document.Load(folder_ / "no/such/folder/x.wxf", lines), FileStatistics::kCannotOpen);
  EXPECT_EQ(LoadText("", document), FileStatistics::kFrameStartMissing);
  EXPECT_EQ(LoadText("Start FileStatistic\r\r\n", document), FileStatistics::kFrameStartMissing);
  EXPECT_EQ(LoadText(std::string("Start FileStatistics") + kCrCrLf, document), FileStatistics::kFrameEndOfFile);
  EXPECT_EQ(LoadText(full.substr(0, arrayStartAt), document), FileStatistics::kFrameEndOfFile);
  EXPECT_EQ(LoadText(full.substr(0, arrayStartAt) + "Start Array\r\r\n", document),
            FileStatistics::kArrayStartMissing);
  EXPECT_EQ(LoadText(full.substr(0, arrayEndAt) + "End FileStatistics\r\r\n", document),
            FileStatistics::kArrayNotClosed);
  EXPECT_EQ(LoadText(upToArrayEnd, document), FileStatistics::kFrameEndOfFile);
  EXPECT_EQ(LoadText(upToArrayEnd + "End Statistics\r\r\n", document), FileStatistics::kFrameEndMissing);
  EXPECT_EQ(document.GetVersionCount(), 2) << "what was read before the failure stays";
  const std::string linksEnd = std::string("End ActiveFileLink") + kCrCrLf;
  std::string unclosedLinks = full;
  unclosedLinks.erase(unclosedLinks.find(linksEnd), linksEnd.size());
  EXPECT_EQ(LoadText(unclosedLinks, document), ActiveFileLinkEntry::kStartMissing) << "link codes pass through";
  EXPECT_EQ(LoadText(full.substr(0, arrayStartAt) + "Start FileEntry Array\r\r\n" + arrayEnd +
                         "End FileStatistics\r\r\n",
                     document),
            FileEntry::kStartMissing)
      << "an empty version array does not load";
}

TEST_F(FileStatisticsTest, FailedSaveReturnsItsCodeAndKeepsTheOldFile) {
  const std::string path = folder_ / "doc_FileStatistics.wxf";
  ASSERT_EQ(TwoVersions().Save(path), 0);
  FileStatistics changed = TwoVersions();
  changed.AddVersion(Version(3, "third"));
  platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; });
  EXPECT_EQ(changed.Save(path), FileStatistics::kCannotOpen);
  platform::AtomicFile::SetWriteHookForTesting(nullptr);
  EXPECT_EQ(platform::ScratchFolder::Read(path), TwoVersionsText());
  EXPECT_EQ(changed.Save(folder_ / "missing/doc.wxf"), FileStatistics::kCannotOpen);
}

TEST_F(FileStatisticsTest, VersionLookups) {
  FileStatistics document = TwoVersions();
  EXPECT_EQ(&document.GetVersion(-1), static_cast<FileEntry*>(&document));
  EXPECT_EQ(&document.GetVersion(2), static_cast<FileEntry*>(&document));

  FileStatistics numbers;
  for (int n : {1, 3, 3}) numbers.AddVersion(Version(n, ""));
  EXPECT_EQ(numbers.GetLatestVersionIndex(), 1);
  FileStatistics none;
  for (int n : {0, -1}) none.AddVersion(Version(n, ""));
  EXPECT_EQ(none.GetLatestVersionIndex(), -1);
}

TEST_F(FileStatisticsTest, CheckOutWhileCheckedOut) {
  FileStatistics document = TwoVersions();
  ASSERT_EQ(document.CheckOutVersion("anna", "R1", 1), 0);
  EXPECT_EQ(document.GetCheckOutReference(), "R1");
  EXPECT_EQ(document.GetVersion(0).GetCheckOutStatus(), FileEntry::kCheckedOut);
  EXPECT_EQ(document.GetCheckedOutTo(), "anna") << "the header follows the check-out";

  EXPECT_EQ(document.CheckOutVersion("anna", "R1", 2), 0);
  EXPECT_EQ(document.GetVersion(1).GetCheckedOutTo(), "") << "same reference changes nothing";
  EXPECT_EQ(document.CheckOutVersion("bert", "R2", 2), FileStatistics::kAlreadyCheckedOut);
  EXPECT_EQ(document.GetVersion(0).GetCheckedOutTo(), "anna");
}

TEST_F(FileStatisticsTest, CheckOutRefusals) {
  FileStatistics document = TwoVersions();
  EXPECT_EQ(document.CheckOutVersion("anna", "R1", 9), FileStatistics::kVersionNotFound);
  EXPECT_EQ(document.CheckOutVersion("anna", "", 1), FileStatistics::kCheckOutWithoutHolder);
  EXPECT_EQ(document.CheckOutVersion("", "R1", 1), FileStatistics::kCheckOutWithoutHolder);
  EXPECT_EQ(document.GetCheckOutReference(), "");
  EXPECT_EQ(document.GetVersion(0).GetCheckOutStatus(), FileEntry::kNotCheckedOut);
}

TEST_F(FileStatisticsTest, CheckInByHolderAppendsTheNextVersion) {
  platform::SetClockForTesting([] { return platform::LocalTime{2025, 6, 7, 8, 9, 10}; });
  FileStatistics document = TwoVersions();
  ASSERT_EQ(document.CheckOutVersion("anna", "R1", 1), 0);
  ASSERT_EQ(document.CheckInVersion("anna", "", 555, "new text", "", -1), 0) << "an empty reference is accepted";
  ASSERT_EQ(document.GetVersionCount(), 3);
  const FileEntry& created = document.GetVersion(2);
  EXPECT_EQ(created.GetVersion(), 3);
  EXPECT_EQ(created.GetFileSize(), 555);
  EXPECT_EQ(created.GetComments(), "new text");
  EXPECT_EQ(created.GetCreatedTime().Format(), "20250607080910");
  EXPECT_EQ(created.GetCheckedOutTo(), "");
  EXPECT_EQ(created.GetCheckOutStatus(), FileEntry::kNotCheckedOut);
  EXPECT_EQ(created.GetLinkCount(), 1) << "copied from the checked-out version";
  EXPECT_EQ(document.GetVersion(), 3);
  const FileEntry& released = document.GetVersion(0);
  EXPECT_EQ(released.GetCheckedOutTo(), "");
  EXPECT_EQ(released.GetCheckInStatus(), FileEntry::kCheckedIn);
  EXPECT_EQ(released.GetCheckedOutTime().Format(), "20250607080910") << "its check-out time stays";
  EXPECT_EQ(document.CheckInVersion("anna", "", 1, "", "", -1), FileStatistics::kNothingCheckedOut);
}

TEST_F(FileStatisticsTest, CheckInByOthersIsRefused) {
  FileStatistics document = TwoVersions();
  EXPECT_EQ(document.CheckInVersion("anna", "R1", 1, "", "", -1), FileStatistics::kNothingCheckedOut);
  ASSERT_EQ(document.CheckOutVersion("anna", "R1", 2), 0);
  EXPECT_EQ(document.CheckInVersion("bert", "", 1, "", "", -1), FileStatistics::kCheckedOutByOther);
  EXPECT_EQ(document.CheckInVersion("Anna", "R1", 1, "", "", -1), FileStatistics::kCheckedOutByOther);
  EXPECT_EQ(document.CheckInVersion("anna", "R2", 1, "", "", -1), FileStatistics::kCheckedOutByOther);
  EXPECT_EQ(document.GetVersionCount(), 2);
  EXPECT_EQ(document.GetCheckOutReference(), "R1");
}

TEST_F(FileStatisticsTest, CancelCheckOutReleasesTheHolder) {
  FileStatistics document = TwoVersions();
  EXPECT_EQ(document.CancelCheckOut(), 0);
  ASSERT_EQ(document.CheckOutVersion("anna", "R1", 2), 0);
  EXPECT_EQ(document.CancelCheckOut(), 0);
  EXPECT_EQ(document.GetCheckOutReference(), "");
  EXPECT_EQ(document.GetCheckOutStatus(), FileEntry::kNotCheckedOut) << "the header follows the cancel";
  EXPECT_EQ(document.GetVersion(1).GetCheckedOutTo(), "");
  EXPECT_EQ(document.GetCheckedOutTime().Format(), "00000000000000");
  EXPECT_EQ(document.CheckOutVersion("bert", "R2", 1), 0) << "nobody holds it any more";
}

TEST_F(FileStatisticsTest, EncodeVersionsNewestFirst) {
  FileStatistics document;
  for (int n : {1, 2, 3}) document.AddVersion(Version(n, ""));
  std::string rows;
  for (int i : {2, 1, 0}) document.GetVersion(i).EncodeRow(rows);
  EXPECT_EQ(document.EncodeVersions(), "3,-1\n" + rows);
  document.GetVersion(1).SetOriginalEdition(true);
  EXPECT_EQ(document.EncodeVersions().substr(0, 5), "3,1\n\"");
}

TEST_F(FileStatisticsTest, VersionRowsAppendInPlaceHoweverManyVersions) {
  // Bytes moved whenever the list outgrows its buffer: rows appended in place move
  // it only as the buffer doubles (at most twice its final size); rows built by
  // copying move it on every row, which grows with the square of the versions.
  for (const int count : {1000, 5000}) {
    FileStatistics document;
    for (int n = 1; n <= count; ++n) {
      FileEntry version = Version(n % 9 + 1, "comment " + std::to_string(n));
      version.SetVersion(n);
      document.AddVersion(version);
    }
    std::string rows = std::to_string(count) + ",-1\n";
    std::size_t moved = 0;
    for (int i = count - 1; i >= 0; --i) {
      const char* before = rows.data();
      const std::size_t size = rows.size();
      document.GetVersion(i).EncodeRow(rows);
      if (rows.data() != before) moved += size;
    }
    EXPECT_LE(moved, 2 * rows.size()) << count;
    EXPECT_EQ(document.EncodeVersions(), rows) << count;
  }
}
