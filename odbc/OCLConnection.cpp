#include "odbc/OCLConnection.h"

#include "odbc/OCLEnvironment.h"
#include "odbc/OCLErrors.h"
#include "odbc/OCLUserInterface.h"
#include "rtl/Published.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace ocl {

namespace {

SQLCHAR* Text(std::string& text) { return reinterpret_cast<SQLCHAR*>(text.data()); }

// One braced value as the connection-string syntax has it: "{", then text in which every "}"
// is doubled, then "}". Stored settings often hold a driver name written so ("{SQLite3}").
bool BracedValue(const std::string& value) {
  if (value.size() < 2 || value.front() != '{' || value.back() != '}') return false;
  for (std::size_t i = 1; i + 1 < value.size(); ++i) {
    if (value[i] != '}') continue;
    if (i + 2 >= value.size() || value[i + 1] != '}') return false;
    ++i;
  }
  return true;
}

// A connection-string value that could end the element early or be trimmed by the driver
// manager goes in braces, with its closing braces doubled, so that it cannot add attributes.
// A value already braced that way goes as given.
std::string ConnectValue(const std::string& value) {
  if (BracedValue(value)) return value;
  bool plain = value.find_first_of(";{}") == std::string::npos &&
               (value.empty() || (value.front() != ' ' && value.front() != '\t' &&
                                  value.back() != ' ' && value.back() != '\t'));
  if (plain) return value;
  std::string quoted = "{";
  for (char c : value) {
    quoted += c;
    if (c == '}') quoted += '}';
  }
  return quoted + "}";
}

// The last call on the connection was refused because a transaction is open (SQLSTATE 25000).
bool TransactionOpen(SQLHDBC handle) {
  SQLCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLRETURN ret = SQLGetDiagRec(SQL_HANDLE_DBC, handle, 1, state, &native, nullptr, 0, &length);
  return SQL_SUCCEEDED(ret) && std::strcmp(reinterpret_cast<char*>(state), "25000") == 0;
}

}  // namespace

THdbc::THdbc(rtl::TComponent* AOwner) : THbase(AOwner) {}

THdbc::~THdbc() {
  Teardown();
  try {
    FreeHandle();
  } catch (...) {
    ForceRelease();
  }
  *presence_ = nullptr;
}

void THdbc::ForceRelease() noexcept {
  try {
    children_.FreeAll();
  } catch (...) {
  }
  children_.ForceAll();
  if (!Allocated()) return;
  if (connected_) {
    SQLHDBC handle = CurrentHandle();
    SQLRETURN ret = SQLDisconnect(handle);
    // Refused because a transaction is open: only then is the work given up, so that the
    // connection can close and the server lets go of it.
    if (!SQL_SUCCEEDED(ret) && TransactionOpen(handle)) {
      SQLEndTran(SQL_HANDLE_DBC, handle, SQL_ROLLBACK);
      ret = SQLDisconnect(handle);
    }
    if (SQL_SUCCEEDED(ret)) {
      connected_ = false;
      linkLost_ = false;
      try {
        DoDisconnect();
      } catch (...) {
      }
    }
  }
  if (THenv* env = Environment()) env->Children().Remove(this);
  DropOwnHandle();
}

const rtl::TPropertyList& THdbc::Published() const {
  static const rtl::TPropertyList list =
      rtl::TPublished<THdbc>(TComponent::Published())
          .Boolean("Connected", &THdbc::Connected, &THdbc::SetConnected)
          .Text("Driver", &THdbc::Driver, &THdbc::SetDriver)
          .Text("DataSource", &THdbc::DataSource, &THdbc::SetDataSource)
          .Text("UserName", &THdbc::UserName, &THdbc::SetUserName)
          .Text("Password", &THdbc::Password, &THdbc::SetPassword)
          .List("Attributes", &THdbc::Attributes, &THdbc::SetAttributes)
          .Integer("IsolationLevel", &THdbc::IsolationLevel, &THdbc::SetIsolationLevel)
          .Integer("InfoPrompt", &THdbc::InfoPrompt, &THdbc::SetInfoPrompt)
          .Integer("CursorLib", &THdbc::CursorLib, &THdbc::SetCursorLib)
          .Boolean("ConnectionPooling", &THdbc::ConnectionPooling, &THdbc::SetConnectionPooling)
          .Boolean("AutoCommit", &THdbc::AutoCommit, &THdbc::SetAutoCommit);
  return list;
}

bool THdbc::AllocHandle() {
  if (Allocated()) return true;
  AllocateOwnHandle(LibraryEnvironment().Handle());
  // Listed only with a live handle: the environment's FreeAll relies on it.
  LibraryEnvironment().Children().Add(this);
  ApplyCursorLib();
  return Allocated();
}

