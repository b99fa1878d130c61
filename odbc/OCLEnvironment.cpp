#include "odbc/OCLEnvironment.h"

#include "odbc/OCLConnection.h"
#include "odbc/OCLUserInterface.h"
#include "rtl/ComponentReader.h"

namespace ocl {

namespace {
THenv* theEnvironment = nullptr;
}  // namespace

THenv* Environment() { return theEnvironment; }

THenv& LibraryEnvironment() {
  if (!theEnvironment) throw rtl::Exception("The ODBC library has not been started");
  return *theEnvironment;
}

THenv::THenv(rtl::TComponent* AOwner) : THbase(AOwner) {
  if (AOwner && InState(rtl::csDesigning)) {
    for (int i = 0; i < AOwner->ComponentCount(); ++i) {
      if (dynamic_cast<THenv*>(AOwner->Components(i))) {
        if (UserInterface().ShowWarning)
          UserInterface().ShowWarning("You only need one environment class.");
        break;
      }
    }
  }
  error_ = std::make_unique<TODBCError>();
  AllocHandle();
}

THenv::~THenv() {
  Teardown();
  try {
    ReleaseHandle();
  } catch (...) {
    // A destructor never raises: whatever refused to go is forced.
    ForceRelease();
  }
}

void THenv::ForceRelease() noexcept {
  children_.ForceAll();
  if (!allocated_) return;
  SQLFreeHandle(SQL_HANDLE_ENV, handle_);
  allocated_ = false;
  handle_ = SQL_NULL_HENV;
}

TODBCError& THenv::ErrorObject() { return theEnvironment ? theEnvironment->Error() : *error_; }

bool THenv::AllocHandle() {
  if (allocated_) return true;

  // Pooling is process-wide and must be chosen before the environment handle exists. Some
  // driver managers write a full SQLULEN here.
  SQLULEN pooling = 0;
  if (Test(SQLGetEnvAttr(SQL_NULL_HENV, SQL_ATTR_CONNECTION_POOLING, &pooling, 0, nullptr))) {
    bool set = false;
    SQLRETURN ret = SQL_SUCCESS;
    if (pooling == SQL_CP_OFF && connectionPooling_) {
      ret = SQLSetEnvAttr(SQL_NULL_HENV, SQL_ATTR_CONNECTION_POOLING,
                          IntegerAttribute(SQL_CP_ONE_PER_DRIVER), 0);
      set = true;
    } else if (pooling != SQL_CP_OFF && !connectionPooling_) {
      ret = SQLSetEnvAttr(SQL_NULL_HENV, SQL_ATTR_CONNECTION_POOLING, IntegerAttribute(SQL_CP_OFF),
                          0);
      set = true;
    }
    if (set && !Test(ret)) throw rtl::Exception("Cannot Set Connection Pooling");
  }

  Check(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle_));
  try {
    Check(SQLSetEnvAttr(handle_, SQL_ATTR_ODBC_VERSION, IntegerAttribute(SQL_OV_ODBC3), 0));
  } catch (...) {
    // Not counted as allocated, so nothing else would ever free it.
    SQLFreeHandle(SQL_HANDLE_ENV, handle_);
    handle_ = SQL_NULL_HENV;
    throw;
  }
  allocated_ = ErrorObject().Succeeded(LastRet);
  return allocated_;
}

bool THenv::FreeHandle() {
  THbase::FreeHandle();
  children_.FreeAll();
  return !allocated_;
}

bool THenv::ReleaseHandle() {
  if (allocated_) {
    FreeHandle();
    Check(SQLFreeHandle(SQL_HANDLE_ENV, handle_));
    allocated_ = false;
    handle_ = SQL_NULL_HENV;
  }
  return !allocated_;
}

void THenv::SetConnectionPooling(bool Value) {
  if (Value == connectionPooling_) return;
  ReleaseHandle();
  connectionPooling_ = Value;
  AllocHandle();
}

void OCL_Startup() {
  if (theEnvironment) return;
  theEnvironment = rtl::TComponent::Create<THenv>(nullptr);
  rtl::RegisterComponentClass<THdbc>("THdbc");
}

void OCL_Shutdown() {
  rtl::UnregisterComponentClass("THdbc");
  // The environment stays reachable while its connections release their handles.
  delete theEnvironment;
  theEnvironment = nullptr;
}

}  // namespace ocl
