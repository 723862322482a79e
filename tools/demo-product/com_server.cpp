// A demo COM server of the product package: registers and unregisters its one class under
// HKEY_CLASSES_ROOT\CLSID, as an in-process server's self-registration does. Built twice, once
// per server file, with its own class (T6_DEMO_CLSID, T6_DEMO_CLASS_NAME). The registry calls
// are the loading program's: on the host they resolve against the installer's own exports.
#include <dlfcn.h>

#include <cwchar>
#include <string>

#include "platform/modules.h"
#include "platform/registry.h"

namespace {

constexpr LONG kSelfRegError = static_cast<LONG>(0x80040201);  // SELFREG_E_CLASS

const std::wstring kClassKey = std::wstring(L"CLSID\\") + T6_DEMO_CLSID;

// This server's own file, as the loader names it.
std::wstring OwnPath() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&OwnPath), &info) || !info.dli_fname) return {};
  void* self = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  if (!self) return {};
  WCHAR path[1024] = {};
  const DWORD length = GetModuleFileNameW(reinterpret_cast<HMODULE>(self), path, 1024);
  dlclose(self);
  return length ? std::wstring(path) : std::wstring();
}

bool SetString(HKEY key, LPCWSTR name, const std::wstring& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))) == ERROR_SUCCESS;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) LONG DllRegisterServer() {
  const std::wstring path = OwnPath();
  if (path.empty()) return kSelfRegError;
  HKEY classKey = nullptr;
  HKEY server = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kClassKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &classKey,
                      nullptr) != ERROR_SUCCESS)
    return kSelfRegError;
  bool ok = SetString(classKey, nullptr, T6_DEMO_CLASS_NAME);
  ok = RegCreateKeyExW(classKey, L"InprocServer32", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &server, nullptr) ==
           ERROR_SUCCESS &&
       ok;
  if (server) {
    ok = SetString(server, nullptr, path) && SetString(server, L"ThreadingModel", L"Apartment") && ok;
    RegCloseKey(server);
  }
  RegCloseKey(classKey);
  return ok ? 0 : kSelfRegError;
}

extern "C" __attribute__((visibility("default"))) LONG DllUnregisterServer() {
  HKEY classes = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_ALL_ACCESS, &classes) != ERROR_SUCCESS) return 0;
  const LONG result = RegDeleteTreeW(classes, T6_DEMO_CLSID);
  RegCloseKey(classes);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? 0 : kSelfRegError;
}
