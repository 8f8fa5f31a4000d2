#include "common/SupplementRecord.h"

#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "common/EditionRecord.h"

namespace {

const std::string kSupplementLine =
    "1020,1,\"<S> Fix\",\"WXFiName_Hi0Lo9\",\"20040302080000\",\"two\1\2lines\",\"joe\","
    "\"WXFiName_Hi0Lo3\",\"Main\",\"WXFiName_Hi0Lo7\",0\n";

SupplementRecord SampleSupplement() {
  SupplementRecord supplement;
  supplement.SetName("<S> Fix");
  supplement.SetInternalName("WXFiName_Hi0Lo9");
  DateTime created;
  created.Parse("20040302080000");
  supplement.SetCreationTime(created);
  supplement.SetComments("two\1\2lines");
  supplement.SetCreator("joe");
  supplement.SetProjectInternalName("WXFiName_Hi0Lo3");
  supplement.SetProjectName("Main");
  supplement.SetEditionInternalName("WXFiName_Hi0Lo7");
  supplement.SetIncluded(false);
  return supplement;
}

TEST(SupplementRecordTest, EncodesItsLineByteForByteAndReadsTheFlagBack) {
  EXPECT_TRUE(SupplementRecord().IsIncluded());
  EXPECT_EQ(SampleSupplement().Encode(""), kSupplementLine);
  SupplementRecord decoded;
  EXPECT_EQ(decoded.Decode(kSupplementLine), "");
  EXPECT_FALSE(decoded.IsIncluded());
  EXPECT_EQ(decoded.GetEditionInternalName(), "WXFiName_Hi0Lo7");
  EXPECT_EQ(decoded.Encode(""), kSupplementLine);
}

TEST(SupplementRecordTest, ClearAndDecodeOfAnEditionLineLeaveAnIncludedEmptySupplement) {
  const std::string cleared =
      "1020,1,\"\",\"\",\"20040302080000\",\"\",\"\",\"\",\"\",\"\",1\n";  // the time stays
  SupplementRecord supplement = SampleSupplement();
  supplement.Clear();
  EXPECT_EQ(supplement.Encode(""), cleared);

  EditionRecord edition;
  edition.SetName("<E> First");
  const std::string editionLine = edition.Encode("");
  supplement = SampleSupplement();
  EXPECT_EQ(supplement.Decode(editionLine), editionLine);
  EXPECT_EQ(supplement.Encode(""), cleared);
  supplement = SampleSupplement();
  supplement.Decode(editionLine.c_str());
  EXPECT_EQ(supplement.Encode(""), cleared);
}

TEST(SupplementRecordTest, SupplementAndEditionShareOneTextAndDecodeInTurn) {
  EditionRecord edition;
  edition.SetName("<E> First");
  const std::string text = edition.Encode(SampleSupplement().Encode(""));
  EXPECT_EQ(text, kSupplementLine + edition.Encode(""));

  SupplementRecord supplement;
  const std::string rest = supplement.Decode(text);
  EXPECT_EQ(supplement.Encode(""), kSupplementLine);
  EditionRecord decodedEdition;
  EXPECT_EQ(decodedEdition.Decode(rest), "");
  EXPECT_EQ(decodedEdition.GetName(), "<E> First");
}

TEST(SupplementRecordTest, ReadOverAMixedStreamTakesEachLineAsItsOwnType) {
  std::stringstream stream;
  std::vector<std::string> written;
  for (int i = 0; i < 6; ++i) {
    if (i % 3 == 1) {
      SupplementRecord supplement = SampleSupplement();
      supplement.SetName("<S> " + std::to_string(i));
      ASSERT_TRUE(supplement.Write(stream));
      written.push_back(supplement.GetName());
    } else {
      EditionRecord edition;
      edition.SetName("<E> " + std::to_string(i));
      ASSERT_TRUE(edition.Write(stream));
      written.push_back(edition.GetName());
    }
  }

  std::vector<std::string> read;
  SupplementRecord supplement;
  EditionRecord edition;
  for (;;) {
    if (supplement.Read(stream)) {
      read.push_back(supplement.GetName());
    } else if (edition.Read(stream)) {
      read.push_back(edition.GetName());
    } else {
      break;
    }
  }
  EXPECT_EQ(read, written);
}

TEST(SupplementRecordTest, ReadLeavesALineOfAnotherTypeForTheNextReader) {
  std::istringstream stream("1030,1,\"<E> First\"\r\n" + kSupplementLine);
  SupplementRecord supplement = SampleSupplement();
  EXPECT_FALSE(supplement.Read(stream));
  EXPECT_EQ(supplement.GetName(), "");
  EXPECT_FALSE(supplement.Read(stream));  // still the same line
  EditionRecord edition;
  ASSERT_TRUE(edition.Read(stream));
  EXPECT_EQ(edition.GetName(), "<E> First");
  ASSERT_TRUE(supplement.Read(stream));
  EXPECT_EQ(supplement.Encode(""), kSupplementLine);
}

}  // namespace
