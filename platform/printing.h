// Platform layer: the print spooler (printers and paper forms), movable memory blocks, device
// contexts, and the framework's print dialog that names the default printer.
#pragma once

#include <cstddef>

#include "framework.h"
#include "windows_types.h"

#ifdef _WIN32
#include <commdlg.h>
#include <winspool.h>
#else

struct HDC__;
using HDC = HDC__*;
using HGLOBAL = HANDLE;
using LPHANDLE = HANDLE*;
using ACCESS_MASK = DWORD;

constexpr LONG ERROR_INVALID_LEVEL = 124;
constexpr LONG ERROR_INVALID_PRINTER_NAME = 1801;
constexpr LONG ERROR_INVALID_FORM_NAME = 1902;
constexpr LONG ERROR_INVALID_FORM_SIZE = 1903;

// Movable memory blocks, as the common dialogs hand them out.
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
HGLOBAL GlobalAlloc(UINT uFlags, std::size_t dwBytes);
LPVOID GlobalLock(HGLOBAL hMem);
// TRUE while the block stays locked; FALSE with GetLastError() 0 once it is unlocked.
BOOL GlobalUnlock(HGLOBAL hMem);
// Null on success, the handle itself on failure.
HGLOBAL GlobalFree(HGLOBAL hMem);

BOOL DeleteDC(HDC hdc);

// Paper forms, sizes in thousandths of a millimetre.
struct SIZEL {
  LONG cx;
  LONG cy;
};
struct RECTL {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
constexpr DWORD FORM_USER = 0x00000000;
constexpr DWORD FORM_BUILTIN = 0x00000001;
constexpr DWORD FORM_PRINTER = 0x00000002;
struct FORM_INFO_1W {
  DWORD Flags;
  LPWSTR pName;
  SIZEL Size;
  RECTL ImageableArea;
};

struct DEVMODEW;
struct PRINTER_DEFAULTSW {
  LPWSTR pDatatype;
  DEVMODEW* pDevMode;
  ACCESS_MASK DesiredAccess;
};
constexpr ACCESS_MASK PRINTER_ACCESS_ADMINISTER = 0x00000004;
constexpr ACCESS_MASK PRINTER_ACCESS_USE = 0x00000008;
constexpr ACCESS_MASK PRINTER_ALL_ACCESS = 0x000F000C;

BOOL OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, PRINTER_DEFAULTSW* pDefault);
BOOL ClosePrinter(HANDLE hPrinter);
// Forms belong to the machine: any open printer reaches all of them.
BOOL SetFormW(HANDLE hPrinter, LPWSTR pFormName, DWORD Level, LPBYTE pForm);
BOOL AddFormW(HANDLE hPrinter, DWORD Level, LPBYTE pForm);

// The device-names block: offsets count characters from the block's start.
struct DEVNAMES {
  WORD wDriverOffset;
  WORD wDeviceOffset;
  WORD wOutputOffset;
  WORD wDefault;
};
constexpr WORD DN_DEFAULTPRN = 0x0001;

constexpr DWORD PD_ALLPAGES = 0x00000000;
constexpr DWORD PD_NOSELECTION = 0x00000004;
constexpr DWORD PD_NOPAGENUMS = 0x00000008;
constexpr DWORD PD_PRINTSETUP = 0x00000040;
constexpr DWORD PD_RETURNDC = 0x00000100;
constexpr DWORD PD_RETURNDEFAULT = 0x00000400;
constexpr DWORD PD_USEDEVMODECOPIES = 0x00040000;
constexpr DWORD PD_HIDEPRINTTOFILE = 0x00100000;

struct PRINTDLGW {
  DWORD lStructSize;
  HWND hwndOwner;
  HGLOBAL hDevMode;
  HGLOBAL hDevNames;
  HDC hDC;
  DWORD Flags;
  WORD nFromPage;
  WORD nToPage;
  WORD nMinPage;
  WORD nMaxPage;
  WORD nCopies;
  HINSTANCE hInstance;
  LPARAM lCustData;
  void* lpfnPrintHook;
  void* lpfnSetupHook;
  LPCWSTR lpPrintTemplateName;
  LPCWSTR lpSetupTemplateName;
  HGLOBAL hPrintTemplate;
  HGLOBAL hSetupTemplate;
};

#endif  // _WIN32

// The framework's print dialog. GetDefaults asks the system for the default printer without
// showing anything; on success m_pd holds the device-names and device-mode blocks (and a device
// context unless constructed for print setup only), which the caller releases.
class CPrintDialog {
 public:
  explicit CPrintDialog(BOOL bPrintSetupOnly,
                        DWORD dwFlags = PD_ALLPAGES | PD_USEDEVMODECOPIES | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE |
                                        PD_NOSELECTION,
                        CWnd* pParentWnd = nullptr);
  CPrintDialog(const CPrintDialog&) = delete;
  CPrintDialog& operator=(const CPrintDialog&) = delete;

  BOOL GetDefaults();

  PRINTDLGW m_pd;
};
