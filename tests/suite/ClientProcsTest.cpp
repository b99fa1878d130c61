#include "suite/ClientProcs.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

using namespace suite;

TEST(ClientApi, OutsideTheHostEveryEntryIsNull) {
  LoadClientApi();
  EXPECT_EQ(HostModule, nullptr);
  for (FARPROC entry : ClientApi) EXPECT_EQ(entry, nullptr);
}

TEST(ClientApi, ALoadedHostResolvesWhatItExportsAndASecondLoadGivesTheSameTable) {
  void* host = ::dlopen(TEST_HOST_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(host, nullptr) << ::dlerror();
  LoadClientApi();
  EXPECT_NE(HostModule, nullptr);
  auto entry = [](const char* name) {
    for (std::size_t i = 0; i < ClientApiCount; ++i)
      if (std::string(ClientApiNames[i]) == name) return ClientApi[i];
    return FARPROC(nullptr);
  };
  ASSERT_NE(entry("ClientApi_GetCurrentUserID"), nullptr);
  EXPECT_EQ(reinterpret_cast<int (*)()>(entry("ClientAPI_CreateDocumentLoader"))(), 31);
  EXPECT_EQ(reinterpret_cast<int (*)()>(ClientApi[34])(), 35);  // the last row
  EXPECT_EQ(entry("ClientApi_DestroyEntity"), nullptr);
  int resolved = 0;
  for (FARPROC e : ClientApi) resolved += e != nullptr;
  EXPECT_EQ(resolved, 4);

  auto first = ClientApi;
  HMODULE firstHost = HostModule;
  LoadClientApi();
  EXPECT_EQ(ClientApi, first);
  EXPECT_EQ(HostModule, firstHost);
  ::dlclose(host);
}
