#include "suite/ClientProcs.h"
#include "tests/support/Library.h"

#include <gtest/gtest.h>

using namespace suite;

TEST(ClientApi, OutsideTheHostEveryEntryIsNull) {
  LoadClientApi();
  EXPECT_EQ(HostModule, nullptr);
  for (FARPROC entry : ClientApi) EXPECT_EQ(entry, nullptr);
}

TEST(ClientApi, ALoadedHostResolvesWhatItExportsAndASecondLoadGivesTheSameTable) {
  void* host = testing_support::LoadModule(TEST_HOST_PATH);
  ASSERT_NE(host, nullptr) << testing_support::LoadError();
  LoadClientApi();
  EXPECT_NE(HostModule, nullptr);
  auto entry = [](const char* name) {
    for (std::size_t i = 0; i < ClientApiCount; ++i)
      if (std::string(ClientApiNames[i]) == name) return ClientApi[i];
    return FARPROC(nullptr);
  };
  // Through the generic function type: Windows declares FARPROC with a result of its own.
  auto call = [](FARPROC f) {
    return reinterpret_cast<int (*)()>(reinterpret_cast<void (*)()>(f))();
  };
  ASSERT_NE(entry("ClientApi_GetCurrentUserID"), nullptr);
  EXPECT_EQ(call(entry("ClientAPI_CreateDocumentLoader")), 31);
  EXPECT_EQ(call(ClientApi[34]), 35);  // the last row
  EXPECT_EQ(entry("ClientApi_DestroyEntity"), nullptr);
  int resolved = 0;
  for (FARPROC e : ClientApi) resolved += e != nullptr;
  EXPECT_EQ(resolved, 4);

  auto first = ClientApi;
  HMODULE firstHost = HostModule;
  LoadClientApi();
  EXPECT_EQ(ClientApi, first);
  EXPECT_EQ(HostModule, firstHost);
  testing_support::UnloadModule(host);
}
