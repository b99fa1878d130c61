#include "platform/WindowHandles.h"
#include "platform/Windows.h"
#include "tests/support/ModalWatcher.h"

#include <QMessageBox>
#include <QPushButton>
#include <QWidget>
#include <cstring>
#include <dlfcn.h>
#include <gtest/gtest.h>

TEST(GlobalMemory, BlocksLiveUntilFreedAndStaleHandlesAreRefused) {
  HGLOBAL block = GlobalAlloc(GHND, 600);
  ASSERT_NE(block, 0u);
  EXPECT_EQ(GlobalSize(block), 600u);
  auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes[599], 0);  // zero-initialised
  std::memset(bytes, 7, 600);
  EXPECT_FALSE(GlobalUnlock(block));  // the last lock went
  EXPECT_EQ(static_cast<unsigned char*>(GlobalLock(block))[599], 7);
  GlobalUnlock(block);

  EXPECT_EQ(GlobalFree(block), 0u);
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_EQ(GlobalSize(block), 0u);
  EXPECT_EQ(GlobalFree(block), block);  // freeing twice fails
  EXPECT_EQ(GlobalLock(0), nullptr);
  // A new block never reuses the handle of a freed one.
  HGLOBAL next = GlobalAlloc(GMEM_MOVEABLE, 1);
  EXPECT_NE(next, block);
  GlobalFree(next);
}

TEST(WindowHandles, IdentifyLiveWidgetsOnly) {
  EXPECT_EQ(platform::WidgetOf(0), nullptr);
  EXPECT_EQ(platform::WidgetOf(platform::NoWindow), nullptr);
  EXPECT_EQ(platform::WidgetOf(0x7FFFFFFF), nullptr);
  auto* widget = new QWidget;
  HWND handle = platform::HandleOf(widget);
  EXPECT_GT(handle, 0xFFFFu);
  EXPECT_EQ(platform::HandleOf(widget), handle);
  EXPECT_EQ(platform::WidgetOf(handle), widget);
  delete widget;
  EXPECT_EQ(platform::WidgetOf(handle), nullptr);
}

TEST(Modules, FindLoadedModulesWithoutLoadingAny) {
  char name[256] = "";
  ASSERT_GT(GetModuleFileNameA(nullptr, name, 255), 0u);  // the running program
  EXPECT_NE(std::strstr(name, "platform_tests"), nullptr);
  EXPECT_EQ(GetModuleFileNameA(nullptr, name, 5), 4u);  // cut to the buffer
  EXPECT_EQ(std::strlen(name), 4u);

  EXPECT_EQ(GetModuleHandleA("libsqlite3odbc.so"), nullptr);  // never loaded here
  HMODULE libc = GetModuleHandleA("libc.so.6");
  ASSERT_NE(libc, nullptr);
  EXPECT_NE(GetProcAddress(libc, "strlen"), nullptr);
  EXPECT_EQ(GetProcAddress(libc, "No_Such_Entry"), nullptr);
  ASSERT_GT(GetModuleFileNameA(libc, name, 255), 0u);
  EXPECT_NE(std::strstr(name, "libc.so.6"), nullptr);

  int unrelated = 0;  // not a module handle: refused without being read
  EXPECT_EQ(GetModuleFileNameA(&unrelated, name, 255), 0u);
  EXPECT_EQ(GetProcAddress(&unrelated, "strlen"), nullptr);
}

TEST(MessageBox, AnswersWithTheButtonChosen) {
  testing_support::ModalWatcher watcher;
  watcher.Expect([](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(MessageBoxA(0, "Replace the file?", "Setup", MB_YESNO | MB_ICONQUESTION), IDNO);
  watcher.Expect([](QWidget* modal) { static_cast<QMessageBox*>(modal)->reject(); });
  EXPECT_EQ(MessageBoxA(0, "Go on?", "Setup", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(watcher.MessageBoxes, (QStringList{"Setup|Replace the file?", "Setup|Go on?"}));

  // An owner that is no window refuses the box.
  EXPECT_EQ(MessageBoxA(platform::NoWindow, "Unseen", "Setup", MB_OK), 0);
  auto* gone = new QWidget;
  HWND handle = platform::HandleOf(gone);
  delete gone;
  EXPECT_EQ(MessageBoxA(handle, "Unseen", "Setup", MB_OK), 0);
  EXPECT_EQ(watcher.MessageBoxes.size(), 2);
}
