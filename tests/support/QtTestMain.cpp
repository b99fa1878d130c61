// The main of every test program: a GoogleTest run inside the framework's application object,
// so that widgets, message boxes and the default exception handler are the real ones.

#include "rtl/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  rtl::Application application(argc, argv);
  return RUN_ALL_TESTS();
}
