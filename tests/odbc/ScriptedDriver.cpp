// A test-only ODBC driver, loaded by the driver manager through DRIVER=<path>. It does on
// demand what real drivers do not: the connection string's own attributes choose its
// behaviour.
//
//   Connect=ok|warning|fail   connect outright, with a warning (01000), or not at all (08001)
//   Diag=unreadable           its diagnostic records cannot be read
//   Isolation=refuse          setting the transaction isolation fails (HYC00)
//   IsolationRead=fail        reading the transaction isolation fails (HY000)
//   Disconnect=warning        closes with a warning (01002)
//   Disconnect=flaky          the first disconnect fails (08S01), later ones close
//
// It has no SQLDescribeParam and no statements; SQL_SERVER_NAME is 300 characters long. For
// tests that load the same library: ScriptedDriver_IsolationSets counts the isolation levels
// it was asked to set, ScriptedDriver_Rollbacks the rollbacks, and ScriptedDriver_LastConnect
// holds the arguments of the last connect as they arrived.

#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

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
  if (dbc->Is("Connect", "fail")) return Fail(dbc, "08001", "the server is not there");
  dbc->connected = true;
  if (dbc->Is("Connect", "warning"))
    return Fail(dbc, "01000", "connected with a warning", SQL_SUCCESS_WITH_INFO);
  return SQL_SUCCESS;
}

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
    default:
      *output = SQL_NULL_HANDLE;
      return Fail(static_cast<Handle*>(input), "HYC00", "no statements here");
  }
}

EXPORT SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  if (!handle) return SQL_INVALID_HANDLE;
  if (type == SQL_HANDLE_ENV)
    delete static_cast<Env*>(handle);
  else if (type == SQL_HANDLE_DBC)
    delete static_cast<Dbc*>(handle);
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
    default: return Fail(dbc, "HY096", "unknown information type");
  }
}

EXPORT SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT record,
                                       SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                       SQLSMALLINT size, SQLSMALLINT* length) {
  auto* h = static_cast<Handle*>(handle);
  if (!h) return SQL_INVALID_HANDLE;
  if (h->unreadable) return SQL_ERROR;
  if (record != 1 || !h->diag.present) return SQL_NO_DATA;
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
    *static_cast<SQLINTEGER*>(value) = h->diag.present ? 1 : 0;
    return SQL_SUCCESS;
  }
  return SQL_NO_DATA;
}

}  // extern "C"
