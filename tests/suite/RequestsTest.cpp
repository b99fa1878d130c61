#include "platform/WindowHandles.h"
#include "suite/Rt_forms.h"
#include "tests/suite/TestRouter.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/QtPrinters.h"

#include <QDialog>
#include <gtest/gtest.h>

using namespace suite;
using testing_support::ModalWatcher;
using testing_support::PldServer;
using testing_support::TestRouter;

namespace {

class ServerRequests : public ::testing::Test {
 protected:
  ServerRequests() : router_(TEST_ROUTER_FULL) { ServerModule = &server_; }
  ~ServerRequests() override { ServerModule = nullptr; }

  std::string Calls() const { return router_.Calls(); }
  static std::string Request(DWORD dest, DWORD window, const std::string& text,
                             const std::string& params) {
    return "CreateMessage(65535,7,0);Deliver(code=2040,dest=" + std::to_string(dest) +
           ",window=" + std::to_string(window) + ",value=0,text=" + text + ",params=" + params +
           ");DestroyMessage();";
  }

  PldServer server_;
  TestRouter router_;
};

}  // namespace

TEST_F(ServerRequests, ProcessNamesChooseTheModuleAndTheProcessText) {
  DWORD pcb = router_.Register("PCB");

  EXPECT_TRUE(RunProcess("Open", nullptr, 0, 0));
  EXPECT_TRUE(RunProcess("pcb : Open", nullptr, 0, 0));
  char params[] = "Document = a.pcb | Mode=Edit";
  EXPECT_TRUE(RunProcess(" PCB:Zoom:In ", params, 0, 0x10001));
  EXPECT_EQ(Calls(), "GetModuleHandleFromModuleName(CLIENT);" + Request(1, 0, "OPEN", "") +
                         "GetModuleHandleFromModuleName(PCB);" + Request(pcb, 0, "OPEN", "") +
                         "GetModuleHandleFromModuleName(PCB);" +
                         Request(pcb, 0x10001, "ZOOM:IN", "Document = a.pcb | Mode=Edit"));
}

TEST_F(ServerRequests, AMissingServerIsStartedThroughTheHostOnce) {
  router_.Call("TestRouter_AllowStart", "SIM");
  char params[] = "Run = 1";
  EXPECT_TRUE(RunProcess("sim:Simulate", params, 0, 0));
  EXPECT_EQ(Calls(), "GetModuleHandleFromModuleName(SIM);GetModuleHandleFromModuleName(CLIENT);" +
                         Request(1, 0xFFFF, "SETUPEDASERVERS", "Action = start | Server = SIM") +
                         "GetModuleHandleFromModuleName(SIM);" +
                         Request(2, 0, "SIMULATE", "Run = 1"));
}

TEST_F(ServerRequests, AServerThatCannotBeStartedIsReportedOnce) {
  ModalWatcher watcher;
  watcher.ExpectMessageBox();
  EXPECT_FALSE(RunProcess("Sim: Simulate now", nullptr, 0, 0));
  EXPECT_EQ(watcher.MessageBoxes,
            QStringList{"Brinmark|Cannot run  Simulate now. \rEither server has not been "
                        "installed or\rinsufficient resources to load server."});
  EXPECT_EQ(Calls(), "GetModuleHandleFromModuleName(SIM);GetModuleHandleFromModuleName(CLIENT);" +
                         Request(1, 0xFFFF, "SETUPEDASERVERS", "Action = start | Server = SIM") +
                         "GetModuleHandleFromModuleName(SIM);");
}

TEST_F(ServerRequests, TheBoxBelongsToTheOwnerAndNoWindowShowsNone) {
  QWidget owner;
  ModalWatcher watcher;
  watcher.Expect([&](QWidget* modal) {
    EXPECT_EQ(modal->parentWidget(), &owner);
    static_cast<QDialog*>(modal)->reject();
  });
  EXPECT_FALSE(RunProcess("Sim:Run", nullptr, 0, platform::HandleOf(&owner)));
  EXPECT_FALSE(RunProcess("Sim:Run", nullptr, 0, 0xFFFF));
  EXPECT_EQ(watcher.Modals.size(), 1);
}

