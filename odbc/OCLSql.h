#pragma once
// The ODBC headers, made to live beside the platform's Windows stand-ins: without windows.h,
// unixODBC declares its own BOOL (a macro) and HWND (a pointer), which clash with ours. The
// library itself uses only SQLHWND, so its HWND goes under another name and its BOOL macro
// is dropped; the platform's BOOL is the same int.

#ifdef _WIN32
#include <windows.h>
#include <sql.h>
#include <sqlext.h>
#else
#define HWND ocl_unixodbc_HWND
#include <sql.h>
#include <sqlext.h>
#undef HWND
#undef BOOL
#endif
