#pragma once
// The environment component. The library creates exactly one, the library environment, at
// start-up; it owns the shared diagnostic object and sets the process-wide pooling choice.

#include "odbc/OCLBase.h"
#include "odbc/OCLErrors.h"

#include <memory>

namespace ocl {

class THenv : public THbase {
 public:
  explicit THenv(rtl::TComponent* AOwner);
  ~THenv() override;

  TODBCError& Error() { return *error_; }
  SQLHENV Handle() const { return CurrentHandle(); }
  TChildren& Children() { return children_; }

  // The window the driver manager uses as parent of its connection dialogs; null at creation.
  // The library never sets it.
  SQLHWND PromptWindow = nullptr;

  bool ConnectionPooling() const { return connectionPooling_; }
  // A change frees and re-creates the environment handle, releasing every connection first.
  void SetConnectionPooling(bool Value);

  bool AllocHandle();
  // Fires OnFreeHandle and makes every connection release its handle; the environment handle
  // itself stays (see ReleaseHandle). A connection that fails does not keep the others: the
  // first failure is raised once all were tried.
  bool FreeHandle() override;
  // Releases every connection, then the environment handle. When a connection fails, the
  // others are released all the same and the first failure is raised; the environment handle
  // then stays, as the failed connection still needs it.
  bool ReleaseHandle();
  // Forces every listed connection closed and freed, then frees the environment handle.
  void ForceRelease() noexcept override;

  SQLSMALLINT HandleType() const override { return SQL_HANDLE_ENV; }

 protected:
  // The library environment's, or this one's own while the library environment is being made.
  TODBCError& ErrorObject() override;

 private:
  std::unique_ptr<TODBCError> error_;
  TChildren children_;
  bool connectionPooling_ = false;
};

// The library environment. Raises rtl::Exception when the library has not been started.
THenv& LibraryEnvironment();
// The library environment, or null outside start-up and shut-down.
THenv* Environment();

// The library's module start-up and shut-down: create the library environment (pooling off,
// ODBC 3) and register the component classes with the description reader; free it again,
// after every connection handle still held.
void OCL_Startup();
void OCL_Shutdown();

}  // namespace ocl