TEST_F(ServerRequests, WithoutTheHostTheStartRequestFailsAtOnce) {
  router_.Call("TestRouter_RemoveModule", "Client");
  ModalWatcher watcher;
  watcher.ExpectMessageBox();
  EXPECT_FALSE(RunProcess("Client:SetupEDAServers", nullptr, 0, 0));
  EXPECT_EQ(watcher.MessageBoxes.size(), 1);
  EXPECT_EQ(Calls(),
            "GetModuleHandleFromModuleName(CLIENT);GetModuleHandleFromModuleName(CLIENT);");
}

TEST_F(ServerRequests, RepliesAndParametersAreBoundedByTheBlockAndTheCapacity) {
  router_.Call("TestRouter_SetReply", "Result = done | Detail = all of it");
  char reply[64] = "Query = state";
  EXPECT_TRUE(RunProcess("Open", reply, 10, 0));
  EXPECT_STREQ(reply, "Result = d");

  // A block whose parameter area is smaller than the request: cut, never written past.
  router_.Clear();
  router_.Call("TestRouter_SetParameterArea", std::size_t{8});
  router_.Call("TestRouter_SetReply", "Result = done");
  std::string big(300, 'p');
  EXPECT_TRUE(RunProcess("Open", big.data(), 255, 0));
  EXPECT_STREQ(big.c_str(), "Result ");  // the block holds 7 characters and a NUL
  EXPECT_EQ(Calls(), "GetModuleHandleFromModuleName(CLIENT);" + Request(1, 0, "OPEN", "ppppppp"));
}

TEST_F(ServerRequests, CodedMessagesCarryAValueBothWays) {
  router_.Call("TestRouter_SetFontHandle", std::size_t{0});
  auto setFont = [&](DWORD font) { router_.Call("TestRouter_SetFontHandle", std::size_t{font}); };
  setFont(77);
  EXPECT_EQ(SendServerMessage(1450, ClientModuleHandle(), 0, "font please", 5), 77u);
  EXPECT_EQ(Calls(),
            "GetModuleHandleFromModuleName(Client);CreateMessage(0,7,0);"
            "Deliver(code=1450,dest=1,window=0,value=5,text=font please,params=);"
            "DestroyMessage();");
}

TEST_F(ServerRequests, WithoutAServerModuleNothingIsSent) {
  ServerModule = nullptr;
  EXPECT_FALSE(RunProcess("Open", nullptr, 0, 0));
  EXPECT_EQ(SendServerMessage(1450, 1, 0, "", 0), 0u);
  TServerDialog dialog;
  QFont before = dialog.font();
  HELPINFO info{sizeof(HELPINFO), HELPINFO_WINDOW, 0, 0x10000, 0, {0, 0}};
  dialog.WMHelp(&info);
  dialog.show();
  EXPECT_EQ(dialog.font(), before);
  EXPECT_EQ(Calls().find("CreateMessage"), std::string::npos) << Calls();
}

TEST(ServerRequestsWithoutRouter, GiveUpQuietly) {
  PldServer server;
  ServerModule = &server;
  RouterModule = nullptr;
  LoadRouterEntries();
  ModalWatcher watcher;
  watcher.ExpectMessageBox();
  EXPECT_EQ(ClientModuleHandle(), 0u);
  EXPECT_EQ(SendServerMessage(1450, 1, 0, "", 0), 0u);
  // Without a router no module is found: the process is reported as unreachable.
  EXPECT_FALSE(RunProcess("PCB:Open", nullptr, 0, 0));
  EXPECT_EQ(watcher.MessageBoxes.size(), 1);
  ServerModule = nullptr;
}
