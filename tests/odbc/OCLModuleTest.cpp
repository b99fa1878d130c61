// The program's module table starts the library with pooling off and frees it at the end.

#include "app/ModuleTable.h"
#include "odbc/OCL.h"

#include <gtest/gtest.h>

#include <string>

TEST(OCLModule, TheProgramAllocatesAnEnvironmentAndFreesItAtShutDown) {
  bool dialogBeforeLibrary = false;
  app::RunStartups([&](const app::ModuleRow& row) {
    if (std::string(row.Module) == "OCL")
      dialogBeforeLibrary = static_cast<bool>(ocl::UserInterface().ShowError);
  });
  EXPECT_TRUE(dialogBeforeLibrary);
  ocl::THenv* env = ocl::Environment();
  ASSERT_NE(env, nullptr);
  EXPECT_TRUE(env->Allocated());
  EXPECT_FALSE(env->ConnectionPooling());
  SQLUINTEGER version = 0;
  EXPECT_EQ(SQLGetEnvAttr(env->Handle(), SQL_ATTR_ODBC_VERSION, &version, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(version, static_cast<SQLUINTEGER>(SQL_OV_ODBC3));

  // A connection still allocated at shut-down is released with the environment.
  auto* db = rtl::TComponent::Create<ocl::THdbc>(nullptr);
  db->Handle();
  app::RunShutdowns();
  EXPECT_EQ(ocl::Environment(), nullptr);
  EXPECT_FALSE(db->Allocated());
  EXPECT_FALSE(static_cast<bool>(ocl::UserInterface().ShowError));
  delete db;
}
