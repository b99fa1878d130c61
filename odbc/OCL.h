#pragma once
// The ODBC access library: handle components over the ODBC 3 call-level interface, with
// diagnostics raised as EODBC. Start it with OCL_Startup and end it with OCL_Shutdown.

#include "odbc/OCLBase.h"
#include "odbc/OCLCells.h"
#include "odbc/OCLConnection.h"
#include "odbc/OCLEnvironment.h"
#include "odbc/OCLErrors.h"
#include "odbc/OCLRows.h"
#include "odbc/OCLStatement.h"
#include "odbc/OCLTranslate.h"
#include "odbc/OCLTypes.h"
#include "odbc/OCLUserInterface.h"
