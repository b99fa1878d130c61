// This test program's file is named like the host executable, and it exports some of the
// host's client API entry points: bound from inside it, the program is the host.

#include "suite/ClientProcs.h"

#include <filesystem>
#include <gtest/gtest.h>

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int ClientApi_GetCurrentUserID() { return 1; }
EXPORT int ClientApi_ShowDocument() { return 35; }

using namespace suite;

TEST(HostProgram, TheRunningProgramIsAModuleOfItself) {
  LoadClientApi();
  ASSERT_NE(HostModule, nullptr);
  EXPECT_EQ(ClientApi[0], reinterpret_cast<FARPROC>(&ClientApi_GetCurrentUserID));
  EXPECT_EQ(ClientApi[34], reinterpret_cast<FARPROC>(&ClientApi_ShowDocument));
  EXPECT_EQ(ClientApi[1], nullptr);

  char name[256] = "";
  ASSERT_GT(GetModuleFileNameA(HostModule, name, 255), 0u);
  EXPECT_EQ(std::filesystem::path(name), std::filesystem::read_symlink("/proc/self/exe"));
  EXPECT_EQ(GetModuleHandleA("workhost.exe"), HostModule);  // any letter case, as on Windows
  EXPECT_EQ(GetModuleHandleA(name), HostModule);
}
