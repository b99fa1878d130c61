#include "suite/Rt_Util.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

using rtl::ShortString;
using namespace suite;

namespace {

std::string Sv(const ShortString& s) { return s.str(); }

TEST(StrTrim, RemovesBlanksAndControlCharactersAtBothEndsOnly) {
  EXPECT_EQ(Sv(StrTrim(ShortString(std::string_view("\0\x01 \t a \x1f b\r\n \x20", 14)))),
            "a \x1f b");
  EXPECT_EQ(Sv(StrTrim(ShortString(std::string_view(" \t\r\n\x1f\0 ", 7)))), "");
  EXPECT_EQ(Sv(StrTrim(ShortString(""))), "");
}

TEST(StrTrim, KeepsCharactersAbove32IncludingCode160) {
  EXPECT_EQ(Sv(StrTrim(ShortString("\xA0"
                                   "name"
                                   "\xA0"))),
            "\xA0"
            "name"
            "\xA0");
  EXPECT_EQ(Sv(StrTrim(ShortString(" \xA0 \x7F\xFF "))), "\xA0 \x7F\xFF");
}

TEST(IntToShortStr, DecimalWithSignAndNoPadding) {
  EXPECT_EQ(Sv(IntToShortStr(0)), "0");
  EXPECT_EQ(Sv(IntToShortStr(7)), "7");
  EXPECT_EQ(Sv(IntToShortStr(-45)), "-45");
  EXPECT_EQ(Sv(IntToShortStr(std::numeric_limits<std::int32_t>::max())), "2147483647");
  EXPECT_EQ(Sv(IntToShortStr(std::numeric_limits<std::int32_t>::min())), "-2147483648");
}

struct Extension {
  bool found;
  int dotPos;
};

Extension Find(std::string_view s) {
  Extension e{false, -1};
  e.found = FindExtension(ShortString(s), e.dotPos);
  return e;
}

TEST(FindExtension, GivesTheLastDotAndWhetherItStartsAnExtension) {
  EXPECT_TRUE(Find("board.sch").found);
  EXPECT_EQ(Find("board.sch").dotPos, 6);
  EXPECT_EQ(Find("a.b.c").dotPos, 4);
  EXPECT_TRUE(Find("name.").found);  // an empty extension is still one
  EXPECT_EQ(Find("name.").dotPos, 5);
  EXPECT_FALSE(Find("noext").found);
  EXPECT_EQ(Find("noext").dotPos, 0);
  EXPECT_EQ(Find("").dotPos, 0);
}

TEST(FindExtension, ADotInAFolderNameIsNoExtensionButKeepsItsPosition) {
  Extension e = Find("C:\\Designs.v2\\board");
  EXPECT_FALSE(e.found);
  EXPECT_EQ(e.dotPos, 11);
  e = Find("designs.v2/board");
  EXPECT_FALSE(e.found);
  EXPECT_EQ(e.dotPos, 8);
}

TEST(FindExtension, LooksForAFolderSeparatorOnlyInTheFirst64CharactersAfterTheDot) {
  std::string far = "x." + std::string(64, 'e') + "\\file";
  EXPECT_TRUE(Find(far).found);
  EXPECT_EQ(Find(far).dotPos, 2);
  std::string near = "x." + std::string(63, 'e') + "\\file";
  EXPECT_FALSE(Find(near).found);
}

TEST(SecondsOfDay, CountsFromMidnight) {
  EXPECT_EQ(SecondsOfDay(0, 0, 0), 0);
  EXPECT_EQ(SecondsOfDay(23, 59, 59), 86399);
  EXPECT_EQ(SecondsOfDay(1, 2, 3), 3723);
  EXPECT_EQ(SecondsOfDay(65535, 65535, 65535), 65535 * 3661);
}

// Runs with a fixed zone 14 hours east of UTC, so that local and UTC dates differ for ten hours
// a day and a reading of UTC instead of local time shows.
class LocalClock : public ::testing::Test {
 protected:
  void SetUp() override {
    zone_.emplace("TZ", "ZZZ-14");
    tzset();
  }
  void TearDown() override {
    zone_.reset();
    tzset();
  }

  struct Expected {
    std::chrono::year_month_day date;
    std::chrono::hh_mm_ss<std::chrono::milliseconds> time;
  };
  static Expected Now() {
    using namespace std::chrono;
    auto local = time_point_cast<milliseconds>(system_clock::now()) + hours(14);
    auto day = floor<days>(local);
    return {year_month_day(day), hh_mm_ss<milliseconds>(local - day)};
  }

 private:
  std::optional<testing_support::ScopedEnv> zone_;
};

TEST_F(LocalClock, DatePartsAreTheLocalDate) {
  Expected before = Now();
  std::uint16_t year = 0, month = 0, day = 0;
  GetDateParts(year, month, day);
  Expected after = Now();
  auto matches = [&](const Expected& e) {
    return year == static_cast<int>(e.date.year()) &&
           month == static_cast<unsigned>(e.date.month()) &&
           day == static_cast<unsigned>(e.date.day());
  };
  EXPECT_TRUE(matches(before) || matches(after)) << year << "-" << month << "-" << day;
}

TEST_F(LocalClock, TimePartsAreTheLocalTime) {
  Expected before = Now();
  std::uint16_t hour = 0, minute = 0, second = 0, millisecond = 0;
  GetTimeParts(hour, minute, second, millisecond);
  Expected after = Now();
  auto at = [](const Expected& e) {
    return e.time.hours().count() * 3600000LL + e.time.minutes().count() * 60000LL +
           e.time.seconds().count() * 1000LL + e.time.subseconds().count();
  };
  long long read = hour * 3600000LL + minute * 60000LL + second * 1000LL + millisecond;
  EXPECT_LT(minute, 60);
  EXPECT_LT(second, 60);
  EXPECT_LT(millisecond, 1000);
  if (at(after) >= at(before)) {  // not across midnight
    EXPECT_GE(read, at(before));
    EXPECT_LE(read, at(after));
  }
}

TEST(Rt_UtilLifecycle, StartupMakesTheWildCardAndScratchBufferAndShutdownReleasesThem) {
  Rt_Util_Startup();
  ASSERT_NE(WildCard, nullptr);
  ASSERT_NE(ScratchBuffer, nullptr);
  EXPECT_FALSE(WildCard->Active);
  EXPECT_EQ(Sv(WildCard->Pattern), "*");
  EXPECT_TRUE(WildCard->Subject.empty());
  EXPECT_EQ(WildCard->Position, 0);
  for (std::uint8_t b : WildCard->WorkArea) ASSERT_EQ(b, 0);
  ScratchBuffer[ScratchBufferSize - 1] =
      'x';  // the whole block is ours (the sanitizer build checks)
  Rt_Util_Shutdown();
  EXPECT_EQ(WildCard, nullptr);
  EXPECT_EQ(ScratchBuffer, nullptr);
}

}  // namespace
