#include "app/INIUtil.h"
#include "app/ModuleTable.h"
#include "suite/DDB_Names.h"
#include "suite/Rt_Param.h"
#include "suite/Rt_Util.h"
#include "rtl/Application.h"
#include "rtl/Exceptions.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace app;

TEST(ModuleTable, StartUpsRunInTableOrderAndShutDownsInReverse) {
  testing_support::TempFolder folder;
  testing_support::ScopedEnv windir("WINDIR", folder.Path().c_str());
  SetIniFileName("");

  std::vector<std::string> seen;
  std::vector<std::string> pathWhenSeen;
  auto observe = [&](const ModuleRow& row) {
    seen.push_back(std::to_string(row.Order) + " " + row.Module);
    pathWhenSeen.push_back(IniFileName());
  };
  RunStartups(observe);
  const std::vector<std::string> order = {
      "1 framework",   "2 Rt_Route", "3 Rt_Param", "4 DDB_Address", "5 ClientProcs",
      "5 ClientProcs", "6 OCLError", "7 OCL",      "8 Rt_forms",    "9 DDB_Names",
      "10 Rt_Util",    "11 INIUtil", "12 MelSet"};
  EXPECT_EQ(seen, order);
  // The settings-file path is fixed by its own row, after the suite units and before the window.
  const std::string path = folder.Path() + "\\Tessora.INI";
  EXPECT_EQ(pathWhenSeen[9], "");
  EXPECT_EQ(pathWhenSeen[11], path);

  seen.clear();
  RunShutdowns(observe);
  EXPECT_EQ(seen, std::vector<std::string>(order.rbegin(), order.rend()));
  EXPECT_EQ(std::string(IniFileName()), path);  // keeps its value until the process ends
}

TEST(ModuleTable, SuiteStringUnitsMakeTheirProcessWideObjectsAndReleaseThem) {
  testing_support::TempFolder folder;
  testing_support::ScopedEnv windir("WINDIR", folder.Path().c_str());
  suite::StartStamp = rtl::ShortString();

  RunStartups();
  EXPECT_NE(suite::ParameterList, nullptr);
  ASSERT_NE(suite::LastParameterString, nullptr);
  EXPECT_STREQ(suite::LastParameterString.get(), "");
  EXPECT_NE(suite::WildCard, nullptr);
  EXPECT_NE(suite::ScratchBuffer, nullptr);
  EXPECT_GE(suite::StartStamp.size(), 6u);  // year, month, day, seconds

  RunShutdowns();
  EXPECT_EQ(suite::ParameterList, nullptr);
  EXPECT_EQ(suite::LastParameterString, nullptr);
  EXPECT_EQ(suite::WildCard, nullptr);
  EXPECT_EQ(suite::ScratchBuffer, nullptr);
}

namespace {

std::string trail;
void StartA() { trail += "start A;"; }
void StopA() { trail += "stop A;"; }
void StartB() { trail += "start B;"; }
void StopB() { throw rtl::Exception("B cannot stop"); }
void FailC() { throw rtl::Exception("Cannot allocate the environment"); }
void StopC() { trail += "stop C;"; }
void StartD() { trail += "start D;"; }

}  // namespace

TEST(ModuleTable, AStartUpThatRaisesIsShownAfterTheStartedModulesShutDownInReverse) {
  const ModuleRow rows[] = {{1, "A", StartA, StopA},
                            {2, "B", StartB, StopB},
                            {3, "C", FailC, StopC},
                            {4, "D", StartD, nullptr}};
  rtl::Application::Instance()->SetTitle("PLDMelrokSetup");
  testing_support::ModalWatcher watcher;
  watcher.ExpectMessageBox();
  EXPECT_FALSE(StartModules(rows));
  // B's own failure to stop does not hide C's failure to start, nor stop A's shut-down.
  EXPECT_EQ(trail, "start A;start B;stop A;");
  EXPECT_EQ(watcher.MessageBoxes, QStringList{"PLDMelrokSetup|Cannot allocate the environment."});
}
