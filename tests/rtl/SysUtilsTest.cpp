#include "rtl/SysUtils.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

TEST(StrToInt, AcceptsAnOptionalSignAndDecimalDigitsInThe32BitRange) {
  EXPECT_EQ(rtl::StrToInt("0"), 0);
  EXPECT_EQ(rtl::StrToInt("+17"), 17);
  EXPECT_EQ(rtl::StrToInt("-0042"), -42);
  EXPECT_EQ(rtl::StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(rtl::StrToInt("-2147483648"), -2147483647 - 1);
}

TEST(StrToInt, RaisesTheConversionErrorForAnythingElse) {
  for (const char* text : {"", "-", "+", " 1", "1 ", "1.0", "0x10", "$10", "--1", "2147483648",
                           "-2147483649", "99999999999999999999999"}) {
    try {
      rtl::StrToInt(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const rtl::EConvertError& error) {
      EXPECT_EQ(error.Message(), std::string("'") + text + "' is not a valid integer value");
    }
  }
}

TEST(UpperCase, ChangesOnlyTheLettersAToZ) {
  EXPECT_EQ(rtl::UpperCase("abz AZ 09_\xE4\xFF{`"), "ABZ AZ 09_\xE4\xFF{`");
}

TEST(SameText, FoldsOnlyTheLettersAToZ) {
  EXPECT_TRUE(rtl::SameText("Hdbc_1@", "hDBC_1@"));
  EXPECT_FALSE(rtl::SameText("\xE4", "\xC4"));
  EXPECT_FALSE(rtl::SameText("ab", "abc"));
  EXPECT_LT(rtl::CompareText("abc", "ABD"), 0);
  EXPECT_EQ(rtl::CompareText("Name", "nAME"), 0);
  EXPECT_GT(rtl::CompareText("\xE4", "z"), 0);
}

TEST(Random, StaysInRangeAndRepeatsFromTheSameSeed) {
  rtl::RandSeed = 12345;
  std::vector<std::uint32_t> first;
  std::set<std::uint32_t> seen;
  for (int i = 0; i < 1000; ++i) {
    first.push_back(rtl::Random(10));
    ASSERT_LT(first.back(), 10u);
    seen.insert(first.back());
  }
  EXPECT_EQ(seen.size(), 10u);
  rtl::RandSeed = 12345;
  for (std::uint32_t expected : first) ASSERT_EQ(rtl::Random(10), expected);
  EXPECT_EQ(rtl::Random(0), 0u);
}

}  // namespace
