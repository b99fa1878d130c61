#include "suite/Rt_Param.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using rtl::ShortString;
using namespace suite;

namespace {

class ParameterStrings : public ::testing::Test {
 protected:
  void SetUp() override {
    Rt_Param_Shutdown();
    Rt_Param_Startup();
  }
  void TearDown() override { Rt_Param_Shutdown(); }

  // The looked-up value, or "<none>" when the name is not there (with the value checked empty).
  static std::string Lookup(const char* params, const ShortString& name) {
    ShortString value("left over");
    if (GetParameterValue(params, name, value)) return value.str();
    EXPECT_TRUE(value.empty());
    return "<none>";
  }

  // Marks the cached first parameter, to tell a reused list from a parsed one.
  static void MarkFirstCachedValue() {
    ASSERT_GT(ParameterList->Count(), 0u);
    TParameter* first = ParameterList->Items(0);
    first->Value = std::make_unique<char[]>(7);
    std::memcpy(first->Value.get(), "cached", 7);
  }
};

TEST_F(ParameterStrings, NamesMatchWithoutRegardToCaseAndBlanks) {
  const char* request = "Action = start | Server = PCB";
  EXPECT_EQ(Lookup(request, "Action"), "start");
  EXPECT_EQ(Lookup(request, "server"), "PCB");
  EXPECT_EQ(Lookup(request, "  SERVER "), "PCB");
  EXPECT_EQ(Lookup(request, "Mode"), "<none>");
  EXPECT_EQ(Lookup(request, ""), "<none>");
}

TEST_F(ParameterStrings, TheFirstPairOfANameWins) {
  EXPECT_EQ(Lookup("A=1|a=2", "a"), "1");
  ASSERT_EQ(ParameterList->Count(), 2u);
  EXPECT_EQ(ParameterList->Items(1)->Name, "a");
  EXPECT_STREQ(ParameterList->Items(1)->Value.get(), "2");
}

TEST_F(ParameterStrings, FurtherEqualsSignsVanishFromTheValueAndItsBlanksStay) {
  EXPECT_EQ(Lookup("A = b = c", "A"), "b  c");
  ASSERT_EQ(ParameterList->Count(), 1u);
  EXPECT_STREQ(ParameterList->Items(0)->Value.get(), " b  c");
  EXPECT_EQ(ParameterList->Items(0)->Name, "A");
}

TEST_F(ParameterStrings, PairsWithoutEqualsSignOrNameAreSkipped) {
  for (const char* params : {"A", "= x", "|", "A|B", " \t = x | =|=="}) {
    EXPECT_EQ(Lookup(params, "A"), "<none>") << params;
    EXPECT_EQ(ParameterList->Count(), 0u) << params;
  }
  EXPECT_EQ(Lookup("A =", "A"), "");
  EXPECT_EQ(Lookup("skip|=1|B=2||C", "b"), "2");
  EXPECT_EQ(ParameterList->Count(), 1u);
}

TEST_F(ParameterStrings, LongValuesAreCutTo255AndThenTrimmed) {
  // Cut first: the blank at position 256 would survive a trim done before the cut.
  std::string value = "  " + std::string(253, 'v') + " " + std::string(44, 'w');
  std::string params = "Long=" + value + "|Next=n";
  EXPECT_EQ(Lookup(params.c_str(), "long"), std::string(253, 'v'));
  EXPECT_EQ(std::strlen(ParameterList->Items(0)->Value.get()), 300u);
  EXPECT_EQ(Lookup(params.c_str(), "next"), "n");
}

TEST_F(ParameterStrings, LongNamesKeepTheirFirst255Characters) {
  std::string name = std::string(255, 'N') + std::string(45, 'X');
  std::string params = name + "=v|B=2";
  EXPECT_EQ(Lookup(params.c_str(), ShortString(std::string(255, 'n'))), "v");
  ASSERT_EQ(ParameterList->Count(), 2u);
  EXPECT_EQ(ParameterList->Items(0)->Name, std::string(255, 'N'));
  EXPECT_STREQ(ParameterList->Items(0)->Value.get(), "v");
}

TEST_F(ParameterStrings, NullAndEmptyStringsLeaveTheCachedListAlone) {
  EXPECT_EQ(Lookup("A=1|B=2", "A"), "1");
  ShortString value("x");
  EXPECT_FALSE(GetParameterValue(nullptr, "A", value));
  EXPECT_TRUE(value.empty());
  EXPECT_FALSE(GetParameterValue("", "A", value));
  EXPECT_EQ(ParameterList->Count(), 2u);
  EXPECT_STREQ(LastParameterString.get(), "A=1|B=2");
}

TEST_F(ParameterStrings, TheSameStringIsParsedOnce) {
  const char* params = "Key=one|Other=two|Third=three";
  EXPECT_EQ(Lookup(params, "Key"), "one");
  MarkFirstCachedValue();
  EXPECT_EQ(Lookup(params, "Other"), "two");
  EXPECT_EQ(Lookup(params, "Third"), "three");
  EXPECT_EQ(Lookup(std::string(params).c_str(), "Key"), "cached");  // equal bytes, another buffer
}

TEST_F(ParameterStrings, OneShortStringServesAsNameAndValueAndTheCacheAsTheString) {
  ShortString both("Server");
  EXPECT_TRUE(GetParameterValue("Action = start | Server = PCB ", both, both));
  EXPECT_EQ(both, "PCB");
  // A string that lies inside the cached copy itself is copied safely.
  ShortString value;
  EXPECT_TRUE(GetParameterValue(LastParameterString.get() + 9, "Server", value));
  EXPECT_EQ(value, "PCB");
  EXPECT_STREQ(LastParameterString.get(), "start | Server = PCB ");
}

TEST_F(ParameterStrings, AStringDifferingOnlyInCaseIsParsedAgain) {
  EXPECT_EQ(Lookup("Key=one|Other=two", "Key"), "one");
  MarkFirstCachedValue();
  EXPECT_EQ(Lookup("KEY=one|Other=two", "Key"), "one");
  EXPECT_STREQ(LastParameterString.get(), "KEY=one|Other=two");
  EXPECT_EQ(ParameterList->Items(0)->Name, "KEY");
}

TEST_F(ParameterStrings, OnlyTheFirst63999CharactersOfAStringAreRead) {
  std::string head = "A=1|Pad=";
  std::string params =
      head + std::string(MaxParameterStringLength - head.size() - 3, 'p') + "|Z=2|B=3";
  EXPECT_EQ(Lookup(params.c_str(), "A"), "1");
  EXPECT_EQ(Lookup(params.c_str(), "B"), "<none>");
  EXPECT_EQ(Lookup(params.c_str(), "Z"), "");  // "|Z=" are the last characters read
  EXPECT_EQ(std::strlen(LastParameterString.get()), MaxParameterStringLength);

  // Differences after the limit are not seen: the cached list is reused.
  MarkFirstCachedValue();
  std::string other = params.substr(0, MaxParameterStringLength) + "|A=9|other tail";
  EXPECT_EQ(Lookup(other.c_str(), "A"), "cached");
}

TEST_F(ParameterStrings, AValueRunningPastTheLimitEndsThere) {
  std::string params = "Big=" + std::string(70000, 'b');
  EXPECT_EQ(Lookup(params.c_str(), "big"), std::string(255, 'b'));
  EXPECT_EQ(std::strlen(ParameterList->Items(0)->Value.get()), MaxParameterStringLength - 4);
}

TEST_F(ParameterStrings, LookupsWorkBeforeStartupAndAfterShutdown) {
  Rt_Param_Shutdown();
  EXPECT_EQ(ParameterList, nullptr);
  EXPECT_EQ(Lookup("A=1", "A"), "1");
  ASSERT_NE(ParameterList, nullptr);
  ASSERT_NE(LastParameterString, nullptr);
  Rt_Param_Shutdown();
  ShortString value;
  EXPECT_FALSE(GetParameterValue("", "A", value));
  ASSERT_NE(LastParameterString, nullptr);
  EXPECT_STREQ(LastParameterString.get(), "");
}

TEST(SameParameterName, UpperCasesOnlyAsciiLettersAndTrims) {
  EXPECT_TRUE(SameParameterName("server", " SERVER\t"));
  EXPECT_TRUE(SameParameterName("a_b-1", "A_B-1"));
  EXPECT_FALSE(SameParameterName("a b", "ab"));
  EXPECT_FALSE(SameParameterName("\xE4", "\xC4"));  // letters outside a to z keep their case
  EXPECT_FALSE(SameParameterName("ab", "abc"));
  EXPECT_TRUE(SameParameterName("", "  "));
}

TEST(TParameterList, ParseReplacesTheListAndKeepsOrderAndRepeats) {
  TParameterList list;
  list.Parse("x=1|y=2|X=3");
  ASSERT_EQ(list.Count(), 3u);
  EXPECT_EQ(list.Items(2)->Name, "X");
  EXPECT_STREQ(list.FindParameter("x")->Value.get(), "1");
  list.Parse("z=");
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_STREQ(list.Items(0)->Value.get(), "");
  EXPECT_EQ(list.FindParameter("x"), nullptr);
  list.Parse(nullptr);
  EXPECT_EQ(list.Count(), 0u);
}

TEST(TParameterList, AddParameterTrimsTheNameAndCopiesTheValue) {
  TParameterList list;
  std::string value = "v";
  TParameter* added = list.AddParameter("  n \t", value.c_str());
  value = "changed";
  EXPECT_EQ(added->Name, "n");
  EXPECT_STREQ(added->Value.get(), "v");
  EXPECT_EQ(list.AddParameter("m", nullptr)->Value, nullptr);
  EXPECT_EQ(list.FindParameter(" M "), list.Items(1));
  list.ClearParameters();
  EXPECT_EQ(list.Count(), 0u);
}

}  // namespace
