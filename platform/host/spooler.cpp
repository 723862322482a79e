// Host platform: printers and paper forms kept where Windows keeps them, in the registry of the
// emulated machine; movable memory blocks, device contexts and the print dialog's defaults.
#include "spooler.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "emulated_machine.h"
#include "platform/files.h"
#include "platform/printing.h"
#include "platform/registry.h"
#include "text.h"

// A device context of the host: it only remembers the printer it was made for.
struct HDC__ {
  std::wstring device;
};

namespace {

constexpr const wchar_t* kPrintersKey = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
constexpr const wchar_t* kFormsKey = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Forms";
constexpr const wchar_t* kUserWindowsKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const wchar_t* kDriver = L"winspool";
constexpr const wchar_t* kPort = L"Ne00:";
constexpr REGSAM kSpoolerAccess = KEY_ALL_ACCESS | KEY_WOW64_64KEY;

// A form value: Size.cx, Size.cy, ImageableArea.left, top, right, bottom, then the form's flags,
// each a little-endian 32-bit number.
constexpr std::size_t kFormFields = 7;

struct StoredForm {
  LONG fields[kFormFields];
};

struct BuiltInForm {
  const wchar_t* name;
  LONG width;
  LONG height;
};
constexpr BuiltInForm kBuiltInForms[] = {
    {L"Letter", 215900, 279400},
    {L"Legal", 215900, 355600},
    {L"A4", 210000, 297000},
    {L"A5", 148000, 210000},
};

std::vector<BYTE> FormBytes(const StoredForm& form) {
  std::vector<BYTE> bytes;
  for (LONG field : form.fields) {
    const auto value = static_cast<DWORD>(field);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<BYTE>((value >> shift) & 0xFF));
  }
  return bytes;
}

// Reads form `name`; false when there is none (or what is stored is not a form).
bool ReadForm(HKEY forms, const std::wstring& name, StoredForm& form) {
  BYTE bytes[256] = {};  // room for a form written in a longer layout of its own
  DWORD type = 0;
  DWORD size = sizeof bytes;
  if (RegQueryValueExW(forms, name.c_str(), nullptr, &type, bytes, &size) != ERROR_SUCCESS) return false;
  // The first 24 bytes are the sizes and the imageable area; a form stored without flags has none.
  if (type != REG_BINARY || size < (kFormFields - 1) * 4) return false;
  for (std::size_t i = 0; i < kFormFields; ++i) {
    DWORD value = 0;
    for (int b = 3; b >= 0; --b) value = (value << 8) | bytes[i * 4 + b];
    form.fields[i] = static_cast<LONG>(value);
  }
  return true;
}

