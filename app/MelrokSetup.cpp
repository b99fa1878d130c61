// The program entry of the PLD add-on's fitter setup utility.

#include "app/MelSet.h"
#include "app/ModuleTable.h"
#include "rtl/Application.h"

int main(int argc, char** argv) {
  int exitCode = 0;
  {
    rtl::Application application(argc, argv);  // the framework's start-up comes first
    app::RunStartups();
    application.Initialize();
    application.CreateForm(app::MelrokForm);
    application.Run();
    app::RunShutdowns();
    app::MelrokForm = nullptr;
  }  // the framework's clean-up destroys the main window and the application object last
  return exitCode;
}
