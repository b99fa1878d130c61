#include "odbc/OCLEnvironment.h"

#include "odbc/OCLConnection.h"
#include "odbc/OCLStatement.h"
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
  DropOwnHandle();
}

TODBCError& THenv::ErrorObject() { return theEnvironment ? theEnvironment->Error() : *error_; }

bool THenv::AllocHandle() {
  if (Allocated()) return true;

  // Pooling is process-wide and must be chosen before the environment handle exists. Some
  // driver managers write a full SQLULEN here. One that cannot read it (unixODBC answers
  // SQL_INVALID_HANDLE, yet accepts the write) is given the wanted value all the same.
  SQLULEN pooling = 0;
  bool known =
      Test(SQLGetEnvAttr(SQL_NULL_HENV, SQL_ATTR_CONNECTION_POOLING, &pooling, 0, nullptr));
  if (!known || (pooling != SQL_CP_OFF) != connectionPooling_) {
    SQLULEN wanted = connectionPooling_ ? SQL_CP_ONE_PER_DRIVER : SQL_CP_OFF;
    SQLRETURN ret =
        SQLSetEnvAttr(SQL_NULL_HENV, SQL_ATTR_CONNECTION_POOLING, IntegerAttribute(wanted), 0);
    if (!Test(ret)) throw rtl::Exception("Cannot Set Connection Pooling");
  }

  AllocateOwnHandle(SQL_NULL_HANDLE);
  try {
    Check(SQLSetEnvAttr(Handle(), SQL_ATTR_ODBC_VERSION, IntegerAttribute(SQL_OV_ODBC3), 0));
  } catch (...) {
    // An environment of no known version is of no use: it goes again.
    DropOwnHandle();
    throw;
  }
  return Allocated();
}

bool THenv::FreeHandle() {
  THbase::FreeHandle();
  children_.FreeAll();
  return !Allocated();
}

bool THenv::ReleaseHandle() {
  if (Allocated()) {
    FreeHandle();
    FreeOwnHandle();
  }
  return !Allocated();
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
  rtl::RegisterComponentClass<THstmt>("THstmt");
}

void OCL_Shutdown() {
  rtl::UnregisterComponentClass("THstmt");
  rtl::UnregisterComponentClass("THdbc");
  // The environment stays reachable while its connections release their handles.
  delete theEnvironment;
  theEnvironment = nullptr;
}

}  // namespace ocl
