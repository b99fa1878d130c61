// The program entry of the PLD add-on's fitter setup utility.

#include "app/MelSet.h"
#include "app/ModuleTable.h"
#include "rtl/Application.h"

int main(int argc, char** argv) {
  {
    rtl::Application application(argc, argv);  // the framework's start-up comes first
    // A module that cannot start has been reported; the program cannot run without it.
    if (!app::StartModules()) return 1;
    application.Initialize();
    application.CreateForm(app::MelrokForm);
    application.Run();
    app::RunShutdowns();
    app::MelrokForm = nullptr;
  }  // the framework's clean-up destroys the main window and the application object last
  return 0;
}
