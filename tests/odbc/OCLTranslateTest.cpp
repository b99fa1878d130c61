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

TEST(TranslateSQL, ColonsInLiteralsIdentifiersAndCommentsAreText) {
  struct Case {
    const char* sql;
    const char* translated;
    Names names;
  };
  for (const Case& c : {
           Case{"VALUES (1, '12:30', :a)", "VALUES (1, '12:30', ?)", {"a"}},
           Case{"VALUES ('{\"a\":1}', 'ratio 1:2:3', 'http://x/')",
                "VALUES ('{\"a\":1}', 'ratio 1:2:3', 'http://x/')",
                {}},
           Case{"SELECT 'it''s :no' || :yes", "SELECT 'it''s :no' || ?", {"yes"}},
           Case{"SELECT \"a:b\" FROM t WHERE c = :c", "SELECT \"a:b\" FROM t WHERE c = ?", {"c"}},
           Case{"SELECT 1 -- note: :x\nFROM t WHERE a = :a",
                "SELECT 1 -- note: :x\nFROM t WHERE a = ?",
                {"a"}},
           Case{"/* a:b */ SELECT :c /*/ :d */ :e", "/* a:b */ SELECT ? /*/ :d */ ?", {"c", "e"}},
           // "::" is one colon wherever it stands.
           Case{"SELECT '10::30' -- a::b\n, x::y", "SELECT '10:30' -- a:b\n, x:y", {}},
           // A literal left open runs to the end.
           Case{"SELECT 'open :a", "SELECT 'open :a", {}},
       }) {
    Names names{"stale"};
    EXPECT_EQ(ocl::TranslateSQL(c.sql, names), c.translated) << c.sql;
    EXPECT_EQ(names, c.names) << c.sql;
  }
}

TEST(TranslateSQL, AColonThatStartsNoNameIsAnInvalidToken) {
  for (const char* sql : {"SELECT :", "SELECT : a", "WHERE a = :a AND b = :-", "SELECT '' :"}) {
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
