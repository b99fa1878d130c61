#pragma once
// The test router (TestRouterLibrary.h) and a server module, for the tests of server requests and
// server windows.

#include "suite/Rt_forms.h"
#include "tests/suite/TestRouterLibrary.h"

namespace testing_support {

// A server module as a server would set it up.
class PldServer : public suite::TServerModule {
 public:
  explicit PldServer(const char* helpFile = "PLD.HLP") {
    Identifier = 7;
    HelpFile = helpFile;
  }
  rtl::ShortString GetServerName() override { return "PLD"; }
};

}  // namespace testing_support