SQLHDBC THdbc::Handle() {
  if (!Allocated()) AllocHandle();
  return CurrentHandle();
}

void THdbc::Connect() {
  if (!Allocated()) AllocHandle();
  if (connected_ && linkLost_) DropLostLink();
  if (connected_) return;
  ApplyCursorLib();

  SQLRETURN ret;
  if (infoPrompt_ == SQL_DRIVER_NOPROMPT && driver_.empty() && attributes_.empty()) {
    std::string server = dataSource_, user = userName_, password = password_;
    ret = SQLConnect(Handle(), Text(server), SQL_NTS, Text(user), SQL_NTS, Text(password), SQL_NTS);
  } else {
    SQLHWND window = LibraryEnvironment().PromptWindow;
    if (!window && UserInterface().MainWindow) window = UserInterface().MainWindow();
    std::string in = BuildConnectString();
    SQLCHAR out[256] = {};
    SQLSMALLINT outLength = 0;
    ret = SQLDriverConnect(Handle(), window, Text(in), SQL_NTS, out, sizeof out, &outLength,
                           infoPrompt_);
  }
  try {
    Check(ret);
  } catch (const EODBC&) {
    // Only with warnings counted as failures can a driver have connected here: the connection
    // is reported closed, so it is closed.
    if (SQL_SUCCEEDED(ret)) SQLDisconnect(CurrentHandle());
    throw;
  }
  connected_ = true;
  linkLost_ = false;
  ApplyIsolationLevel();
  ApplyAutoCommit();
  noDescribeParam_ = !FunctionSupported(SQL_API_SQLDESCRIBEPARAM);
  DoConnect();
}

void THdbc::Disconnect() {
  if (!connected_) return;
  if (linkLost_) return DropLostLink();
  children_.FreeAll();
  SQLRETURN ret = SQLDisconnect(CurrentHandle());
  if (SQL_SUCCEEDED(ret)) {
    // Closed, also when the answer is a warning that counts as failure: the flag and the
    // event follow the connection before the warning is raised.
    connected_ = false;
    DoDisconnect();
  }
  Check(ret);
}

// The server or the line is gone: what the driver holds of the statements goes without a
// check, as the server can answer nothing, and the connection closes.
void THdbc::DropLostLink() {
  children_.ForceAll();
  Check(SQLDisconnect(CurrentHandle()));
  connected_ = false;
  linkLost_ = false;
  DoDisconnect();
}

