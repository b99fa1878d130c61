// A connection handle whose allocation succeeds with a warning while warnings count as
// failures. unixODBC allocates connection handles itself and never warns there, so this
// program reaches the driver manager's SQLAllocHandle through a link-time wrapper
// (-Wl,--wrap) that allocates for real and reports the next connection handle with a warning.

#include "tests/odbc/OdbcTestSupport.h"

#include <memory>

using namespace ocl;

namespace {
bool warnNextConnection = false;
SQLHANDLE lastConnection = SQL_NULL_HANDLE;
}  // namespace

extern "C" SQLRETURN __real_SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output);

extern "C" SQLRETURN __wrap_SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  SQLRETURN ret = __real_SQLAllocHandle(type, input, output);
  if (type == SQL_HANDLE_DBC && ret == SQL_SUCCESS) {
    lastConnection = *output;
    if (warnNextConnection) {
      warnNextConnection = false;
      return SQL_SUCCESS_WITH_INFO;
    }
  }
  return ret;
}

namespace {

using AllocWarningTest = ocl_test::OdbcTest;

TEST_F(AllocWarningTest, AConnectionHandleRefusedForItsWarningIsFreed) {
  std::unique_ptr<THdbc> db(rtl::TComponent::Create<THdbc>(nullptr));
  Environment()->Error().InfoIsError = true;
  warnNextConnection = true;
  try {
    db->AllocHandle();
    FAIL() << "the warning was accepted";
  } catch (const EODBC& e) {
    EXPECT_EQ(e.RetCode, SQL_SUCCESS_WITH_INFO);
  }
  ASSERT_NE(lastConnection, nullptr);  // the driver manager did allocate one
  EXPECT_FALSE(db->Allocated());
  EXPECT_EQ(db->CurrentHandle(), nullptr);
  EXPECT_TRUE(Environment()->Children().Empty());
  // The driver manager frees an environment only when no connection handle is left on it.
  EXPECT_NO_THROW(Environment()->ReleaseHandle());
  EXPECT_FALSE(Environment()->Allocated());

  // Without the warning the next allocation goes through.
  ASSERT_TRUE(Environment()->AllocHandle());
  EXPECT_TRUE(db->AllocHandle());
  EXPECT_EQ(db->CurrentHandle(), lastConnection);
}

}  // namespace
