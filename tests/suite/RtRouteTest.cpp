#include "suite/Rt_Route.h"
#include "tests/suite/TestRouterLibrary.h"

#include <cstdint>
#include <gtest/gtest.h>

using namespace suite;
using testing_support::TestRouter;

namespace {

// A window handle of the given number, whether the platform's handles are numbers or pointers.
const HWND HostWindow = (HWND)std::uintptr_t{0x12345};

struct Results {
  DWORD created, sent, destroyed, module;
  HWND window;
};

Results CallEveryWrapper() {
  return {RouteCreateMessage(65535, 7, 0), RouteSendMessage(100), RouteDestroyMessage(100),
          RouteGetModuleHandle("Client"), RouteGetClientMainWindow()};
}

void ExpectFallbacks(const Results& r) {
  EXPECT_EQ(r.created, 0u);
  EXPECT_EQ(r.sent, 6u);
  EXPECT_EQ(r.destroyed, 0u);
  EXPECT_EQ(r.module, 0u);
  EXPECT_EQ(r.window, HWND{});
}

}  // namespace

TEST(RouterBinding, WithoutRouterEveryWrapperFallsBack) {
  RouterModule = nullptr;
  RouterDetached = false;
  LoadRouterEntries();
  for (FARPROC entry : RouterEntries) EXPECT_EQ(entry, nullptr);
  // The running program's own file name is found, so only the null entries decide.
  EXPECT_TRUE(RouterAvailable());
  ExpectFallbacks(CallEveryWrapper());
}

TEST(RouterBinding, ResolvesEveryEntryAndCallsThrough) {
  TestRouter router(TEST_ROUTER_FULL);
  for (std::size_t i = 0; i < RouterEntryCount; ++i)
    EXPECT_NE(RouterEntries[i], nullptr) << RouterEntryNames[i];
  router.SetClientMainWindow(HostWindow);

  DWORD message = RouteCreateMessage(65535, 7, 0);
  EXPECT_NE(message, 0u);
  EXPECT_EQ(RouteSendMessage(message), 0u);  // the router's own result, not the fallback
  EXPECT_EQ(RouteDestroyMessage(message), 1u);
  EXPECT_EQ(RouteGetModuleHandle("Client"), 1u);
  EXPECT_EQ(RouteGetClientMainWindow(), HostWindow);
  EXPECT_EQ(router.Calls(),
            "CreateMessage(65535,7,0);"
            "Deliver(code=0,dest=0,window=0,value=0,text=,params=);DestroyMessage();"
            "GetModuleHandleFromModuleName(Client);GetClientMainWindowHandle();");
}

TEST(RouterBinding, MissingExportsFallBackOthersCallThrough) {
  TestRouter router(TEST_ROUTER_PARTIAL);
  EXPECT_NE(RouterEntries[size_t(RouterEntry::SendMessage)], nullptr);
  EXPECT_NE(RouterEntries[size_t(RouterEntry::GetModuleHandleFromModuleName)], nullptr);
  EXPECT_EQ(RouterEntries[size_t(RouterEntry::Initialize)], nullptr);
  EXPECT_EQ(RouterEntries[size_t(RouterEntry::CreateMessage)], nullptr);

  Results r = CallEveryWrapper();
  EXPECT_EQ(r.created, 0u);
  EXPECT_EQ(r.sent, 0u);
  EXPECT_EQ(r.destroyed, 0u);
  EXPECT_EQ(r.module, 1u);
  EXPECT_EQ(r.window, HWND{});
  EXPECT_EQ(router.Calls(), "SendMessage(100);GetModuleHandleFromModuleName(Client);");
}

TEST(RouterBinding, DetachedStopsEveryCall) {
  TestRouter router(TEST_ROUTER_FULL);
  router.SetClientMainWindow(HostWindow);
  RouterDetached = true;
  EXPECT_FALSE(RouterAvailable());
  ExpectFallbacks(CallEveryWrapper());
  EXPECT_EQ(router.Calls(), "");
}

TEST(RouterBinding, UnloadedRouterIsNoticedWithoutCalling) {
  TestRouter router(TEST_ROUTER_FULL);
  EXPECT_TRUE(RouterAvailable());
  router.Unload();  // the binding keeps its stale handle and entries
  EXPECT_FALSE(RouterAvailable());
  ExpectFallbacks(CallEveryWrapper());
  // The loader may give the next library the place the router had: the handle stays stale.
  void* next = testing_support::LoadModule(TEST_HOST_PATH);
  ASSERT_NE(next, nullptr) << testing_support::LoadError();
  EXPECT_FALSE(RouterAvailable());
  ExpectFallbacks(CallEveryWrapper());
  testing_support::UnloadModule(next);
}

TEST(RouterBinding, EntriesAreResolvedOnceAtStartUp) {
  TestRouter router(TEST_ROUTER_FULL);
  RouterModule = nullptr;  // a later change affects only the availability check
  EXPECT_NE(RouterEntries[size_t(RouterEntry::CreateMessage)], nullptr);
  EXPECT_NE(RouteCreateMessage(0, 1, 0), 0u);
}
