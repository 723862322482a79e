// Host platform: the registry API on the emulated machine's SQLite database.
#include "platform/registry.h"

#include <cstring>
#include <cwchar>
#include <mutex>
#include <unordered_set>

#include "emulated_machine.h"
#include "registry_store.h"
#include "text.h"

using host::RegistryKeyId;
using host::RegistryTransaction;

// What a registry handle stands for. It remembers its database, so a handle keeps meaning the
// key it was opened on even when a test switches to another machine.
struct HKEY__ {
  std::string database;
  RegistryKeyId id = 0;
  bool underLocalMachine = false;
  std::vector<std::wstring> path;  // folded key names from the hive root to this key
  bool view32 = false;             // subkeys opened through this handle use the 32-bit view
  REGSAM access = 0;
};

namespace {

constexpr LONG kErrorBadPathname = 161;
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr RegistryKeyId kResolveClasses = 0;  // HKEY_CLASSES_ROOT: found when the call runs

std::mutex& HandlesMutex() {
  static std::mutex mutex;
  return mutex;
}

// Handles currently open, so that a closed or made-up handle is refused instead of followed.
std::unordered_set<HKEY__*>& LiveHandles() {
  static std::unordered_set<HKEY__*> handles;
  return handles;
}

bool IsHiveRoot(RegistryKeyId id) {
  return id == host::kLocalMachineKeyId || id == host::kCurrentUserKeyId || id == host::kUsersKeyId;
}

// Copies what a handle stands for; predefined keys are described on the spot.
LONG DescribeKey(HKEY key, HKEY__& out, bool& predefined) {
  predefined = true;
  out = HKEY__{};
  out.database = host::RegistryDatabasePath();
  out.access = KEY_ALL_ACCESS;
  // The program is a 32-bit process: without a flag it sees the 32-bit view.
  out.view32 = true;
  if (key == HKEY_LOCAL_MACHINE) {
    out.id = host::kLocalMachineKeyId;
    out.underLocalMachine = true;
  } else if (key == HKEY_CURRENT_USER) {
    out.id = host::kCurrentUserKeyId;
  } else if (key == HKEY_USERS) {
    out.id = host::kUsersKeyId;
  } else if (key == HKEY_CLASSES_ROOT) {
    // HKEY_CLASSES_ROOT is kept as HKLM\Software\Classes (the machine-wide part of the merged
    // view Windows shows); that key is shared by both views, so it is never redirected.
    out.id = kResolveClasses;
    out.underLocalMachine = true;
    out.path = {L"SOFTWARE", L"CLASSES"};
  } else {
    predefined = false;
    std::lock_guard<std::mutex> lock(HandlesMutex());
    if (!key || !LiveHandles().count(key)) return ERROR_INVALID_HANDLE;
    out = *key;
  }
  return ERROR_SUCCESS;
}

LONG SplitSubkey(LPCWSTR subKey, std::vector<std::wstring>& components) {
  components.clear();
  if (!subKey || !*subKey) return ERROR_SUCCESS;
  std::wstring text(subKey);
  if (text.front() == L'\\') return kErrorBadPathname;
  if (text.back() == L'\\') text.pop_back();  // "Software\" names "Software"
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(L'\\', start);
    if (end == std::wstring::npos) end = text.size();
    if (end == start) return kErrorBadPathname;
    // A key name holds at most 255 characters (UTF-16 units, as Windows counts them).
    if (host::Utf16FromWide(text.substr(start, end - start)).size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
    components.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

bool UsesView32(const HKEY__& base, REGSAM sam) {
  if (!host::Is64BitMachine()) return false;  // a 32-bit Windows has a single view
  if (sam & KEY_WOW64_64KEY) return false;
  if (sam & KEY_WOW64_32KEY) return true;
  return base.view32;
}

// WOW64: in the 32-bit view HKLM\Software and everything below it is HKLM\Software\WOW6432Node,
// except the shared Classes key. Only an open from HKLM itself or from a 64-bit handle on
// HKLM\Software can cross that point; a handle already inside stays on its side.
void RedirectFor32BitView(const HKEY__& base, bool view32, std::vector<std::wstring>& components) {
  if (!view32 || !base.underLocalMachine || base.path.size() > 1) return;
  std::vector<std::wstring> full = base.path;
  for (const std::wstring& component : components) full.push_back(host::FoldRegistryName(component));
  if (full.empty() || full[0] != L"SOFTWARE") return;
  if (full.size() > 1 && (full[1] == L"CLASSES" || full[1] == L"WOW6432NODE")) return;
  components.insert(components.begin() + static_cast<std::ptrdiff_t>(1 - base.path.size()), L"WOW6432Node");
}

// Walks down from `id`; with `create`, missing keys are made on the way.
LONG Walk(RegistryTransaction& transaction, const std::vector<std::wstring>& components, bool create,
          RegistryKeyId& id, bool& createdAny) {
  createdAny = false;
  for (const std::wstring& name : components) {
    std::optional<RegistryKeyId> next;
    if (LONG error = transaction.FindSubkey(id, name, next)) return error;
    if (!next && !create) return ERROR_FILE_NOT_FOUND;
    if (!next) {
      RegistryKeyId created = 0;
      if (LONG error = transaction.CreateSubkey(id, name, created)) return error;
      next = created;
      createdAny = true;
    }
    id = *next;
  }
  return ERROR_SUCCESS;
}

// Finds the row of the handle's own key inside the running transaction.
LONG ResolveBase(RegistryTransaction& transaction, const HKEY__& base, bool predefined, bool create,
                 RegistryKeyId& id) {
  if (base.id != kResolveClasses) {
    id = base.id;
    if (predefined) return ERROR_SUCCESS;
    bool exists = false;
    if (LONG error = transaction.KeyExists(base.id, exists)) return error;
    return exists ? ERROR_SUCCESS : ERROR_KEY_DELETED;
  }
  id = host::kLocalMachineKeyId;
  bool createdAny = false;
  return Walk(transaction, {L"Software", L"Classes"}, create, id, createdAny);
}


HKEY NewHandle(const HKEY__& base, const std::vector<std::wstring>& components, RegistryKeyId id, bool view32,
               REGSAM sam) {
  auto* handle = new HKEY__(base);
  handle->id = id;
  for (const std::wstring& component : components) handle->path.push_back(host::FoldRegistryName(component));
  handle->view32 = view32;
  handle->access = sam & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
  std::lock_guard<std::mutex> lock(HandlesMutex());
  LiveHandles().insert(handle);
  return handle;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Host wide characters in, UTF-16LE as Windows keeps it out; other types are raw bytes.
std::vector<BYTE> StoredFromHost(DWORD type, const BYTE* data, DWORD size) {
  if (!data || size == 0) return {};
  if (!IsStringType(type)) return std::vector<BYTE>(data, data + size);
  std::wstring text(size / sizeof(WCHAR), L'\0');
  std::memcpy(text.data(), data, text.size() * sizeof(WCHAR));
  std::vector<BYTE> bytes;
  for (char16_t unit : host::Utf16FromWide(text)) {
    bytes.push_back(static_cast<BYTE>(unit & 0xFF));
    bytes.push_back(static_cast<BYTE>(unit >> 8));
  }
  return bytes;
}

// The buffer protocol of RegQueryValueEx and RegEnumValue: no buffer asks for the size, a
// short buffer gets ERROR_MORE_DATA and the size it needs.
//
// A string's size is its stored UTF-16 size, counted in WCHARs as Windows counts it: one unit
// per WCHAR of the caller's buffer (sizeof(WCHAR) bytes each). So a limit written as
// "n * sizeof(WCHAR)" admits the same values here as on Windows, a character outside the BMP
// takes two of them, and only what fits is converted.
LONG DeliverString(const std::vector<BYTE>& stored, LPBYTE data, LPDWORD size) {
  if (!size) return ERROR_SUCCESS;
  const std::size_t units = stored.size() / 2;
  const auto needed = static_cast<DWORD>(units * sizeof(WCHAR));
  if (!data) {
    *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size / sizeof(WCHAR) < units) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  std::u16string text(units, u'\0');
  for (std::size_t i = 0; i < units; ++i)
    text[i] = static_cast<char16_t>(stored[2 * i] | (stored[2 * i + 1] << 8));
  const std::wstring wide = host::WideFromUtf16(text);  // never longer than the units
  if (!wide.empty()) std::memcpy(data, wide.data(), wide.size() * sizeof(WCHAR));
  *size = static_cast<DWORD>(wide.size() * sizeof(WCHAR));
  return ERROR_SUCCESS;
}

LONG DeliverData(DWORD type, const std::vector<BYTE>& bytes, LPBYTE data, LPDWORD size) {
  if (IsStringType(type)) return DeliverString(bytes, data, size);
  if (!size) return ERROR_SUCCESS;
  auto needed = static_cast<DWORD>(bytes.size());
  if (data && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data && needed) std::memcpy(data, bytes.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

// Copies a name with its terminator; counts are in characters, as the Enum calls use them.
LONG DeliverName(const std::wstring& name, LPWSTR buffer, LPDWORD count) {
  if (name.size() + 1 > *count) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
  *count = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// Nothing may escape the API as an exception; the only one the body can raise is bad_alloc.
template <class Body>
LONG Guarded(Body&& body) {
  try {
    return body();
  } catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

// The common start of the calls that act on the handle's own key.
struct OwnKey {
  HKEY__ base;
  bool predefined = false;
  RegistryTransaction transaction;
  RegistryKeyId id = 0;

  LONG Open(HKEY key, REGSAM needed, bool writing) {
    if (LONG error = DescribeKey(key, base, predefined)) return error;
    if ((base.access & needed) != needed) return ERROR_ACCESS_DENIED;
    if (LONG error = transaction.Begin(base.database, writing)) return error;
    return ResolveBase(transaction, base, predefined, writing, id);
  }
};

LONG OpenOrCreate(HKEY key, LPCWSTR subKey, REGSAM sam, bool create, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if ((sam & KEY_WOW64_32KEY) && (sam & KEY_WOW64_64KEY)) return ERROR_INVALID_PARAMETER;
  HKEY__ base;
  bool predefined = false;
  if (LONG error = DescribeKey(key, base, predefined)) return error;
  std::vector<std::wstring> components;
  if (LONG error = SplitSubkey(subKey, components)) return error;
  bool view32 = UsesView32(base, sam);
  RedirectFor32BitView(base, view32, components);

  RegistryTransaction transaction;
  if (LONG error = transaction.Begin(base.database, create)) return error;
  RegistryKeyId id = 0;
  if (LONG error = ResolveBase(transaction, base, predefined, create, id)) return error;
  bool createdAny = false;
  if (LONG error = Walk(transaction, components, create, id, createdAny)) return error;
  if (createdAny && !(base.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
  if (create) {
    if (LONG error = transaction.Commit()) return error;
  }
  if (disposition) *disposition = createdAny ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = NewHandle(base, components, id, view32, sam);
  return ERROR_SUCCESS;
}

}  // namespace

LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  return Guarded([&] { return OpenOrCreate(hKey, lpSubKey, samDesired, false, phkResult, nullptr); });
}

LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired, const void*,
                     PHKEY phkResult, LPDWORD lpdwDisposition) {
  return Guarded([&] { return OpenOrCreate(hKey, lpSubKey, samDesired, true, phkResult, lpdwDisposition); });
}

LONG RegCreateKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult) {
  return RegCreateKeyExW(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, phkResult,
                         nullptr);
}

LONG RegSetValueW(HKEY hKey, LPCWSTR lpSubKey, DWORD dwType, LPCWSTR lpData, DWORD) {
  if (dwType != REG_SZ || !lpData) return ERROR_INVALID_PARAMETER;
  const auto size = static_cast<DWORD>((std::wcslen(lpData) + 1) * sizeof(WCHAR));
  const auto* data = reinterpret_cast<const BYTE*>(lpData);
  if (!lpSubKey || !*lpSubKey) return RegSetValueExW(hKey, nullptr, 0, REG_SZ, data, size);
  HKEY key = nullptr;
  if (LONG error = RegCreateKeyExW(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                                   &key, nullptr))
    return error;
  const LONG result = RegSetValueExW(key, nullptr, 0, REG_SZ, data, size);
  RegCloseKey(key);
  return result;
}

LONG RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER || hKey == HKEY_USERS || hKey == HKEY_CLASSES_ROOT)
    return ERROR_SUCCESS;
  {
    std::lock_guard<std::mutex> lock(HandlesMutex());
    if (!hKey || LiveHandles().erase(hKey) == 0) return ERROR_INVALID_HANDLE;
  }
  delete hKey;
  return ERROR_SUCCESS;
}

LONG RegFlushKey(HKEY hKey) {
  // Every change was committed with a full sync when it was made; only the handle is checked.
  return Guarded([&] {
    OwnKey key;
    return key.Open(hKey, 0, false);
  });
}

LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  return Guarded([&] {
    if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
    OwnKey key;
    if (LONG error = key.Open(hKey, KEY_SET_VALUE, true)) return error;
    std::wstring name = lpValueName ? lpValueName : L"";
    if (LONG error = key.transaction.SetValue(key.id, name, dwType, StoredFromHost(dwType, lpData, cbData)))
      return error;
    return key.transaction.Commit();
  });
}

LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  return Guarded([&] {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    OwnKey key;
    if (LONG error = key.Open(hKey, KEY_QUERY_VALUE, false)) return error;
    std::optional<host::StoredValue> value;
    if (LONG error = key.transaction.FindValue(key.id, lpValueName ? lpValueName : L"", value)) return error;
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (lpType) *lpType = value->type;
    return DeliverData(value->type, value->data, lpData, lpcbData);
  });
}

LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  return Guarded([&] {
    OwnKey key;
    if (LONG error = key.Open(hKey, KEY_SET_VALUE, true)) return error;
    bool existed = false;
    if (LONG error = key.transaction.DeleteValue(key.id, lpValueName ? lpValueName : L"", existed)) return error;
    if (!existed) return ERROR_FILE_NOT_FOUND;
    return key.transaction.Commit();
  });
}

LONG RegDeleteKeyExW(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, DWORD) {
  return Guarded([&] {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    if ((samDesired & KEY_WOW64_32KEY) && (samDesired & KEY_WOW64_64KEY)) return ERROR_INVALID_PARAMETER;
    OwnKey key;
    if (LONG error = key.Open(hKey, 0, true)) return error;
    std::vector<std::wstring> components;
    if (LONG error = SplitSubkey(lpSubKey, components)) return error;
    RedirectFor32BitView(key.base, UsesView32(key.base, samDesired), components);
    RegistryKeyId target = key.id;
    bool createdAny = false;
    if (LONG error = Walk(key.transaction, components, false, target, createdAny)) return error;
    // A key with subkeys is refused, as Windows refuses it; RegDeleteTree removes those.
    bool hasSubkeys = false;
    if (LONG error = key.transaction.HasSubkeys(target, hasSubkeys)) return error;
    if (IsHiveRoot(target) || hasSubkeys) return ERROR_ACCESS_DENIED;
    if (LONG error = key.transaction.DeleteKeyTree(target)) return error;
    return key.transaction.Commit();
  });
}

LONG RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
  return Guarded([&] {
    OwnKey key;
    if (LONG error = key.Open(hKey, 0, true)) return error;
    std::vector<std::wstring> components;
    if (LONG error = SplitSubkey(lpSubKey, components)) return error;
    // The handle's view applies: RegDeleteTree takes no view flags of its own.
    RedirectFor32BitView(key.base, UsesView32(key.base, 0), components);
    if (components.empty()) {
      // No subkey (or an empty one): everything below the key goes, the key itself stays.
      if (LONG error = key.transaction.DeleteKeyContents(key.id)) return error;
      return key.transaction.Commit();
    }
    RegistryKeyId target = key.id;
    bool createdAny = false;
    if (LONG error = Walk(key.transaction, components, false, target, createdAny)) return error;
    if (IsHiveRoot(target)) return ERROR_ACCESS_DENIED;
    if (LONG error = key.transaction.DeleteKeyTree(target)) return error;
    return key.transaction.Commit();
  });
}

LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD, LPWSTR lpClass,
                   LPDWORD lpcchClass, void* lpftLastWriteTime) {
  return Guarded([&] {
    if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    OwnKey key;
    if (LONG error = key.Open(hKey, KEY_ENUMERATE_SUB_KEYS, false)) return error;
    std::optional<std::wstring> name;
    if (LONG error = key.transaction.SubkeyNameAt(key.id, dwIndex, name)) return error;
    if (!name) return ERROR_NO_MORE_ITEMS;
    if (LONG error = DeliverName(*name, lpName, lpcchName)) return error;
    // Keys have no class and no write time here: both read as empty.
    if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = L'\0';
    if (lpcchClass) *lpcchClass = 0;
    if (lpftLastWriteTime) std::memset(lpftLastWriteTime, 0, 2 * sizeof(DWORD));
    return ERROR_SUCCESS;
  });
}

LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD, LPDWORD lpType,
                   LPBYTE lpData, LPDWORD lpcbData) {
  return Guarded([&] {
    if (!lpValueName || !lpcchValueName || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    OwnKey key;
    if (LONG error = key.Open(hKey, KEY_QUERY_VALUE, false)) return error;
    std::optional<host::StoredValue> value;
    if (LONG error = key.transaction.ValueAt(key.id, dwIndex, value)) return error;
    if (!value) return ERROR_NO_MORE_ITEMS;
    if (LONG error = DeliverName(value->name, lpValueName, lpcchValueName)) return error;
    if (lpType) *lpType = value->type;
    return DeliverData(value->type, value->data, lpData, lpcbData);
  });
}