void THdbc::AfterFailure(const std::string& SqlState) noexcept {
  if (!connected_ || linkLost_) return;
  SQLULEN dead = 0;
  SQLRETURN ret = SQLGetConnectAttr(CurrentHandle(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
  // A driver that cannot tell: a connection exception (SQLSTATE class 08) while open.
  linkLost_ = SQL_SUCCEEDED(ret) ? static_cast<SQLUINTEGER>(dead) == SQL_CD_TRUE
                                 : SqlState.compare(0, 2, "08") == 0;
}

bool THdbc::FreeHandle() {
  THbase::FreeHandle();
  if (Allocated()) {
    if (connected_ && linkLost_) DropLostLink();
    children_.FreeAll();
    if (connected_) Disconnect();
    LibraryEnvironment().Children().Remove(this);
    FreeOwnHandle();
  }
  return !Allocated();
}

void THdbc::Loaded() {
  THbase::Loaded();
  if (!streamedConnected_) return;
  try {
    Connect();
  } catch (const EODBC& e) {
    // Without the error dialog there is nobody to show it to: the caller gets it.
    if (!UserInterface().ShowError) throw;
    UserInterface().ShowError(e, "Cannot connect " + Name() + " to database.");
  }
}

std::string THdbc::BuildConnectString() const {
  std::string s;
  if (!dataSource_.empty()) s += "DSN=" + ConnectValue(dataSource_) + ";";
  if (!userName_.empty()) s += "UID=" + ConnectValue(userName_) + ";";
  if (!password_.empty()) s += "PWD=" + ConnectValue(password_) + ";";
  if (!driver_.empty()) s += "DRIVER=" + ConnectValue(driver_) + ";";
  for (const std::string& line : attributes_) s += line + ";";
  return s;
}

bool THdbc::FunctionSupported(SQLUSMALLINT FunctionId) {
  if (FunctionId == SQL_API_ALL_FUNCTIONS || FunctionId == SQL_API_ODBC3_ALL_FUNCTIONS)
    throw rtl::Exception("Cannot return information for more than one function at a time.");
  if (!Allocated()) AllocHandle();
  SQLUSMALLINT supported = 0;
  if (!Test(SQLGetFunctions(Handle(), FunctionId, &supported))) return false;
  return supported != 0;
}

std::string THdbc::GetInfoString(SQLUSMALLINT InfoType) {
  if (!Allocated()) AllocHandle();
  SQLCHAR buffer[256] = {};
  SQLSMALLINT length = 0;
  if (!Test(SQLGetInfo(Handle(), InfoType, buffer, sizeof buffer, &length))) return {};
  return BufferText(buffer, sizeof buffer - 1);
}

SQLUINTEGER THdbc::GetInfoInteger(SQLUSMALLINT InfoType) {
  if (!Allocated()) AllocHandle();
  // Room for drivers that write a full SQLULEN; the answer is the first 32 bits.
  SQLULEN buffer = 0;
  if (!Test(SQLGetInfo(Handle(), InfoType, &buffer, sizeof(SQLUINTEGER), nullptr))) return 0;
  SQLUINTEGER value = 0;
  std::memcpy(&value, &buffer, sizeof value);
  return value;
}

void THdbc::SetConnected(bool Value) {
  if (InState(rtl::csReading)) {
    streamedConnected_ = Value;
    return;
  }
  // A lost link reads as closed, and is let go of or opened again either way.
  if (Value == connected_ && !linkLost_) return;
  if (Value)
    Connect();
  else
    Disconnect();
}

void THdbc::DisconnectForDesign() {
  if (InState(rtl::csDesigning) && connected_) SetConnected(false);
}

void THdbc::SetDriver(const std::string& Value) {
  DisconnectForDesign();
  driver_ = Value;
}

void THdbc::SetDataSource(const std::string& Value) {
  DisconnectForDesign();
  dataSource_ = Value;
}

void THdbc::SetUserName(const std::string& Value) {
  DisconnectForDesign();
  userName_ = Value;
}

void THdbc::SetPassword(const std::string& Value) {
  DisconnectForDesign();
  password_ = Value;
}

void THdbc::SetAttributes(const std::vector<std::string>& Value) {
  DisconnectForDesign();
  attributes_ = Value;
}

void THdbc::SetIsolationLevel(SQLUINTEGER Value) {
  isolationLevel_ = Value;
  ApplyIsolationLevel();
}

void THdbc::ApplyIsolationLevel() { ApplyAttribute(SQL_ATTR_TXN_ISOLATION, isolationLevel_); }

// Sets an integer connection attribute only where the driver's value differs; an unreadable
// value leaves the attribute alone.
void THdbc::ApplyAttribute(SQLINTEGER Attribute, SQLUINTEGER Value) {
  if (!Allocated()) return;
  SQLULEN current = 0;
  if (!Test(SQLGetConnectAttr(Handle(), Attribute, &current, 0, nullptr))) return;
  if (static_cast<SQLUINTEGER>(current) != Value)
    Check(SQLSetConnectAttr(Handle(), Attribute, IntegerAttribute(Value), 0));
}

void THdbc::SetAutoCommit(bool Value) {
  autoCommit_ = Value;
  if (Connected())
    ApplyAttribute(SQL_ATTR_AUTOCOMMIT, Value ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF);
}

// Only a connection that leaves autocommit asks the driver anything at connect.
void THdbc::ApplyAutoCommit() {
  if (!autoCommit_) ApplyAttribute(SQL_ATTR_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF);
}

void THdbc::Commit() { EndTransaction(SQL_COMMIT); }

void THdbc::Rollback() { EndTransaction(SQL_ROLLBACK); }

void THdbc::EndTransaction(SQLSMALLINT Completion) {
  if (!connected_) throw rtl::Exception("Connection " + Name() + " is not open.");
  // The server ended the transaction with the link; a driver may answer a commit of it as
  // done. There is nothing left to roll back.
  if (linkLost_ && Completion == SQL_COMMIT)
    throw rtl::Exception("Connection " + Name() + " was lost: its open work is not committed.");
  if (linkLost_) return;
  Check(SQLEndTran(SQL_HANDLE_DBC, CurrentHandle(), Completion));
}

void THdbc::SetCursorLib(SQLUINTEGER Value) {
  if (connected_) Disconnect();
  cursorLib_ = Value;
  ApplyCursorLib();
}

void THdbc::ApplyCursorLib() { ApplyAttribute(SQL_ATTR_ODBC_CURSORS, cursorLib_); }

bool THdbc::ConnectionPooling() const { return LibraryEnvironment().ConnectionPooling(); }

void THdbc::SetConnectionPooling(bool Value) { LibraryEnvironment().SetConnectionPooling(Value); }

void THdbc::DoConnect() {
  if (OnConnect) OnConnect(this);
}

void THdbc::DoDisconnect() {
  if (OnDisconnect) OnDisconnect(this);
}

}  // namespace ocl
