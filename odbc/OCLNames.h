#pragma once
// Identifiers in generated statements, written so that the database reads them back as the
// names they are.

#include "odbc/OCLSql.h"

#include <string>
#include <vector>

namespace ocl {

class THdbc;

// How a database reads identifiers: the character that quotes them (empty where it cannot),
// how it folds unquoted ones (SQL_IC_UPPER, SQL_IC_LOWER; any other value keeps them as
// written), and the words it reserves beyond those of the SQL standard.
struct TNameRules {
  std::string Quote = "\"";
  SQLUSMALLINT Case = SQL_IC_SENSITIVE;
  std::vector<std::string> Keywords;
};

// The rules of the database a connection reaches, as its driver reports them.
TNameRules NameRules(THdbc& Db);

// A name as the database holds it (one the driver reports), written so that the database
// reads it back as the same identifier: in quotes, its own quote characters doubled, when it
// is no plain identifier (letters, digits and "_", not beginning with a digit), is a reserved
// word, or holds letters the database would fold; otherwise as it is.
std::string QuoteName(const std::string& Name, const TNameRules& Rules = {});

// A name as the application writes it in SQL (TargetTable), qualified or not ("shop.parts"):
// each part already in quotes stays as it is, a plain part too; a reserved word is folded as
// the database folds unquoted names and then quoted; any other part is quoted as written.
std::string QuoteWrittenName(const std::string& Name, const TNameRules& Rules = {});

}  // namespace ocl
