#pragma once
// The test router, and a server module as a server would set it up.

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