LONG WriteForm(HKEY forms, const std::wstring& name, const StoredForm& form) {
  const std::vector<BYTE> bytes = FormBytes(form);
  LONG result = RegSetValueExW(forms, name.c_str(), 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
  if (result == ERROR_SUCCESS) RegFlushKey(forms);
  return result;
}

bool FormExists(HKEY forms, const std::wstring& name) {
  return RegQueryValueExW(forms, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

HKEY OpenKey(HKEY root, const wchar_t* path, bool create) {
  HKEY key = nullptr;
  LONG result = create ? RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, kSpoolerAccess, nullptr,
                                         &key, nullptr)
                       : RegOpenKeyExW(root, path, 0, kSpoolerAccess, &key);
  return result == ERROR_SUCCESS ? key : nullptr;
}

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

// A name the spooler can hold as one key, and that the "NAME,driver,port" record can carry.
bool IsPrinterName(const std::wstring& name) {
  return !name.empty() && name.find_first_of(L"\\,") == std::wstring::npos;
}

bool PrinterExists(const std::wstring& name) {
  if (!IsPrinterName(name)) return false;
  HKEY key = OpenKey(HKEY_LOCAL_MACHINE, (std::wstring(kPrintersKey) + L"\\" + name).c_str(), false);
  if (!key) return false;
  RegCloseKey(key);
  return true;
}

// The user's default printer as Windows records it: "NAME,winspool,PORT".
std::wstring DefaultPrinterName() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kUserWindowsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
  DWORD size = 0;
  DWORD type = 0;
  std::wstring device;
  if (RegQueryValueExW(key, L"Device", nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
    std::vector<WCHAR> text(size / sizeof(WCHAR) + 1, L'\0');
    if (RegQueryValueExW(key, L"Device", nullptr, &type, reinterpret_cast<LPBYTE>(text.data()), &size) ==
        ERROR_SUCCESS)
      device = text.data();
  }
  RegCloseKey(key);
  return device.substr(0, device.find(L','));
}

// Handles that are live, so that a closed or made-up one is refused instead of followed.
struct OpenPrinter {
  std::wstring name;
  ACCESS_MASK access;
};
struct MemoryBlock {
  std::vector<BYTE> bytes;
  unsigned locks = 0;
};

std::mutex& LiveMutex() {
  static std::mutex mutex;
  return mutex;
}
std::unordered_set<void*>& LiveObjects() {
  static std::unordered_set<void*> objects;
  return objects;
}
void Remember(void* object) {
  std::lock_guard<std::mutex> lock(LiveMutex());
  LiveObjects().insert(object);
}
bool IsLive(void* object) {
  std::lock_guard<std::mutex> lock(LiveMutex());
  return object && LiveObjects().count(object) != 0;
}
bool Forget(void* object) {
  std::lock_guard<std::mutex> lock(LiveMutex());
  return object && LiveObjects().erase(object) != 0;
}

OpenPrinter* PrinterFrom(HANDLE handle) {
  auto* printer = reinterpret_cast<OpenPrinter*>(handle);
  return IsLive(printer) ? printer : nullptr;
}
MemoryBlock* BlockFrom(HGLOBAL handle) {
  auto* block = reinterpret_cast<MemoryBlock*>(handle);
  return IsLive(block) ? block : nullptr;
}

// Checks the level-1 record and turns it into what is stored.
LONG FormFromRecord(DWORD level, LPBYTE record, StoredForm& form, std::wstring* name) {
  if (level != 1) return ERROR_INVALID_LEVEL;
  if (!record) return ERROR_INVALID_PARAMETER;
  const auto* info = reinterpret_cast<const FORM_INFO_1W*>(record);
  if (info->Flags != FORM_USER) return ERROR_INVALID_PARAMETER;
  if (name) {
    if (!info->pName || !*info->pName) return ERROR_INVALID_FORM_NAME;
    *name = info->pName;
  }
  const SIZEL& size = info->Size;
  const RECTL& area = info->ImageableArea;
  if (size.cx <= 0 || size.cy <= 0 || area.left < 0 || area.top < 0 || area.left > area.right ||
      area.top > area.bottom || area.right > size.cx || area.bottom > size.cy)
    return ERROR_INVALID_FORM_SIZE;
  form = {{size.cx, size.cy, area.left, area.top, area.right, area.bottom, static_cast<LONG>(FORM_USER)}};
  return ERROR_SUCCESS;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

HGLOBAL BlockOf(const void* data, std::size_t size) {
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (!handle) return nullptr;
  std::memcpy(GlobalLock(handle), data, size);
  GlobalUnlock(handle);
  return handle;
}

}  // namespace

namespace host {

void PrepareSpooler() {
  if (HKEY forms = OpenKey(HKEY_LOCAL_MACHINE, kFormsKey, true)) {
    for (const BuiltInForm& builtIn : kBuiltInForms) {
      if (FormExists(forms, builtIn.name)) continue;
      const LONG width = builtIn.width, height = builtIn.height;
      WriteForm(forms, builtIn.name, {{width, height, 0, 0, width, height, static_cast<LONG>(FORM_BUILTIN)}});
    }
    RegCloseKey(forms);
  }
  const std::wstring printer = WideFromUtf8(Machine().defaultPrinter);
  if (!IsPrinterName(printer)) return;
  // Once per machine, marked by the spool folder value Windows keeps on the printers key: a
  // printer removed after the first start stays removed.
  HKEY printers = OpenKey(HKEY_LOCAL_MACHINE, kPrintersKey, true);
  if (!printers) return;
  const bool prepared =
      RegQueryValueExW(printers, L"DefaultSpoolDirectory", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  if (!prepared) SetString(printers, L"DefaultSpoolDirectory", L"C:\\Windows\\system32\\spool\\PRINTERS");
  RegCloseKey(printers);
  if (prepared) return;
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kPrintersKey) + L"\\" + printer).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, kSpoolerAccess, nullptr, &key, &disposition) != ERROR_SUCCESS)
    return;
  if (disposition == REG_CREATED_NEW_KEY) {
    SetString(key, L"Name", printer);
    SetString(key, L"Port", kPort);
    SetString(key, L"Printer Driver", kDriver);
    // The machine's printer is the user's default from the start.
    if (HKEY windows = OpenKey(HKEY_CURRENT_USER, kUserWindowsKey, true)) {
      if (RegQueryValueExW(windows, L"Device", nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        SetString(windows, L"Device", printer + L"," + kDriver + L"," + kPort);
      RegCloseKey(windows);
    }
  }
  RegCloseKey(key);
}

}  // namespace host

HGLOBAL GlobalAlloc(UINT, std::size_t dwBytes) {
  auto* block = new (std::nothrow) MemoryBlock;
  if (!block) return nullptr;
  try {
    block->bytes.assign(dwBytes, 0);
  } catch (...) {
    delete block;
    return nullptr;
  }
  Remember(block);
  return reinterpret_cast<HGLOBAL>(block);
}

LPVOID GlobalLock(HGLOBAL hMem) {
  MemoryBlock* block = BlockFrom(hMem);
  if (!block) return nullptr;
  ++block->locks;
  return block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL hMem) {
  MemoryBlock* block = BlockFrom(hMem);
  if (!block) return Fail(ERROR_INVALID_HANDLE);
  if (block->locks == 0 || --block->locks == 0) {
    SetLastError(ERROR_SUCCESS);
    return FALSE;
  }
  return TRUE;
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
  auto* block = reinterpret_cast<MemoryBlock*>(hMem);
  if (!Forget(block)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return hMem;
  }
  delete block;
  return nullptr;
}

BOOL DeleteDC(HDC hdc) {
  if (!Forget(hdc)) return FALSE;
  delete hdc;
  return TRUE;
}

BOOL OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, PRINTER_DEFAULTSW* pDefault) {
  if (!phPrinter) return Fail(ERROR_INVALID_PARAMETER);
  *phPrinter = nullptr;
  host::PrepareSpooler();
  const std::wstring name = pPrinterName ? pPrinterName : L"";
  if (!PrinterExists(name)) return Fail(ERROR_INVALID_PRINTER_NAME);
  auto* printer = new (std::nothrow) OpenPrinter{name, pDefault ? pDefault->DesiredAccess : PRINTER_ACCESS_USE};
  if (!printer) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  Remember(printer);
  *phPrinter = reinterpret_cast<HANDLE>(printer);
  return TRUE;
}

