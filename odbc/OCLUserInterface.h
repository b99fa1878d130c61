#pragma once
// What the library shows to the user goes through these hooks, so that its core needs no
// windowing toolkit. The error-dialog unit (OCLError) fills them at its start-up; a program
// without it gets no dialogs: a failed connect of a stored description is then raised to the
// reader's caller instead of being shown.

#include "odbc/OCLSql.h"

#include <functional>
#include <string>

namespace ocl {

class EODBC;

struct TOCLUserInterface {
  // Shows a failed ODBC call with a one-line summary (modal).
  std::function<void(const EODBC& E, const std::string& Summary)> ShowError;
  // Shows a warning message box with an OK button (modal).
  std::function<void(const std::string& Text)> ShowWarning;
  // The window the driver manager may use as parent of its dialogs when the environment has
  // no PromptWindow: the application's main form, or null.
  std::function<SQLHWND()> MainWindow;
  // Lets the application handle its pending events between two polls of an asynchronous
  // execution. Without it, the library rests a moment between polls instead.
  std::function<void()> ProcessMessages;
};

void SetUserInterface(TOCLUserInterface Hooks);
const TOCLUserInterface& UserInterface();

}  // namespace ocl
