#include "odbc/OCLUserInterface.h"

namespace ocl {

namespace {
TOCLUserInterface& Hooks() {
  static TOCLUserInterface hooks;
  return hooks;
}
}  // namespace

void SetUserInterface(TOCLUserInterface Hooks_) { Hooks() = std::move(Hooks_); }

const TOCLUserInterface& UserInterface() { return Hooks(); }

}  // namespace ocl
