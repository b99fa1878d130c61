// A test-only ODBC driver, loaded by the driver manager through DRIVER=<path>. It does on
// demand what real drivers do not: the connection string's own attributes choose its
// behaviour.
//
//   Connect=ok|warning|fail   connect outright, with a warning (01000), or not at all (08001)
//   Diag=unreadable           its diagnostic records cannot be read
//   Diag=several              a failure carries two warnings more (01000, native 2 and 3)
//   Isolation=refuse          setting the transaction isolation fails (HYC00)
//   IsolationRead=fail        reading the transaction isolation fails (HY000)
//   Disconnect=warning        closes with a warning (01002)
//   Disconnect=flaky          the first disconnect fails (08S01), later ones close
//
// It has no SQLDescribeParam; its statements are scripted in their own section below.
// SQL_SERVER_NAME is 300 characters long. For tests that load the same library:
// ScriptedDriver_IsolationSets counts the isolation levels it was asked to set,
// ScriptedDriver_Rollbacks the rollbacks, and ScriptedDriver_LastConnect holds the arguments
// of the last connect as they arrived.

#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

extern "C" {
__attribute__((visibility("default"))) int ScriptedDriver_IsolationSets = 0;
__attribute__((visibility("default"))) int ScriptedDriver_Rollbacks = 0;
__attribute__((visibility("default"))) char ScriptedDriver_LastConnect[1024] = "";
}

namespace {

struct Diagnostic {
  bool present = false;
  std::string state, message;
  SQLINTEGER native = 0;
};

struct Handle {
  SQLSMALLINT type;
  Diagnostic diag;
  bool unreadable = false;
  bool several = false;
};

struct Env : Handle {};

struct Dbc : Handle {
  std::map<std::string, std::string> script;
  bool connected = false;
  SQLULEN isolation = SQL_TXN_READ_COMMITTED;
  int disconnects = 0;
  bool Is(const char* key, const char* value) const {
    auto it = script.find(key);
    return it != script.end() && it->second == value;
  }
};

SQLRETURN Fail(Handle* h, const char* state, const char* message, SQLRETURN ret = SQL_ERROR) {
  h->diag.present = true;
  h->diag.state = state;
  h->diag.message = std::string("[Scripted]") + message;
  h->diag.native = 4711;
  return ret;
}

void Clear(Handle* h) { h->diag = Diagnostic(); }

// Key=value pairs separated by ";"; keys as written.
std::map<std::string, std::string> Parse(const std::string& text) {
  std::map<std::string, std::string> pairs;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string pair = text.substr(start, end - start);
    std::size_t eq = pair.find('=');
    if (eq != std::string::npos) pairs[pair.substr(0, eq)] = pair.substr(eq + 1);
    start = end + 1;
  }
  return pairs;
}

std::string Text(SQLCHAR* text, SQLSMALLINT length) {
  if (!text) return {};
  if (length == SQL_NTS) return reinterpret_cast<char*>(text);
  return std::string(reinterpret_cast<char*>(text), static_cast<std::size_t>(length));
}

SQLRETURN CopyOut(const std::string& value, SQLPOINTER buffer, SQLSMALLINT size,
                  SQLSMALLINT* length) {
  if (length) *length = static_cast<SQLSMALLINT>(value.size());
  if (buffer && size > 0) {
    std::size_t n = std::min(value.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, value.data(), n);
    static_cast<char*>(buffer)[n] = '\0';
    if (n < value.size()) return SQL_SUCCESS_WITH_INFO;
  }
  return SQL_SUCCESS;
}

void Record(const std::string& call) {
  std::snprintf(ScriptedDriver_LastConnect, sizeof ScriptedDriver_LastConnect, "%s", call.c_str());
}

SQLRETURN Connected(Dbc* dbc) {
  dbc->unreadable = dbc->Is("Diag", "unreadable");
  dbc->several = dbc->Is("Diag", "several");
  if (dbc->Is("Connect", "fail")) return Fail(dbc, "08001", "the server is not there");
  dbc->connected = true;
  if (dbc->Is("Connect", "warning"))
    return Fail(dbc, "01000", "connected with a warning", SQL_SUCCESS_WITH_INFO);
  return SQL_SUCCESS;
}

