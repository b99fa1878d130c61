#pragma once
// Loads the test router library and binds the router to it for one test.

#include "suite/Rt_Route.h"
#include "tests/support/Library.h"

#include <gtest/gtest.h>
#include <string>

namespace testing_support {

class TestRouter {
 public:
  explicit TestRouter(const char* path) {
    handle_ = LoadModule(path);
    EXPECT_NE(handle_, nullptr) << LoadError();
    // The module handle of the router the loader now holds, as the system would find it.
    suite::RouterModule = GetModuleHandleA(path);
    suite::RouterDetached = false;
    suite::LoadRouterEntries();
    Clear();
  }
  ~TestRouter() {
    Unbind();
    Unload();
  }

  std::string Calls() const {
    auto calls = Function<const char*()>("TestRouter_Calls");
    return calls ? calls() : "";
  }
  void SetClientMainWindow(HWND window) const {
    if (auto set = Function<void(HWND)>("TestRouter_SetClientMainWindow")) set(window);
  }
  DWORD Register(const char* module) const {
    auto reg = Function<DWORD(const char*)>("Router_RegisterModule");
    return reg ? reg(module) : 0;
  }
  void Call(const char* function, const char* argument) const {
    if (auto f = Function<void(const char*)>(function)) f(argument);
  }
  void Call(const char* function, std::size_t argument) const {
    if (auto f = Function<void(std::size_t)>(function)) f(argument);
  }
  void Clear() const { Call("TestRouter_Clear", static_cast<const char*>(nullptr)); }
  void Unbind() {
    suite::RouterModule = nullptr;
    suite::RouterDetached = false;
    suite::LoadRouterEntries();
  }
  // Unloads the library while the binding still holds its handle and entries.
  void Unload() {
    if (handle_) UnloadModule(handle_);
    handle_ = nullptr;
  }

 private:
  template <class F>
  F* Function(const char* name) const {
    return handle_ ? ModuleSymbol<F>(handle_, name) : nullptr;
  }
  void* handle_ = nullptr;
};

}  // namespace testing_support
