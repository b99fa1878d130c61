// This test program's file is named like the host executable, and it exports some of the
// host's client API entry points: bound from inside it, the program is the host.

#include "suite/ClientProcs.h"
#include "tests/support/Library.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#define EXPORT TEST_EXPORT

EXPORT int ClientApi_GetCurrentUserID() { return 1; }
EXPORT int ClientApi_ShowDocument() { return 35; }

using namespace suite;

namespace {

// An exported function as the module functions give it.
FARPROC Entry(int (*function)()) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// The running program's file, as the system names it.
std::filesystem::path ProgramFile() {
#ifdef _WIN32
  return _pgmptr;
#else
  return std::filesystem::read_symlink("/proc/self/exe");
#endif
}

}  // namespace

TEST(HostProgram, TheRunningProgramIsAModuleOfItself) {
  LoadClientApi();
  ASSERT_NE(HostModule, nullptr);
  EXPECT_EQ(ClientApi[0], Entry(&ClientApi_GetCurrentUserID));
  EXPECT_EQ(ClientApi[34], Entry(&ClientApi_ShowDocument));
  EXPECT_EQ(ClientApi[1], nullptr);

  char name[256] = "";
  ASSERT_GT(GetModuleFileNameA(HostModule, name, 255), 0u);
  EXPECT_EQ(std::filesystem::path(name), ProgramFile());
  EXPECT_EQ(GetModuleHandleA("workhost.exe"), HostModule);  // any letter case, as on Windows
  EXPECT_EQ(GetModuleHandleA(name), HostModule);
}
