#include "suite/DDB_Address.h"

#include "rtl/Exceptions.h"
#include "suite/Rt_Param.h"

#include <gtest/gtest.h>

#include <string>

using namespace suite;

namespace {

std::string Normalised(std::string_view text) { return TDDBAddress(text).GetAddressText(); }

TEST(TDDBAddress, TheEmptyTextFormatsToTheNineDefaultsInOrder) {
  TDDBAddress address("");
  EXPECT_EQ(address.Id, -1);
  EXPECT_EQ(address.Attr, 0);
  EXPECT_EQ(address.GetAddressText(), "D>$RP>$RN>$OP>$ON>$ID>-1$ATTR>0$E>$STF>");
}

TEST(TDDBAddress, KeysAreFoundInAnyCaseAndOrder) {
  TDDBAddress address("stf>s$e>x$Attr>7$iD>12$on>n$Op>p$rN>rn$rp>rp$d>db");
  EXPECT_EQ(address.Database, "DB");
  EXPECT_EQ(address.RPart->Path(), "rp");
  EXPECT_EQ(address.RPart->Name(), "rn");
  EXPECT_EQ(address.OPart->Path(), "p");
  EXPECT_EQ(address.OPart->Name(), "n");
  EXPECT_EQ(address.Id, 12);
  EXPECT_EQ(address.Attr, 7);
  EXPECT_EQ(address.EText, "x");
  EXPECT_EQ(address.Stf, "s");
  EXPECT_EQ(address.GetAddressText(), "D>DB$RP>rp$RN>rn$OP>p$ON>n$ID>12$ATTR>7$E>x$STF>s");
}

TEST(TDDBAddress, ApostrophesInPathsAndNamesBecomeBackquotes) {
  EXPECT_EQ(Normalised("RP>it's$RN>'a'$OP>o'p$ON>x'$E>e's$STF>s's"),
            "D>$RP>it`s$RN>`a`$OP>o`p$ON>x`$ID>-1$ATTR>0$E>e's$STF>s's");
  TRealAddress part;
  part.SetPath("''");
  part.SetName("a'b");
  EXPECT_EQ(part.Path(), "``");
  EXPECT_EQ(part.Name(), "a`b");
}

TEST(TDDBAddress, TheDatabaseIsUpperCasedInAsciiOnly) {
  EXPECT_EQ(TDDBAddress("D>abc-xyz_\xE4\xD6 1").Database, "ABC-XYZ_\xE4\xD6 1");
}

TEST(TDDBAddress, BlanksAroundKeysAndValuesAreGone) {
  TDDBAddress address(" D >  lib \t$ ON > my name.sch $ ID >  42 ");
  EXPECT_EQ(address.Database, "LIB");
  EXPECT_EQ(address.OPart->Name(), "my name.sch");
  EXPECT_EQ(address.Id, 42);
}

TEST(TDDBAddress, AnEmptyOrMissingIdOrAttrKeepsTheDefault) {
  TDDBAddress address("ID>$ATTR> $ON>n");
  EXPECT_EQ(address.Id, -1);
  EXPECT_EQ(address.Attr, 0);
  EXPECT_EQ(TDDBAddress("ID>-2147483648$ATTR>+5").Id, -2147483648);
  EXPECT_EQ(TDDBAddress("ID>-2147483648$ATTR>+5").Attr, 5);
}

TEST(TDDBAddress, ANonNumericIdOrAttrRaisesTheConversionError) {
  try {
    TDDBAddress address("ON>n$ID>12a");
    FAIL() << "no error";
  } catch (const rtl::EConvertError& error) {
    EXPECT_STREQ(error.what(), "'12a' is not a valid integer value");
  }
  // The failed construction releases what it built (the sanitizer build's leak check sees it).
  EXPECT_THROW(TDDBAddress("ATTR>x"), rtl::EConvertError);
  EXPECT_THROW(TDDBAddress("ID>2147483648"), rtl::EConvertError);
  EXPECT_THROW(TDDBAddress("ID>1 2"), rtl::EConvertError);
  EXPECT_THROW(TDDBAddress("ID>0x10"), rtl::EConvertError);
}

TEST(TDDBAddress, ReapplyingTextKeepsIdAndAttrWhenMissingAndClearsTheRest) {
  TDDBAddress address("D>db$ID>5$ATTR>3$E>e$ON>n.sch");
  address.SetAddressText("OP>folder");
  EXPECT_EQ(address.GetAddressText(), "D>$RP>$RN>$OP>folder$ON>$ID>5$ATTR>3$E>$STF>");
}

TEST(TDDBAddress, AFailedReparseKeepsWhatWasReadBeforeTheError) {
  TDDBAddress address("ID>1$E>old");
  EXPECT_THROW(address.SetAddressText("ID>4$ATTR>bad$E>new"), rtl::EConvertError);
  EXPECT_EQ(address.Id, 4);
  EXPECT_EQ(address.EText, "old");  // "E" comes after "ATTR"
}

TEST(TDDBAddress, OnlyTheFirst255CharactersOfATextAreRead) {
  std::string text = "E>" + std::string(250, 'e') + "$ON>lost";  // "$ON" ends at 255
  TDDBAddress address(text);
  EXPECT_EQ(address.EText, std::string(250, 'e'));
  EXPECT_EQ(address.OPart->Name(), "");
  EXPECT_EQ(TDDBAddress(std::string(300, 'x') + "$ID>bad").Id, -1);
}

TEST(TDDBAddress, FormattingIsNotLimitedInLength) {
  TDDBAddress address("");
  address.EText = std::string(400, 'e');
  address.OPart->SetName(std::string(300, 'n'));
  std::string text = address.GetAddressText();
  EXPECT_EQ(text.size(), std::string("D>$RP>$RN>$OP>$ON>$ID>-1$ATTR>0$E>$STF>").size() + 700);
  EXPECT_EQ(text.substr(text.size() - 5), "$STF>");
}

}  // namespace
