// ":name" markers turned into "?".

#include "odbc/OCLTranslate.h"
#include "rtl/Exceptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Names = std::vector<std::string>;

namespace {

TEST(TranslateSQL, NamesBecomeMarkersAndDoubleColonsOneColon) {
  Names names;
  EXPECT_EQ(ocl::TranslateSQL("SELECT * FROM T WHERE A = :a1 AND B = :b_2", names),
            "SELECT * FROM T WHERE A = ? AND B = ?");
  EXPECT_EQ(names, (Names{"a1", "b_2"}));
  EXPECT_EQ(ocl::TranslateSQL("SELECT '10::30'", names), "SELECT '10:30'");
  EXPECT_TRUE(names.empty());
  // A name ends at the first character outside letters, digits, "_" and "@"; a repeated name
  // is listed again.
  EXPECT_EQ(ocl::TranslateSQL("VALUES (:id,:@x:id, :id)", names), "VALUES (?,??, ?)");
  EXPECT_EQ(names, (Names{"id", "@x", "id", "id"}));
}

TEST(TranslateSQL, AColonThatStartsNoNameIsAnInvalidToken) {
  for (const char* sql : {"SELECT :", "SELECT : a", "WHERE a = :a AND b = :-"}) {
    Names names{"stale"};
    try {
      ocl::TranslateSQL(sql, names);
      ADD_FAILURE() << sql << " was accepted";
    } catch (const rtl::Exception& e) {
      EXPECT_EQ(e.Message(), "Invalid token in SQL statement.");
    }
    // The names read before the bad marker.
    EXPECT_EQ(names, std::string(sql).find(":a") != std::string::npos ? Names{"a"} : Names{});
  }
}

}  // namespace
