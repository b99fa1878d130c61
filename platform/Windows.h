#pragma once
// The Windows interfaces the units call, with their Windows names and signatures.
// On Windows this is the real API; elsewhere the stand-ins in this folder provide it.

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;

// A module handle names one load of a module and is never given to another; 0 is the running
// program.
using HMODULE = void*;
using HINSTANCE = HMODULE;
using FARPROC = void (*)();

// Global memory and window handles are 32-bit values from handle tables; 0 means none.
using HGLOBAL = std::uint32_t;
using HWND = std::uint32_t;
// Font handles identify font descriptions; 0 means none.
using HFONT = std::uint32_t;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;
constexpr std::size_t MAX_PATH = 260;

// Window styles.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD DS_MODALFRAME = 0x00000080;
constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
constexpr DWORD WS_EX_CONTEXTHELP = 0x00000400;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

// Message box types and results.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_RETRYCANCEL = 0x5;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Global memory flags.
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

constexpr UINT WM_HELP = 0x0053;

// Windows directory and profile files.
UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize);
DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                               LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);
BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                LPCSTR lpFileName);

// Modules.
HMODULE GetModuleHandleA(LPCSTR lpModuleName);
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);

// Global memory.
HGLOBAL GlobalAlloc(UINT uFlags, std::size_t dwBytes);
LPVOID GlobalLock(HGLOBAL hMem);
BOOL GlobalUnlock(HGLOBAL hMem);
HGLOBAL GlobalFree(HGLOBAL hMem);
std::size_t GlobalSize(HGLOBAL hMem);

// Message box.
int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);

// Fonts.
constexpr int LF_FACESIZE = 32;
struct LOGFONTA {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  char lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONTA) == 60);
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;

// Copies at most cbBuffer bytes of the font's description; the count copied, 0 for a bad handle.
int GetObjectA(HFONT h, int cbBuffer, LPVOID lpvObject);
HFONT CreateFontIndirectA(const LOGFONTA* lplf);
BOOL DeleteObject(HFONT ho);

// Context help.
constexpr int HELPINFO_WINDOW = 1;
constexpr int HELPINFO_MENUITEM = 2;
struct POINT {
  LONG x;
  LONG y;
};
struct HELPINFO {
  UINT cbSize;
  int iContextType;
  int iCtrlId;
  HWND hItemHandle;
  DWORD dwContextId;
  POINT MousePos;
};

#endif
