// What unixODBC does not do on demand, through link-time wrappers (-Wl,--wrap) of its
// SQLAllocHandle, SQLFreeHandle and SQLSetEnvAttr: handles allocated or freed with a warning,
// a refused pooling choice, an environment whose version cannot be set. Each wrapper calls the
// driver manager and answers as it did unless a test asked for something else.
//
// unixODBC allocates and frees environment and connection handles itself and never warns
// there. It answers a read of the pooling attribute on a null environment with
// SQL_INVALID_HANDLE, and accepts the write but ignores it (its pooling follows the Pooling
// key of odbcinst.ini): what the library asks for is seen only here.

#include "tests/odbc/OdbcTestSupport.h"

#include <utility>
#include <vector>

using namespace ocl;
using ocl_test::Raised;

namespace {
// The kind of handle whose next allocation, or next free, answers with a warning.
SQLSMALLINT warnAllocation = 0, warnFree = 0;
// The next pooling choice is refused; the next version setting fails.
bool refusePooling = false, failVersion = false;
SQLHANDLE lastAllocated[SQL_HANDLE_STMT + 1] = {}, lastFreed[SQL_HANDLE_STMT + 1] = {};
int frees = 0;
std::vector<SQLULEN> poolingChoices;

SQLRETURN Warned(SQLSMALLINT& kind, SQLSMALLINT type, SQLRETURN ret) {
  if (type != kind || ret != SQL_SUCCESS) return ret;
  kind = 0;
  return SQL_SUCCESS_WITH_INFO;
}
}  // namespace

extern "C" {
SQLRETURN __real_SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output);
SQLRETURN __real_SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle);
SQLRETURN __real_SQLSetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value,
                               SQLINTEGER length);

SQLRETURN __wrap_SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  SQLRETURN ret = __real_SQLAllocHandle(type, input, output);
  if (SQL_SUCCEEDED(ret) && type <= SQL_HANDLE_STMT) lastAllocated[type] = *output;
  return Warned(warnAllocation, type, ret);
}

SQLRETURN __wrap_SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  ++frees;
  if (type <= SQL_HANDLE_STMT) lastFreed[type] = handle;
  return Warned(warnFree, type, __real_SQLFreeHandle(type, handle));
}

SQLRETURN __wrap_SQLSetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value,
                               SQLINTEGER length) {
  if (!env && attribute == SQL_ATTR_CONNECTION_POOLING) {
    poolingChoices.push_back(reinterpret_cast<SQLULEN>(value));
    if (std::exchange(refusePooling, false)) return SQL_ERROR;
  }
  if (attribute == SQL_ATTR_ODBC_VERSION && std::exchange(failVersion, false)) return SQL_ERROR;
  return __real_SQLSetEnvAttr(env, attribute, value, length);
}
}  // extern "C"

namespace {

class DriverManagerTest : public ocl_test::OdbcTest {
 protected:
  void SetUp() override {
    poolingChoices.clear();
    OdbcTest::SetUp();
  }
};

TEST_F(DriverManagerTest, ThePoolingChoiceIsSetEvenWhereItCannotBeRead) {
  // Start-up makes sure pooling is off.
  EXPECT_EQ(poolingChoices, std::vector<SQLULEN>{SQL_CP_OFF});
  Environment()->SetConnectionPooling(true);
  Environment()->SetConnectionPooling(false);
  EXPECT_EQ(poolingChoices, (std::vector<SQLULEN>{SQL_CP_OFF, SQL_CP_ONE_PER_DRIVER, SQL_CP_OFF}));

  refusePooling = true;
  auto e = Raised<rtl::Exception>([] { Environment()->SetConnectionPooling(true); });
  EXPECT_EQ(e.Message(), "Cannot Set Connection Pooling");
  EXPECT_FALSE(Environment()->Allocated());
}

TEST_F(DriverManagerTest, AConnectionHandleRefusedForItsWarningIsFreed) {
  auto db = ocl_test::NewConnection();
  Environment()->Error().InfoIsError = true;
  warnAllocation = SQL_HANDLE_DBC;
  EXPECT_EQ(Raised<EODBC>([&] { db->AllocHandle(); }).RetCode, SQL_SUCCESS_WITH_INFO);
  ASSERT_NE(lastAllocated[SQL_HANDLE_DBC], nullptr);  // the driver manager did allocate one
  EXPECT_FALSE(db->Allocated());
  EXPECT_EQ(db->CurrentHandle(), nullptr);
  EXPECT_TRUE(Environment()->Children().Empty());
  // The driver manager frees an environment only when no connection handle is left on it.
  EXPECT_NO_THROW(Environment()->ReleaseHandle());
  EXPECT_FALSE(Environment()->Allocated());

  // Without the warning the next allocation goes through.
  ASSERT_TRUE(Environment()->AllocHandle());
  EXPECT_TRUE(db->AllocHandle());
  EXPECT_EQ(db->CurrentHandle(), lastAllocated[SQL_HANDLE_DBC]);
}

TEST_F(DriverManagerTest, AnEnvironmentHandleRefusedForItsWarningIsFreed) {
  Environment()->Error().InfoIsError = true;
  ASSERT_TRUE(Environment()->ReleaseHandle());
  lastFreed[SQL_HANDLE_ENV] = nullptr;
  warnAllocation = SQL_HANDLE_ENV;
  EXPECT_EQ(Raised<EODBC>([] { Environment()->AllocHandle(); }).RetCode, SQL_SUCCESS_WITH_INFO);
  EXPECT_FALSE(Environment()->Allocated());
  EXPECT_EQ(lastFreed[SQL_HANDLE_ENV], lastAllocated[SQL_HANDLE_ENV]);
  EXPECT_TRUE(Environment()->AllocHandle());
}

TEST_F(DriverManagerTest, AHandleFreedWithAWarningIsForgotten) {
  auto db = ocl_test::NewConnection();
  db->Handle();
  Environment()->Error().InfoIsError = true;
  warnFree = SQL_HANDLE_DBC;
  EXPECT_EQ(Raised<EODBC>([&] { db->FreeHandle(); }).RetCode, SQL_SUCCESS_WITH_INFO);
  EXPECT_FALSE(db->Allocated());
  int before = frees;
  EXPECT_TRUE(db->FreeHandle());  // and is not freed twice
  EXPECT_EQ(frees, before);

  warnFree = SQL_HANDLE_ENV;
  EXPECT_EQ(Raised<EODBC>([] { Environment()->ReleaseHandle(); }).RetCode, SQL_SUCCESS_WITH_INFO);
  EXPECT_FALSE(Environment()->Allocated());
  EXPECT_TRUE(Environment()->ReleaseHandle());
  EXPECT_EQ(frees, before + 1);
}

TEST(LibraryStartUp, AFailedStartUpLeavesNothingBehindAndNamesNoFreedComponent) {
  lastFreed[SQL_HANDLE_ENV] = nullptr;
  failVersion = true;
  EODBC e = Raised<EODBC>([] { OCL_Startup(); });
  // The environment the failure happened on was destroyed while the exception left it.
  if (THbase* gone = e.Component) ADD_FAILURE() << "names a destroyed component " << gone->Name();
  EXPECT_EQ(Environment(), nullptr);
  EXPECT_EQ(lastFreed[SQL_HANDLE_ENV], lastAllocated[SQL_HANDLE_ENV]);

  OCL_Startup();
  EXPECT_TRUE(LibraryEnvironment().Allocated());
  OCL_Shutdown();
}

}  // namespace
