#include "app/ModuleTable.h"

#include "app/INIUtil.h"
#include "odbc/OCL.h"
#include "odbc/OCLError.h"
#include "rtl/Application.h"
#include "rtl/Exceptions.h"
#include "suite/ClientProcs.h"
#include "suite/DDB_Names.h"
#include "suite/Rt_Param.h"
#include "suite/Rt_Route.h"
#include "suite/Rt_Util.h"

#include <array>

namespace app {
namespace {

const std::array<ModuleRow, 13> Rows = {{
    {1, "framework", nullptr, nullptr},  // the application object, outside the table's calls
    {2, "Rt_Route", suite::Rt_Route_Startup, nullptr},
    {3, "Rt_Param", suite::Rt_Param_Startup, suite::Rt_Param_Shutdown},
    {4, "DDB_Address", nullptr, nullptr},
    {5, "ClientProcs", suite::ClientProcs_Startup, nullptr},
    {5, "ClientProcs", suite::ClientProcs_Startup, nullptr},  // a second unit binds it again
    {6, "OCLError", ocl::OCLError_Startup, ocl::OCLError_Shutdown},
    {7, "OCL", ocl::OCL_Startup, ocl::OCL_Shutdown},
    {8, "Rt_forms", nullptr, nullptr},
    {9, "DDB_Names", suite::DDB_Names_Startup, nullptr},
    {10, "Rt_Util", suite::Rt_Util_Startup, suite::Rt_Util_Shutdown},
    {11, "INIUtil", INIUtil_Startup, nullptr},
    {12, "MelSet", nullptr, nullptr},
}};

}  // namespace

std::span<const ModuleRow> ModuleTable() { return Rows; }

void RunStartups(const ModuleObserver& observe, std::span<const ModuleRow> rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    try {
      if (rows[i].Startup) rows[i].Startup();
    } catch (...) {
      // The failed module did not start; those before it did and are shut down again. The
      // start-up failure is the one to report, so a shut-down failing now is not.
      for (std::size_t j = i; j-- > 0;) {
        try {
          if (rows[j].Shutdown) rows[j].Shutdown();
        } catch (...) {
        }
      }
      throw;
    }
    if (observe) observe(rows[i]);
  }
}

void RunShutdowns(const ModuleObserver& observe, std::span<const ModuleRow> rows) {
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    if (it->Shutdown) it->Shutdown();
    if (observe) observe(*it);
  }
}

bool StartModules(std::span<const ModuleRow> rows) {
  try {
    RunStartups({}, rows);
    return true;
  } catch (const std::exception& error) {
    rtl::Application::Instance()->HandleException(error);
  } catch (...) {
    rtl::Application::Instance()->HandleException(rtl::Exception("Unknown exception"));
  }
  return false;
}

}  // namespace app
