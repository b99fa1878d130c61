#include "suite/DDB_Names.h"

#include "rtl/Exceptions.h"
#include "rtl/SysUtils.h"
#include "suite/Rt_Util.h"

#include <gtest/gtest.h>

#include <string>

using rtl::ShortString;
using namespace suite;

namespace {

std::string Change(std::string_view name, std::string_view ext) {
  return ChangeExtension(ShortString(name), ShortString(ext)).str();
}

TEST(ChangeExtension, ReplacesOnlyWhatFollowsTheLastDot) {
  EXPECT_EQ(Change("board.sch", "sym"), "board.sym");
  EXPECT_EQ(Change("a.b.c", "x"), "a.b.x");
  EXPECT_EQ(Change("name.", "sch"), "name.sch");
  EXPECT_EQ(Change("C:\\lib\\board.sch", "pld"), "C:\\lib\\board.pld");
}

TEST(ChangeExtension, AnEmptyExtRemovesTheExtensionAndItsDot) {
  EXPECT_EQ(Change("board.sch", ""), "board");
  EXPECT_EQ(Change("a.b.c", ""), "a.b");
}

TEST(ChangeExtension, ANameWithoutExtensionGetsADotAndExtEvenWhenExtIsEmpty) {
  EXPECT_EQ(Change("board", "sch"), "board.sch");
  EXPECT_EQ(Change("board", ""), "board.");
  EXPECT_EQ(Change("C:\\v1.2\\board", "sch"), "C:\\v1.2\\board.sch");
  EXPECT_EQ(Change("v1.2/board", "sch"), "v1.2/board.sch");
  EXPECT_EQ(Change("", "sch"), ".sch");
}

TEST(ChangeExtension, AnExtStartingWithADotGivesTwoDots) {
  EXPECT_EQ(Change("board", ".sch"), "board..sch");
  EXPECT_EQ(Change("board.old", ".sch"), "board..sch");
}

TEST(ChangeExtension, ResultsAreCutAt255Characters) {
  std::string name(250, 'n');
  EXPECT_EQ(Change(name + ".x", "abcdefgh"), name + ".abcd");
  EXPECT_EQ(Change(std::string(255, 'n'), "sch"), std::string(255, 'n'));
}

TEST(IsDDBAddress, AnyGreaterThanOrEqualsSignMakesAnAddress) {
  EXPECT_FALSE(IsDDBAddress("C:\\lib\\board.sch"));
  EXPECT_FALSE(IsDDBAddress(""));
  EXPECT_TRUE(IsDDBAddress("a>b"));
  EXPECT_TRUE(IsDDBAddress("x=1.sch"));
  EXPECT_TRUE(IsDDBAddress(std::string(1000, 'a') + ">"));  // no length limit
}

TEST(ChangeExtension, ChangesTheObjectNameOfAnAddressAndNormalisesIt) {
  EXPECT_EQ(Change(" d > lib $ON> part.sch $ID>3$RP>it's", "sym"),
            "D>LIB$RP>it`s$RN>$OP>$ON>part.sym$ID>3$ATTR>0$E>$STF>");
  EXPECT_EQ(Change("D>lib$ON>part.sch", ""), "D>LIB$RP>$RN>$OP>$ON>part$ID>-1$ATTR>0$E>$STF>");
}

TEST(ChangeExtension, AnAddressWithoutObjectNameGetsALoneDotAndExt) {
  EXPECT_EQ(Change("D>lib", "sym"), "D>LIB$RP>$RN>$OP>$ON>.sym$ID>-1$ATTR>0$E>$STF>");
  EXPECT_EQ(Change("D>lib$ON>", ""), "D>LIB$RP>$RN>$OP>$ON>.$ID>-1$ATTR>0$E>$STF>");
}

TEST(ChangeExtension, AnEqualsSignMakesAPlainNameAnAddress) {
  // "a=b.sch" reads as the pair a = "b.sch": there is no "ON" pair.
  EXPECT_EQ(Change("a=b.sch", "sym"), "D>$RP>$RN>$OP>$ON>.sym$ID>-1$ATTR>0$E>$STF>");
}

TEST(ChangeExtension, ALongAddressIsCutAt255Characters) {
  std::string e(240, 'e');
  std::string full = "D>$RP>$RN>$OP>$ON>a.sym$ID>-1$ATTR>0$E>" + e + "$STF>";
  std::string changed = Change("ON>a.sch$E>" + e, "sym");
  EXPECT_EQ(changed.size(), 255u);
  EXPECT_EQ(changed, full.substr(0, 255));
  EXPECT_EQ(changed.find("$STF>"), std::string::npos);
}

TEST(ChangeExtension, ANonNumericIdInAnAddressRaisesTheConversionError) {
  EXPECT_THROW(Change("ON>a.sch$ID>one", "sym"), rtl::EConvertError);
  EXPECT_THROW(ChangeDDBAddressExtension("ATTR>1.5", "sym"), rtl::EConvertError);
}

TEST(StartStamp, JoinsDateAndSecondsWithoutSeparatorsOrPadding) {
  EXPECT_EQ(FormatStartStamp(2024, 1, 5, 7).str(), "2024157");
  EXPECT_EQ(FormatStartStamp(2026, 12, 31, 86399).str(), "2026123186399");
  EXPECT_EQ(FormatStartStamp(2025, 10, 1, 0).str(), "20251010");
}

TEST(StartStamp, StartupStampsTheLocalDateAndTimeAndSeedsTheGenerator) {
  auto stampNow = [] {
    std::uint16_t year, month, day, hour, minute, second, millisecond;
    GetDateParts(year, month, day);
    GetTimeParts(hour, minute, second, millisecond);
    return FormatStartStamp(year, month, day, SecondsOfDay(hour, minute, second)).str();
  };
  rtl::RandSeed = 0;
  std::string before = stampNow();
  DDB_Names_Startup();
  std::string after = stampNow();
  EXPECT_TRUE(StartStamp.str() == before || StartStamp.str() == after) << StartStamp.str();
  EXPECT_NE(rtl::RandSeed, 0u);
}

}  // namespace