// Statements, in their own section at the end.
SQLRETURN NewStatement(SQLHANDLE input, SQLHANDLE* output);
void FreeStatement(SQLHANDLE handle);
SQLRETURN ScriptedInfo(Dbc* dbc, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT size,
                       SQLSMALLINT* length);

}  // namespace

extern "C" {

#define EXPORT __attribute__((visibility("default")))

EXPORT SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  if (!output) return SQL_ERROR;
  switch (type) {
    case SQL_HANDLE_ENV: *output = new Env{{SQL_HANDLE_ENV, {}, false}}; return SQL_SUCCESS;
    case SQL_HANDLE_DBC:
      if (!input) return SQL_INVALID_HANDLE;
      *output = new Dbc{{SQL_HANDLE_DBC, {}, false}, {}, false, SQL_TXN_READ_COMMITTED};
      return SQL_SUCCESS;
    case SQL_HANDLE_STMT: return NewStatement(input, output);
    default: *output = SQL_NULL_HANDLE; return SQL_ERROR;
  }
}

EXPORT SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  if (!handle) return SQL_INVALID_HANDLE;
  if (type == SQL_HANDLE_ENV)
    delete static_cast<Env*>(handle);
  else if (type == SQL_HANDLE_DBC)
    delete static_cast<Dbc*>(handle);
  else if (type == SQL_HANDLE_STMT)
    FreeStatement(handle);
  else
    return SQL_ERROR;
  return SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
  return SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER value, SQLINTEGER,
                                       SQLINTEGER*) {
  if (value) *static_cast<SQLUINTEGER*>(value) = SQL_OV_ODBC3;
  return SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLDriverConnect(SQLHDBC handle, SQLHWND window, SQLCHAR* in,
                                          SQLSMALLINT inLength, SQLCHAR* out, SQLSMALLINT outSize,
                                          SQLSMALLINT* outLength, SQLUSMALLINT completion) {
  auto* dbc = static_cast<Dbc*>(handle);
  Clear(dbc);
  std::string text = Text(in, inLength);
  char call[64];
  std::snprintf(call, sizeof call, "SQLDriverConnect(%p, %u)", static_cast<void*>(window),
                completion);
  Record(call);
  dbc->script = Parse(text);
  CopyOut(text, out, outSize, outLength);
  return Connected(dbc);
}

EXPORT SQLRETURN SQL_API SQLConnect(SQLHDBC handle, SQLCHAR* server, SQLSMALLINT serverLength,
                                    SQLCHAR* user, SQLSMALLINT userLength, SQLCHAR* password,
                                    SQLSMALLINT passwordLength) {
  auto* dbc = static_cast<Dbc*>(handle);
  Clear(dbc);
  Record("SQLConnect(" + Text(server, serverLength) + ", " + Text(user, userLength) + ", " +
         Text(password, passwordLength) + ")");
  dbc->script.clear();
  return Connected(dbc);
}

EXPORT SQLRETURN SQL_API SQLDisconnect(SQLHDBC handle) {
  auto* dbc = static_cast<Dbc*>(handle);
  Clear(dbc);
  if (dbc->Is("Disconnect", "flaky") && dbc->disconnects++ == 0)
    return Fail(dbc, "08S01", "the line dropped");
  dbc->connected = false;
  if (dbc->Is("Disconnect", "warning"))
    return Fail(dbc, "01002", "closed with a warning", SQL_SUCCESS_WITH_INFO);
  return SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLEndTran(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT completion) {
  Clear(static_cast<Handle*>(handle));
  if (completion == SQL_ROLLBACK) ++ScriptedDriver_Rollbacks;
  return SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC handle, SQLINTEGER attribute, SQLPOINTER value,
                                           SQLINTEGER) {
  auto* dbc = static_cast<Dbc*>(handle);
  Clear(dbc);
  if (attribute == SQL_ATTR_TXN_ISOLATION) {
    ++ScriptedDriver_IsolationSets;
    if (dbc->Is("Isolation", "refuse")) return Fail(dbc, "HYC00", "isolation refused");
    dbc->isolation = reinterpret_cast<SQLULEN>(value);
  }
  return SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC handle, SQLINTEGER attribute, SQLPOINTER value,
                                           SQLINTEGER, SQLINTEGER*) {
  auto* dbc = static_cast<Dbc*>(handle);
  Clear(dbc);
  if (attribute != SQL_ATTR_TXN_ISOLATION) return Fail(dbc, "HY092", "unknown attribute");
  if (dbc->Is("IsolationRead", "fail")) return Fail(dbc, "HY000", "isolation unknown");
  *static_cast<SQLUINTEGER*>(value) = static_cast<SQLUINTEGER>(dbc->isolation);
  return SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLGetInfo(SQLHDBC handle, SQLUSMALLINT type, SQLPOINTER value,
                                    SQLSMALLINT size, SQLSMALLINT* length) {
  auto* dbc = static_cast<Dbc*>(handle);
  Clear(dbc);
  switch (type) {
    case SQL_DRIVER_ODBC_VER: return CopyOut("03.00", value, size, length);
    case SQL_DBMS_NAME: return CopyOut("Scripted", value, size, length);
    case SQL_DRIVER_NAME: return CopyOut("libocl_scripted_driver.so", value, size, length);
    case SQL_SERVER_NAME: return CopyOut(std::string(300, 'S'), value, size, length);
    default: return ScriptedInfo(dbc, type, value, size, length);
  }
}

EXPORT SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT record,
                                       SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                       SQLSMALLINT size, SQLSMALLINT* length) {
  auto* h = static_cast<Handle*>(handle);
  if (!h) return SQL_INVALID_HANDLE;
  if (h->unreadable) return SQL_ERROR;
  if (!h->diag.present || record < 1 || record > (h->several ? 3 : 1)) return SQL_NO_DATA;
  if (record > 1) {
    if (state) CopyOut("01000", state, 6, nullptr);
    if (native) *native = record;
    return CopyOut("[Scripted]record " + std::to_string(record), message, size, length);
  }
  if (state) CopyOut(h->diag.state, state, 6, nullptr);
  if (native) *native = h->diag.native;
  return CopyOut(h->diag.message, message, size, length);
}

EXPORT SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT record,
                                         SQLSMALLINT field, SQLPOINTER value, SQLSMALLINT,
                                         SQLSMALLINT*) {
  auto* h = static_cast<Handle*>(handle);
  if (!h) return SQL_INVALID_HANDLE;
  if (h->unreadable) return SQL_ERROR;
  if (record == 0 && field == SQL_DIAG_NUMBER) {
    *static_cast<SQLINTEGER*>(value) = h->diag.present ? (h->several ? 3 : 1) : 0;
    return SQL_SUCCESS;
  }
  return SQL_NO_DATA;
}

}  // extern "C"

