// Operating system identification from the version, product type and processor.
#include "os_identification.h"

#include "platform/system_info.h"

namespace {

const WCHAR* NameOf(const OSVERSIONINFOEXW& version, const SYSTEM_INFO& processor) {
  const bool workstation = version.wProductType == VER_NT_WORKSTATION;
  switch (version.dwMajorVersion) {
    case 4:
      if (version.dwMinorVersion == 0) {
        if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) return L"Microsoft Windows NT 4.0";
        if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return L"Microsoft Windows 95";
        return nullptr;
      }
      if (version.dwMinorVersion == 10) return L"Microsoft Windows 98";
      if (version.dwMinorVersion == 90) return L"Microsoft Windows Me";
      return nullptr;
    case 5:
      if (version.dwMinorVersion == 0) return L"Microsoft Windows 2000";
      if (version.dwMinorVersion == 1) return L"Microsoft Windows XP";
      if (version.dwMinorVersion == 2) {
        if (workstation && processor.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64)
          return L"Microsoft Windows XP Professional x64 Edition";
        return GetSystemMetrics(SM_SERVERR2) == 0 ? L"Microsoft Windows Server 2003"
                                                  : L"Microsoft Windows Server 2003 R2";
      }
      return nullptr;
    case 6:
      switch (version.dwMinorVersion) {
        case 0: return workstation ? L"Microsoft Windows Vista" : L"Microsoft Windows Server 2008";
        case 1: return workstation ? L"Microsoft Windows 7" : L"Microsoft Windows Server 2008 R2";
        case 2: return workstation ? L"Microsoft Windows 8" : L"Microsoft Windows Server 2012";
        case 3: return workstation ? L"Microsoft Windows 8.1" : L"Microsoft Windows Server 2012 R2";
        default: return nullptr;
      }
    case 10:
      if (version.dwMinorVersion != 0) return nullptr;
      return workstation ? L"Microsoft Windows 10" : L"Microsoft Windows Server 2016 Technical Preview";
    default:
      return nullptr;
  }
}

}  // namespace

DWORD IdentifyOperatingSystem(std::wstring& name) {
  SYSTEM_INFO processor{};
  GetSystemInfo(&processor);
  name = L"unknown OperatingSystem.";
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof version;
  // The Windows signature takes the base structure; the size field says which one it is.
  if (!GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&version))) return 0;
  if (const WCHAR* known = NameOf(version, processor)) name = known;
  return version.dwMajorVersion;
}
