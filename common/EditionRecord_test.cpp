#include "common/EditionRecord.h"

#include <sstream>

#include <gtest/gtest.h>

namespace {

const std::string kEditionLine =
    "1030,1,\"<E> First\",\"WXFiName_Hi0Lo7\",\"20040301123005\",\"\",\"jane\",\"Main \"\"Docs\"\"\","
    "\"WXFiName_Hi0Lo3\"\n";

EditionRecord SampleEdition() {
  EditionRecord edition;
  edition.SetName("<E> First");
  edition.SetInternalName("WXFiName_Hi0Lo7");
  DateTime created;
  created.Parse("20040301123005");
  edition.SetCreationTime(created);
  edition.SetCreator("jane");
  edition.SetProjectName("Main \"Docs\"");
  edition.SetProjectInternalName("WXFiName_Hi0Lo3");
  return edition;
}

TEST(EditionRecordTest, EncodesItsLineByteForByte) {
  EXPECT_EQ(SampleEdition().Encode(""), kEditionLine);
  EXPECT_EQ(SampleEdition().Encode("1,2\n"), "1,2\n" + kEditionLine);
  EXPECT_EQ(SampleEdition().Encode("7"), "7," + kEditionLine);
}

TEST(EditionRecordTest, DecodeGivesTheFieldsAndTheRestBehindThem) {
  EditionRecord decoded;
  EXPECT_EQ(decoded.Decode(kEditionLine + "1020,1"), "1020,1");
  EXPECT_EQ(decoded.Encode(""), kEditionLine);
  EXPECT_EQ(decoded.GetProjectName(), "Main \"Docs\"");
  EXPECT_EQ(decoded.GetProjectInternalName(), "WXFiName_Hi0Lo3");
}

TEST(EditionRecordTest, DecodeOfAnotherTypeClearsAndReturnsTheWholeText) {
  const std::string supplementLine = "1020,1,\"<S> A\",\"WXFiName_Hi0Lo9\",\"20050101000000\"\n";
  EditionRecord edition = SampleEdition();
  EXPECT_EQ(edition.Decode(supplementLine), supplementLine);
  EXPECT_EQ(edition.Encode(""), "1030,1,\"\",\"\",\"20040301123005\",\"\",\"\",\"\",\"\"\n");

  edition = SampleEdition();
  edition.Decode(supplementLine.c_str());
  EXPECT_EQ(edition.GetInternalName(), "");
  edition = SampleEdition();
  edition.Decode(static_cast<const char*>(nullptr));
  EXPECT_EQ(edition.GetName(), "");
}

TEST(EditionRecordTest, ShortLineReadsMissingFieldsAsEmptyAndKeepsTheTime) {
  EditionRecord edition = SampleEdition();
  EXPECT_EQ(edition.Decode(std::string("1030,1,\"Only name\"")), "");
  EXPECT_EQ(edition.Encode(""), "1030,1,\"Only name\",\"\",\"20040301123005\",\"\",\"\",\"\",\"\"\n");
}

TEST(EditionRecordTest, LongCommentRoundTripsThroughAStreamWithoutASecondRecord) {
  EditionRecord written = SampleEdition();
  std::string comment(10000, 'c');
  comment[5000] = '"';
  comment[6000] = ',';
  written.SetComments(comment);
  std::stringstream stream;
  ASSERT_TRUE(written.Write(stream));
  ASSERT_TRUE(SampleEdition().Write(stream));

  EditionRecord read;
  ASSERT_TRUE(read.Read(stream));
  EXPECT_EQ(read.GetComments(), comment);
  EXPECT_EQ(read.Encode(""), written.Encode(""));
  ASSERT_TRUE(read.Read(stream));
  EXPECT_EQ(read.Encode(""), kEditionLine);
  EXPECT_FALSE(read.Read(stream));
  EXPECT_EQ(read.GetName(), "");
}

TEST(EditionRecordTest, WriteReportsAFailedStream) {
  std::ostringstream broken;
  broken.setstate(std::ios::badbit);
  EXPECT_FALSE(SampleEdition().Write(broken));
}

}  // namespace