// ---------------------------------------------------------------------------------------------
// Statements. The same connection-string attributes script them:
//
//   Still=N          an asynchronous execution answers SQL_STILL_EXECUTING N times first, and
//                    so does the SQLParamData that ends one with data at execution
//   Refuse=A,B       SQLSetStmtAttr of these attribute numbers fails (HYC00)
//   Cap<n>=V         SQLSetStmtAttr of attribute n with a value above V sets V (01S02)
//   Info<n>=V        SQLGetInfo of information type n answers V: a number, else the text
//   Close=fail       SQLFreeStmt(SQL_CLOSE) fails (HY000) once the statement is prepared, or
//                    once it executed a SELECT
//   PutData=fail     SQLPutData fails (HY000)
//   Token=stray      SQLParamData asks for a value that no parameter is bound to
//   Affected=N       SQLRowCount of a statement without a result answers N (else 1)
//
// An execution asks for data at execution for every parameter bound with such a length, in
// order of parameter number, and records the pieces it gets. SQLCancel stops an asynchronous
// execution (its next poll fails with HY008). What the statements did since
// ScriptedDriver_Reset is read through the ScriptedDriver_ functions below.

namespace {

std::map<SQLINTEGER, int> stmtAttrSets;
std::string pieces;
int executions = 0;
int cancels = 0;
std::string driverLog;

struct Param {
  SQLPOINTER value;
  SQLLEN* ind;
  SQLSMALLINT ctype = SQL_C_DEFAULT;
};

// A result column bound by the application.
struct BoundColumn {
  SQLSMALLINT ctype;
  SQLPOINTER data;
  SQLLEN size;
  SQLLEN* ind;
};

struct Stmt : Handle {
  Dbc* dbc = nullptr;
  std::map<SQLINTEGER, SQLULEN> attributes;
  std::map<SQLUSMALLINT, Param> params;
  bool prepared = false;
  int stillLeft = -1;  // polls an asynchronous execution has yet to answer; -1: none runs
  bool cancelled = false;
  std::vector<SQLPOINTER> wanted;  // values the running execution asks for
  std::size_t next = 0;
  std::string text;  // prepared or executed
  std::map<SQLUSMALLINT, BoundColumn> columns;
  std::size_t delivered = 0;    // scripted rows fetched so far
  std::size_t rowsetStart = 0;  // the scripted row at the top of the rowset, from 0
  SQLULEN position = 1;         // the row of the rowset that SQLGetData reads
};

void Log(const std::string& line);
std::string Values(const Stmt* stmt);
bool HasResult(const Stmt* stmt);

std::string Script(const Dbc* dbc, const std::string& key) {
  auto it = dbc->script.find(key);
  return it == dbc->script.end() ? std::string() : it->second;
}

bool Refused(const Dbc* dbc, SQLINTEGER attribute) {
  std::string list = "," + Script(dbc, "Refuse") + ",";
  return list.find("," + std::to_string(attribute) + ",") != std::string::npos;
}

bool IsNumber(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

SQLRETURN ScriptedInfo(Dbc* dbc, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT size,
                       SQLSMALLINT* length) {
  auto it = dbc->script.find("Info" + std::to_string(type));
  if (it == dbc->script.end()) return Fail(dbc, "HY096", "unknown information type");
  if (!IsNumber(it->second)) return CopyOut(it->second, value, size, length);
  *static_cast<SQLUINTEGER*>(value) = static_cast<SQLUINTEGER>(std::stoul(it->second));
  return SQL_SUCCESS;
}

SQLRETURN NewStatement(SQLHANDLE input, SQLHANDLE* output) {
  auto* dbc = static_cast<Dbc*>(input);
  if (!dbc) return SQL_INVALID_HANDLE;
  auto* stmt = new Stmt;
  stmt->type = SQL_HANDLE_STMT;
  stmt->dbc = dbc;
  stmt->unreadable = dbc->unreadable;
  stmt->several = dbc->several;
  stmt->attributes = {{SQL_ATTR_CONCURRENCY, SQL_CONCUR_READ_ONLY},
                      {SQL_ATTR_CURSOR_TYPE, SQL_CURSOR_FORWARD_ONLY},
                      {SQL_ATTR_ROW_ARRAY_SIZE, 1},
                      {SQL_ATTR_PARAMSET_SIZE, 1},
                      {SQL_ATTR_ASYNC_ENABLE, SQL_ASYNC_ENABLE_OFF}};
  *output = stmt;
  return SQL_SUCCESS;
}

void FreeStatement(SQLHANDLE handle) { delete static_cast<Stmt*>(handle); }

bool AtExecution(const Param& p) {
  return p.ind && (*p.ind == SQL_DATA_AT_EXEC || *p.ind <= SQL_LEN_DATA_AT_EXEC_OFFSET);
}

// Where an asynchronous call stands at this poll: still executing (Still=N times), stopped by
// SQLCancel (HY008), or going on (SQL_SUCCESS).
SQLRETURN Progress(Stmt* stmt) {
  if (stmt->cancelled) {
    stmt->cancelled = false;
    stmt->stillLeft = -1;
    return Fail(stmt, "HY008", "operation cancelled");
  }
  if (stmt->attributes[SQL_ATTR_ASYNC_ENABLE] != SQL_ASYNC_ENABLE_ON) return SQL_SUCCESS;
  if (stmt->stillLeft < 0) {
    std::string still = Script(stmt->dbc, "Still");
    stmt->stillLeft = IsNumber(still) ? std::stoi(still) : 0;
  }
  if (stmt->stillLeft > 0) {
    --stmt->stillLeft;
    return SQL_STILL_EXECUTING;
  }
  stmt->stillLeft = -1;
  return SQL_SUCCESS;
}

SQLRETURN Run(Stmt* stmt) {
  Clear(stmt);
  ++executions;
  if (SQLRETURN progress = Progress(stmt); progress != SQL_SUCCESS) return progress;
  Log(stmt->text + Values(stmt));
  stmt->delivered = 0;
  stmt->wanted.clear();
  stmt->next = 0;
  for (const auto& [number, param] : stmt->params)
    if (AtExecution(param)) stmt->wanted.push_back(param.value);
  if (stmt->dbc->Is("Token", "stray")) stmt->wanted.assign(1, &stmt->next);
  return stmt->wanted.empty() ? SQL_SUCCESS : SQL_NEED_DATA;
}

}  // namespace

extern "C" {

EXPORT void ScriptedDriver_Reset() {
  stmtAttrSets.clear();
  pieces.clear();
  driverLog.clear();
  executions = cancels = 0;
}

// SQLSetStmtAttr calls for the attribute.
EXPORT int ScriptedDriver_StmtAttrSets(SQLINTEGER attribute) { return stmtAttrSets[attribute]; }

// The sizes of the SQLPutData pieces, each followed by ";".
EXPORT const char* ScriptedDriver_Pieces() { return pieces.c_str(); }

// Calls of SQLExecute and SQLExecDirect, every poll counted.
EXPORT int ScriptedDriver_Executions() { return executions; }

EXPORT int ScriptedDriver_Cancels() { return cancels; }

EXPORT SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT handle, SQLINTEGER attribute, SQLPOINTER value,
                                        SQLINTEGER) {
  auto* stmt = static_cast<Stmt*>(handle);
  Clear(stmt);
  ++stmtAttrSets[attribute];
  if (Refused(stmt->dbc, attribute)) return Fail(stmt, "HYC00", "attribute refused");
  stmt->attributes[attribute] = reinterpret_cast<SQLULEN>(value);
  std::string cap = Script(stmt->dbc, "Cap" + std::to_string(attribute));
  if (IsNumber(cap) && stmt->attributes[attribute] > std::stoul(cap)) {
    stmt->attributes[attribute] = std::stoul(cap);
    return Fail(stmt, "01S02", "option value changed", SQL_SUCCESS_WITH_INFO);
  }
  return SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT handle, SQLINTEGER attribute, SQLPOINTER value,
                                        SQLINTEGER, SQLINTEGER*) {
  auto* stmt = static_cast<Stmt*>(handle);
  Clear(stmt);
  auto it = stmt->attributes.find(attribute);
  if (it == stmt->attributes.end()) return Fail(stmt, "HY092", "unknown attribute");
  *static_cast<SQLULEN*>(value) = it->second;
  return SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT handle, SQLUSMALLINT option) {
  auto* stmt = static_cast<Stmt*>(handle);
  Clear(stmt);
  if (option == SQL_CLOSE && (stmt->prepared || HasResult(stmt)) && stmt->dbc->Is("Close", "fail"))
    return Fail(stmt, "HY000", "the cursor does not close");
  if (option == SQL_RESET_PARAMS) stmt->params.clear();
  return SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLBindParameter(SQLHSTMT handle, SQLUSMALLINT number, SQLSMALLINT,
                                          SQLSMALLINT ctype, SQLSMALLINT, SQLULEN, SQLSMALLINT,
                                          SQLPOINTER value, SQLLEN, SQLLEN* ind) {
  auto* stmt = static_cast<Stmt*>(handle);
  Clear(stmt);
  stmt->params[number] = Param{value, ind, ctype};
  return SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLPrepare(SQLHSTMT handle, SQLCHAR* text, SQLINTEGER length) {
  auto* stmt = static_cast<Stmt*>(handle);
  Clear(stmt);
  stmt->prepared = true;
  stmt->text = Text(text, static_cast<SQLSMALLINT>(length));
  return SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLExecute(SQLHSTMT handle) { return Run(static_cast<Stmt*>(handle)); }

EXPORT SQLRETURN SQL_API SQLExecDirect(SQLHSTMT handle, SQLCHAR* text, SQLINTEGER length) {
  auto* stmt = static_cast<Stmt*>(handle);
  if (stmt->stillLeft < 0) stmt->text = Text(text, static_cast<SQLSMALLINT>(length));
  return Run(stmt);
}

EXPORT SQLRETURN SQL_API SQLParamData(SQLHSTMT handle, SQLPOINTER* token) {
  auto* stmt = static_cast<Stmt*>(handle);
  Clear(stmt);
  // All data is there: the execution runs.
  if (stmt->next == stmt->wanted.size()) return Progress(stmt);
  *token = stmt->wanted[stmt->next++];
  return SQL_NEED_DATA;
}

EXPORT SQLRETURN SQL_API SQLPutData(SQLHSTMT handle, SQLPOINTER, SQLLEN length) {
  auto* stmt = static_cast<Stmt*>(handle);
  Clear(stmt);
  if (stmt->dbc->Is("PutData", "fail")) return Fail(stmt, "HY000", "the data was refused");
  pieces += std::to_string(length) + ";";
  return SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLCancel(SQLHSTMT handle) {
  auto* stmt = static_cast<Stmt*>(handle);
  Clear(stmt);
  ++cancels;
  if (stmt->stillLeft >= 0) stmt->cancelled = true;
  stmt->wanted.clear();
  stmt->next = 0;
  return SQL_SUCCESS;
}

// A statement without a result affects one row, or as many as Affected=N says.
EXPORT SQLRETURN SQL_API SQLRowCount(SQLHSTMT handle, SQLLEN* count) {
  auto* stmt = static_cast<Stmt*>(handle);
  std::string affected = Script(stmt->dbc, "Affected");
  if (count) *count = HasResult(stmt) ? -1 : IsNumber(affected) ? std::stoi(affected) : 1;
  return SQL_SUCCESS;
}

}  // extern "C"

// ---------------------------------------------------------------------------------------------
// Result sets and positioned operations. A statement whose text starts with SELECT has the
// scripted result:
//
//   Columns=Id:4,Name:12     its columns, by name and SQL type number
//   Rows=1,Bolt/2,Nut        its rows, values as text (converted to the bound C type)
//   Deleted=2                these rows (numbered from 1) come with the status
//                            SQL_ROW_DELETED, their values unread, and SQLGetData refuses them
//   Table=Parts              the table name SQLColAttribute gives every column
//   Cursor=C1                the cursor name (else SQL_CUR1)
//   SetPos=needdata          SQLSetPos(SQL_UPDATE) asks for data at execution
//
// ScriptedDriver_Log lists, a line each, every execution with the parameter values it got
// ("UPDATE t SET a = ? WHERE CURRENT OF C1 <- 1, 'x', NULL") and every SQLSetPos call.

namespace {

void Log(const std::string& line) { driverLog += line + "\n"; }

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size() && !text.empty()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool HasResult(const Stmt* stmt) { return stmt->text.rfind("SELECT", 0) == 0; }

std::vector<std::string> ResultColumns(const Stmt* stmt) {
  return HasResult(stmt) ? Split(Script(stmt->dbc, "Columns"), ',') : std::vector<std::string>();
}

// The scripted column of that number as its name and type; false when there is none.
bool FindColumn(Stmt* stmt, SQLUSMALLINT number, std::vector<std::string>& column) {
  Clear(stmt);
  std::vector<std::string> columns = ResultColumns(stmt);
  if (number < 1 || number > columns.size()) return false;
  column = Split(columns[number - 1], ':');
  return true;
}

std::string Value(const Param& param) {
  if (!param.value || (param.ind && *param.ind == SQL_NULL_DATA)) return "NULL";
  if (AtExecution(param)) return "DATA_AT_EXEC";
  char number[64];
  switch (param.ctype) {
    case SQL_C_CHAR: {
      const char* text = static_cast<const char*>(param.value);
      SQLLEN length = param.ind && *param.ind >= 0 ? *param.ind : SQLLEN(std::strlen(text));
      return "'" + std::string(text, static_cast<std::size_t>(length)) + "'";
    }
    case SQL_C_SLONG: return std::to_string(*static_cast<const SQLINTEGER*>(param.value));
    case SQL_C_SBIGINT: return std::to_string(*static_cast<const SQLBIGINT*>(param.value));
    case SQL_C_DOUBLE:
      std::snprintf(number, sizeof number, "%g", *static_cast<const double*>(param.value));
      return number;
    default: return "?";
  }
}

std::string Values(const Stmt* stmt) {
  std::string values;
  for (const auto& [number, param] : stmt->params)
    values += (values.empty() ? " <- " : ", ") + Value(param);
  return values;
}

// Size of one element of a bound column array.
SQLLEN Stride(const BoundColumn& column) {
  switch (column.ctype) {
    case SQL_C_SLONG: return sizeof(SQLINTEGER);
    case SQL_C_SBIGINT: return sizeof(SQLBIGINT);
    case SQL_C_DOUBLE: return sizeof(double);
    default: return column.size;
  }
}

void Store(const BoundColumn& column, std::size_t element, const std::string& value) {
  auto* data = static_cast<char*>(column.data) + Stride(column) * SQLLEN(element);
  SQLLEN& ind = column.ind[element];
  if (column.ctype == SQL_C_SLONG) {
    SQLINTEGER number = std::stoi(value);
    std::memcpy(data, &number, sizeof number);
    ind = sizeof number;
  } else if (column.ctype == SQL_C_SBIGINT) {
    SQLBIGINT number = std::stoll(value);
    std::memcpy(data, &number, sizeof number);
    ind = sizeof number;
  } else if (column.ctype == SQL_C_DOUBLE) {
    double number = std::stod(value);
    std::memcpy(data, &number, sizeof number);
    ind = sizeof number;
  } else {
    CopyOut(value, data, static_cast<SQLSMALLINT>(column.size), nullptr);
    ind = SQLLEN(value.size());
  }
}

bool Deleted(const Stmt* stmt, std::size_t row) {
  std::string list = "," + Script(stmt->dbc, "Deleted") + ",";
  return list.find("," + std::to_string(row + 1) + ",") != std::string::npos;
}

// The next rowset of the scripted rows into the bound columns, with the rows fetched and
// their status where the application asked for them.
SQLRETURN FetchNext(Stmt* stmt) {
  Clear(stmt);
  std::vector<std::string> rows = Split(Script(stmt->dbc, "Rows"), '/');
  if (!HasResult(stmt)) return Fail(stmt, "24000", "no cursor is open");
  if (stmt->delivered >= rows.size()) return SQL_NO_DATA;
  SQLULEN size = stmt->attributes[SQL_ATTR_ROW_ARRAY_SIZE];
  auto* status = reinterpret_cast<SQLUSMALLINT*>(stmt->attributes[SQL_ATTR_ROW_STATUS_PTR]);
  SQLULEN fetched = 0;
  stmt->rowsetStart = stmt->delivered;
  stmt->position = 1;
  for (SQLULEN i = 0; i < size; ++i) {
    bool present = stmt->delivered < rows.size();
    bool deleted = present && Deleted(stmt, stmt->delivered);
    if (status) status[i] = !present ? SQL_ROW_NOROW : deleted ? SQL_ROW_DELETED : SQL_ROW_SUCCESS;
    if (!present) continue;
    std::vector<std::string> values = Split(rows[stmt->delivered++], ',');
    for (const auto& [number, column] : stmt->columns)
      if (number <= values.size() && !deleted) Store(column, i, values[number - 1]);
    ++fetched;
  }
  if (auto* count = reinterpret_cast<SQLULEN*>(stmt->attributes[SQL_ATTR_ROWS_FETCHED_PTR]))
    *count = fetched;
  return SQL_SUCCESS;
}

}  // namespace

extern "C" {

// What the statements executed, and the positioned operations asked for.
EXPORT const char* ScriptedDriver_Log() { return driverLog.c_str(); }

EXPORT SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT handle, SQLSMALLINT* count) {
  if (count) *count = SQLSMALLINT(ResultColumns(static_cast<Stmt*>(handle)).size());
  return SQL_SUCCESS;
}

// The scripted type, of no size and no decimal digits.
EXPORT SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT handle, SQLUSMALLINT number, SQLCHAR* name,
                                        SQLSMALLINT size, SQLSMALLINT* length, SQLSMALLINT* type,
                                        SQLULEN* columnSize, SQLSMALLINT* digits,
                                        SQLSMALLINT* nullable) {
  auto* stmt = static_cast<Stmt*>(handle);
  std::vector<std::string> column;
  if (!FindColumn(stmt, number, column)) return Fail(stmt, "07009", "no such column");
  if (type) *type = SQLSMALLINT(std::stoi(column.at(1)));
  if (columnSize) *columnSize = 0;
  if (digits) *digits = 0;
  if (nullable) *nullable = SQL_NULLABLE;
  return name ? CopyOut(column[0], name, size, length) : SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLColAttribute(SQLHSTMT handle, SQLUSMALLINT number, SQLUSMALLINT field,
                                         SQLPOINTER text, SQLSMALLINT size, SQLSMALLINT* length,
                                         SQLLEN* value) {
  auto* stmt = static_cast<Stmt*>(handle);
  std::vector<std::string> column;
  if (!FindColumn(stmt, number, column)) return Fail(stmt, "07009", "no such column");
  switch (field) {
    case SQL_DESC_NAME: return CopyOut(column[0], text, size, length);
    case SQL_DESC_TABLE_NAME: return CopyOut(Script(stmt->dbc, "Table"), text, size, length);
    case SQL_DESC_CONCISE_TYPE: *value = std::stoi(column.at(1)); return SQL_SUCCESS;
    case SQL_DESC_DISPLAY_SIZE: *value = 40; return SQL_SUCCESS;
    case SQL_DESC_UNSIGNED: *value = SQL_FALSE; return SQL_SUCCESS;
    default: return Fail(stmt, "HY091", "unknown descriptor field");
  }
}

EXPORT SQLRETURN SQL_API SQLBindCol(SQLHSTMT handle, SQLUSMALLINT number, SQLSMALLINT ctype,
                                    SQLPOINTER data, SQLLEN size, SQLLEN* ind) {
  auto* stmt = static_cast<Stmt*>(handle);
  Clear(stmt);
  if (data)
    stmt->columns[number] = BoundColumn{ctype, data, size, ind};
  else
    stmt->columns.erase(number);
  return SQL_SUCCESS;
}

EXPORT SQLRETURN SQL_API SQLFetch(SQLHSTMT handle) { return FetchNext(static_cast<Stmt*>(handle)); }

// A value of the row positioned on, whole as text (values fit the buffers tests give).
EXPORT SQLRETURN SQL_API SQLGetData(SQLHSTMT handle, SQLUSMALLINT number, SQLSMALLINT,
                                    SQLPOINTER value, SQLLEN size, SQLLEN* ind) {
  auto* stmt = static_cast<Stmt*>(handle);
  Clear(stmt);
  std::size_t row = stmt->rowsetStart + stmt->position - 1;
  std::vector<std::string> rows = Split(Script(stmt->dbc, "Rows"), '/');
  if (row >= rows.size()) return Fail(stmt, "HY109", "no row there");
  if (Deleted(stmt, row)) return Fail(stmt, "HY109", "the row is deleted");
  std::vector<std::string> values = Split(rows[row], ',');
  if (number < 1 || number > values.size()) return Fail(stmt, "07009", "no such column");
  if (ind) *ind = SQLLEN(values[number - 1].size());
  return CopyOut(values[number - 1], value, static_cast<SQLSMALLINT>(size), nullptr);
}

EXPORT SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT handle, SQLSMALLINT orientation, SQLLEN) {
  auto* stmt = static_cast<Stmt*>(handle);
  if (orientation != SQL_FETCH_NEXT) return Fail(stmt, "HY106", "only forward");
  return FetchNext(stmt);
}

EXPORT SQLRETURN SQL_API SQLGetCursorName(SQLHSTMT handle, SQLCHAR* name, SQLSMALLINT size,
                                          SQLSMALLINT* length) {
  auto* stmt = static_cast<Stmt*>(handle);
  Clear(stmt);
  std::string cursor = Script(stmt->dbc, "Cursor");
  return CopyOut(cursor.empty() ? "SQL_CUR1" : cursor, name, size, length);
}

EXPORT SQLRETURN SQL_API SQLSetPos(SQLHSTMT handle, SQLSETPOSIROW row, SQLUSMALLINT operation,
                                   SQLUSMALLINT) {
  auto* stmt = static_cast<Stmt*>(handle);
  Clear(stmt);
  Log("SQLSetPos(" + std::to_string(row) + ", " + std::to_string(operation) + ")");
  if (operation == SQL_POSITION) stmt->position = row;
  if (operation == SQL_UPDATE && stmt->dbc->Is("SetPos", "needdata")) return SQL_NEED_DATA;
  return SQL_SUCCESS;
}

}  // extern "C"
