// Identifiers in generated statements: a name goes in quotes wherever the database would read
// it unquoted as another name or as part of the statement.

#include "odbc/OCLNames.h"

#include "odbc/OCLConnection.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace ocl {

namespace {

// Words the SQL standard reserves since 1999 that the ODBC list (SQL-92's) lacks; ROWS and
// SCHEMA because the ODBC headers run them together without a comma; and words PostgreSQL
// reserves while its driver reports no keywords.
constexpr std::string_view LaterReserved =
    "ABS,ACOS,ANALYSE,ANALYZE,ARRAY,ARRAY_AGG,ARRAY_MAX_CARDINALITY,ASENSITIVE,ASIN,"
    "ASYMMETRIC,ATAN,ATOMIC,BEGIN_FRAME,BEGIN_PARTITION,BIGINT,BINARY,BLOB,BOOLEAN,CALL,"
    "CALLED,CARDINALITY,CEIL,CEILING,CLASSIFIER,CLOB,COLLECT,CONCURRENTLY,CONDITION,CONTAINS,"
    "COPY,CORR,COS,COSH,COVAR_POP,COVAR_SAMP,CUBE,CUME_DIST,CURRENT_CATALOG,"
    "CURRENT_DEFAULT_TRANSFORM_GROUP,CURRENT_PATH,CURRENT_ROLE,CURRENT_ROW,CURRENT_SCHEMA,"
    "CURRENT_TRANSFORM_GROUP_FOR_TYPE,CYCLE,DECFLOAT,DEFINE,DENSE_RANK,DEREF,DETERMINISTIC,"
    "DO,DYNAMIC,EACH,ELEMENT,EMPTY,END_FRAME,END_PARTITION,EQUALS,EVERY,EXP,FILTER,"
    "FIRST_VALUE,FLOOR,FRAME_ROW,FREE,FREEZE,FUNCTION,FUSION,GROUPING,GROUPS,HOLD,ILIKE,"
    "INITIAL,INOUT,INTERSECTION,ISNULL,JSON_ARRAY,JSON_ARRAYAGG,JSON_EXISTS,JSON_OBJECT,"
    "JSON_OBJECTAGG,JSON_QUERY,JSON_TABLE,JSON_TABLE_PRIMITIVE,JSON_VALUE,LAG,LARGE,"
    "LAST_VALUE,LATERAL,LEAD,LIKE_REGEX,LIMIT,LISTAGG,LN,LOCALTIME,LOCALTIMESTAMP,LOG,LOG10,"
    "MATCHES,MATCH_NUMBER,MATCH_RECOGNIZE,MEASURES,MEMBER,MERGE,METHOD,MOD,MODIFIES,MULTISET,"
    "NCLOB,NEW,NORMALIZE,NOTNULL,NTH_VALUE,NTILE,OCCURRENCES_REGEX,OFFSET,OLD,OMIT,ONE,OUT,"
    "OVER,OVERLAY,PARAMETER,PARTITION,PATTERN,PER,PERCENT,PERCENTILE_CONT,PERCENTILE_DISC,"
    "PERCENT_RANK,PERIOD,PLACING,PORTION,POSITION_REGEX,POWER,PRECEDES,PTF,RANGE,RANK,READS,"
    "RECURSIVE,REF,REFERENCING,REGR_AVGX,REGR_AVGY,REGR_COUNT,REGR_INTERCEPT,REGR_R2,"
    "REGR_SLOPE,REGR_SXX,REGR_SXY,REGR_SYY,RELEASE,RESULT,RETURN,RETURNING,RETURNS,ROLLUP,"
    "ROW,ROWS,ROW_NUMBER,RUNNING,SAVEPOINT,SCHEMA,SCOPE,SEARCH,SEEK,SENSITIVE,SHOW,SIMILAR,"
    "SIN,SINH,SKIP,SPECIFIC,SPECIFICTYPE,SQLEXCEPTION,SQRT,START,STATIC,STDDEV_POP,"
    "STDDEV_SAMP,SUBMULTISET,SUBSET,SUBSTRING_REGEX,SUCCEEDS,SYMMETRIC,SYSTEM,SYSTEM_TIME,"
    "TABLESAMPLE,TAN,TANH,TRANSLATE_REGEX,TREAT,TRIGGER,TRIM_ARRAY,TRUNCATE,UESCAPE,UNNEST,"
    "VALUE_OF,VARBINARY,VARIADIC,VAR_POP,VAR_SAMP,VERBOSE,VERSIONING,WIDTH_BUCKET,WINDOW,"
    "WITHIN,WITHOUT";

std::string Upper(std::string_view Text) {
  std::string upper(Text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// The words of a comma-separated list, in upper case.
void AddWords(std::string_view List, std::vector<std::string>& Words) {
  while (!List.empty()) {
    std::size_t comma = std::min(List.find(','), List.size());
    if (comma > 0) Words.push_back(Upper(List.substr(0, comma)));
    List.remove_prefix(std::min(comma + 1, List.size()));
  }
}

const std::vector<std::string>& StandardReserved() {
  static const std::vector<std::string> words = [] {
    std::vector<std::string> all;
    AddWords(SQL_ODBC_KEYWORDS, all);
    AddWords(LaterReserved, all);
    std::sort(all.begin(), all.end());
    return all;
  }();
  return words;
}

bool IsReserved(std::string_view Name, const TNameRules& Rules) {
  std::string upper = Upper(Name);
  const auto& standard = StandardReserved();
  return std::binary_search(standard.begin(), standard.end(), upper) ||
         std::find(Rules.Keywords.begin(), Rules.Keywords.end(), upper) != Rules.Keywords.end();
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Letters, digits and "_", beginning with a letter or "_": what every database reads unquoted.
bool IsPlain(std::string_view Name) {
  if (Name.empty() || !(IsAsciiLetter(Name[0]) || Name[0] == '_')) return false;
  return std::all_of(Name.begin(), Name.end(),
                     [](char c) { return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_'; });
}

// A database that folds unquoted names would read this one as another.
bool WouldFold(std::string_view Name, SQLUSMALLINT Case) {
  if (Case == SQL_IC_UPPER)
    return std::any_of(Name.begin(), Name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
  if (Case == SQL_IC_LOWER)
    return std::any_of(Name.begin(), Name.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
  return false;
}

std::string Folded(std::string_view Name, SQLUSMALLINT Case) {
  std::string folded(Name);
  for (char& c : folded) {
    auto u = static_cast<unsigned char>(c);
    if (Case == SQL_IC_UPPER) c = static_cast<char>(std::toupper(u));
    if (Case == SQL_IC_LOWER) c = static_cast<char>(std::tolower(u));
  }
  return folded;
}

std::string Quoted(std::string_view Name, const std::string& Quote) {
  std::string quoted = Quote;
  for (std::size_t i = 0; i < Name.size();) {
    if (Name.compare(i, Quote.size(), Quote) == 0) {
      quoted += Quote + Quote;
      i += Quote.size();
    } else {
      quoted += Name[i++];
    }
  }
  return quoted + Quote;
}

// A part of a written name: a quoted one runs to its closing quote (doubled quotes inside).
std::size_t PartEnd(std::string_view Name, std::size_t Start, const std::string& Quote) {
  if (Name.compare(Start, Quote.size(), Quote) != 0)
    return std::min(Name.find('.', Start), Name.size());
  std::size_t at = Start + Quote.size();
  for (;;) {
    std::size_t close = Name.find(Quote, at);
    if (close == std::string_view::npos) return Name.size();
    at = close + Quote.size();
    if (Name.compare(at, Quote.size(), Quote) != 0)
      return std::min(Name.find('.', at), Name.size());
    at += Quote.size();
  }
}

std::string WrittenPart(std::string_view Part, const TNameRules& Rules) {
  if (Part.empty()) return {};
  if (Part.compare(0, Rules.Quote.size(), Rules.Quote) == 0) return std::string(Part);
  if (!IsPlain(Part)) return Quoted(Part, Rules.Quote);
  if (IsReserved(Part, Rules)) return Quoted(Folded(Part, Rules.Case), Rules.Quote);
  return std::string(Part);
}

// The whole text of an information item, however long.
std::string InfoText(THdbc& Db, SQLUSMALLINT InfoType) {
  std::string text(1024, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    SQLSMALLINT length = 0;
    SQLRETURN ret = SQLGetInfo(Db.Handle(), InfoType, text.data(),
                               static_cast<SQLSMALLINT>(text.size()), &length);
    if (!SQL_SUCCEEDED(ret) || length < 0) return {};
    if (static_cast<std::size_t>(length) < text.size()) {
      text.resize(static_cast<std::size_t>(length));
      return text;
    }
    text.assign(static_cast<std::size_t>(length) + 1, '\0');
  }
  return {};
}

}  // namespace

TNameRules NameRules(THdbc& Db) {
  TNameRules rules;
  std::string quote = Db.GetInfoString(SQL_IDENTIFIER_QUOTE_CHAR);
  // A blank says the database has no quoted names; no answer leaves the standard's quote.
  if (quote == " ")
    rules.Quote.clear();
  else if (!quote.empty())
    rules.Quote = quote;
  rules.Case = static_cast<SQLUSMALLINT>(Db.GetInfoInteger(SQL_IDENTIFIER_CASE));
  AddWords(InfoText(Db, SQL_KEYWORDS), rules.Keywords);
  return rules;
}

std::string QuoteName(const std::string& Name, const TNameRules& Rules) {
  if (Name.empty() || Rules.Quote.empty()) return Name;
  if (IsPlain(Name) && !IsReserved(Name, Rules) && !WouldFold(Name, Rules.Case)) return Name;
  return Quoted(Name, Rules.Quote);
}

std::string QuoteWrittenName(const std::string& Name, const TNameRules& Rules) {
  if (Name.empty() || Rules.Quote.empty()) return Name;
  std::string written;
  std::string_view name(Name);
  for (std::size_t start = 0;;) {
    std::size_t end = PartEnd(name, start, Rules.Quote);
    written += WrittenPart(name.substr(start, end - start), Rules);
    if (end >= name.size()) return written;
    written += '.';
    start = end + 1;
  }
}

}  // namespace ocl