BOOL ClosePrinter(HANDLE hPrinter) {
  auto* printer = reinterpret_cast<OpenPrinter*>(hPrinter);
  if (!Forget(printer)) return Fail(ERROR_INVALID_HANDLE);
  delete printer;
  return TRUE;
}

BOOL SetFormW(HANDLE hPrinter, LPWSTR pFormName, DWORD Level, LPBYTE pForm) {
  OpenPrinter* printer = PrinterFrom(hPrinter);
  if (!printer) return Fail(ERROR_INVALID_HANDLE);
  if (!(printer->access & PRINTER_ACCESS_ADMINISTER)) return Fail(ERROR_ACCESS_DENIED);
  StoredForm form{};
  if (LONG error = FormFromRecord(Level, pForm, form, nullptr)) return Fail(error);
  if (!pFormName || !*pFormName) return Fail(ERROR_INVALID_FORM_NAME);
  HKEY forms = OpenKey(HKEY_LOCAL_MACHINE, kFormsKey, false);
  if (!forms) return Fail(ERROR_INVALID_FORM_NAME);
  StoredForm existing{};
  LONG result = ERROR_SUCCESS;
  if (!ReadForm(forms, pFormName, existing)) result = ERROR_INVALID_FORM_NAME;
  // The built-in forms are the system's: they cannot be changed.
  else if (static_cast<DWORD>(existing.fields[6]) & FORM_BUILTIN) result = ERROR_ACCESS_DENIED;
  else result = WriteForm(forms, pFormName, form);
  RegCloseKey(forms);
  return result == ERROR_SUCCESS ? TRUE : Fail(static_cast<DWORD>(result));
}

