// Host platform: libraries through dlopen / dlsym, and the Windows path of a loaded file.
#include "platform/modules.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cwchar>
#include <string>

#include "emulated_machine.h"
#include "platform/files.h"
#include "text.h"

namespace {

// The Windows path of a host file: on its drive when it lies on one of the machine's drives,
// otherwise on drive Z:, which stands for the host's root folder (as under Wine).
std::wstring WindowsPathOf(const std::string& hostPath) {
  if (auto onDrive = host::WindowsPathFromHost(hostPath)) return *onDrive;
  std::wstring path = L"Z:";
  for (wchar_t c : host::WideFromUtf8(hostPath)) path += c == L'/' ? L'\\' : c;
  return path;
}

}  // namespace

HMODULE LoadLibraryW(LPCWSTR lpLibFileName) {
  auto path = lpLibFileName ? host::HostPathFromWindows(lpLibFileName) : std::nullopt;
  void* library = path ? dlopen(path->c_str(), RTLD_NOW | RTLD_LOCAL) : nullptr;
  if (!library) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HMODULE>(library);
}

FARPROC GetProcAddress(HMODULE hModule, const char* lpProcName) {
  void* symbol = hModule && lpProcName ? dlsym(reinterpret_cast<void*>(hModule), lpProcName) : nullptr;
  if (!symbol) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE hLibModule) {
  if (!hLibModule || dlclose(reinterpret_cast<void*>(hLibModule)) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  std::string hostPath;
  if (!hModule) {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length > 0) hostPath.assign(buffer, static_cast<std::size_t>(length));
  } else {
    link_map* map = nullptr;
    if (dlinfo(reinterpret_cast<void*>(hModule), RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name)
      hostPath = map->l_name;
  }
  if (hostPath.empty() || !lpFilename || nSize == 0) {
    SetLastError(hostPath.empty() ? ERROR_MOD_NOT_FOUND : ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const std::wstring path = WindowsPathOf(hostPath);
  if (path.size() >= nSize) {
    // Cut to fit, terminator included, as Windows does.
    std::wmemcpy(lpFilename, path.data(), nSize - 1);
    lpFilename[nSize - 1] = L'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  std::wcscpy(lpFilename, path.c_str());
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(path.size());
}