BOOL AddFormW(HANDLE hPrinter, DWORD Level, LPBYTE pForm) {
  OpenPrinter* printer = PrinterFrom(hPrinter);
  if (!printer) return Fail(ERROR_INVALID_HANDLE);
  if (!(printer->access & PRINTER_ACCESS_ADMINISTER)) return Fail(ERROR_ACCESS_DENIED);
  StoredForm form{};
  std::wstring name;
  if (LONG error = FormFromRecord(Level, pForm, form, &name)) return Fail(error);
  HKEY forms = OpenKey(HKEY_LOCAL_MACHINE, kFormsKey, true);
  if (!forms) return Fail(ERROR_ACCESS_DENIED);
  const LONG result = FormExists(forms, name) ? ERROR_FILE_EXISTS : WriteForm(forms, name, form);
  RegCloseKey(forms);
  return result == ERROR_SUCCESS ? TRUE : Fail(static_cast<DWORD>(result));
}

CPrintDialog::CPrintDialog(BOOL bPrintSetupOnly, DWORD dwFlags, CWnd* pParentWnd) : m_pd{} {
  m_pd.lStructSize = sizeof m_pd;
  m_pd.hwndOwner = pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr;
  m_pd.Flags = dwFlags | (bPrintSetupOnly ? PD_PRINTSETUP : PD_RETURNDC);
  m_pd.nCopies = 1;
}

BOOL CPrintDialog::GetDefaults() {
  host::PrepareSpooler();
  const std::wstring device = DefaultPrinterName();
  if (!PrinterExists(device)) return FALSE;

  // Device names: driver, device, port, each with its terminator, after the four offsets.
  constexpr std::size_t kHeaderCharacters = (sizeof(DEVNAMES) + sizeof(WCHAR) - 1) / sizeof(WCHAR);
  std::wstring strings = std::wstring(kDriver) + L'\0' + device + L'\0' + kPort + L'\0';
  if (kHeaderCharacters + strings.size() > 0xFFFF) return FALSE;
  std::vector<WCHAR> names(kHeaderCharacters + strings.size(), L'\0');
  DEVNAMES header{};
  header.wDriverOffset = static_cast<WORD>(kHeaderCharacters);
  header.wDeviceOffset = static_cast<WORD>(kHeaderCharacters + std::wcslen(kDriver) + 1);
  header.wOutputOffset = static_cast<WORD>(header.wDeviceOffset + device.size() + 1);
  header.wDefault = DN_DEFAULTPRN;
  std::memcpy(names.data(), &header, sizeof header);
  std::copy(strings.begin(), strings.end(), names.begin() + kHeaderCharacters);

  // The device mode starts with the device name in 32 characters, as Windows' does.
  WCHAR deviceMode[32] = {};
  device.copy(deviceMode, 31);

  HGLOBAL devNames = BlockOf(names.data(), names.size() * sizeof(WCHAR));
  HGLOBAL devMode = BlockOf(deviceMode, sizeof deviceMode);
  HDC dc = nullptr;
  if (devNames && devMode && (m_pd.Flags & PD_RETURNDC)) {
    dc = new (std::nothrow) HDC__{device};
    if (dc) Remember(dc);
  }
  if (!devNames || !devMode || ((m_pd.Flags & PD_RETURNDC) && !dc)) {
    if (devNames) GlobalFree(devNames);
    if (devMode) GlobalFree(devMode);
    return FALSE;
  }
  m_pd.hDevNames = devNames;
  m_pd.hDevMode = devMode;
  m_pd.hDC = dc;
  return TRUE;
}
