// Host platform: version, processor and WOW64 queries answered from the emulated machine.
#include "platform/system_info.h"

#include "emulated_machine.h"

BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
  auto* info = static_cast<OSVERSIONINFOEXW*>(lpVersionInformation);
  if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW)) return FALSE;
  const host::MachineDescription& machine = host::Machine();
  if (machine.versionQueryFails) return FALSE;
  info->dwMajorVersion = machine.major;
  info->dwMinorVersion = machine.minor;
  info->dwBuildNumber = 0;
  info->dwPlatformId = machine.platformId;
  info->szCSDVersion[0] = L'\0';
  info->wServicePackMajor = 0;
  info->wServicePackMinor = 0;
  info->wSuiteMask = 0;
  info->wProductType = static_cast<BYTE>(machine.productType);
  info->wReserved = 0;
  return TRUE;
}

void GetSystemInfo(SYSTEM_INFO* lpSystemInfo) {
  if (!lpSystemInfo) return;
  *lpSystemInfo = SYSTEM_INFO{};
  // What the machine description says the query answers the program (machine.ini
  // processor_architecture), so that every row of the identification table can be shown; real
  // WOW64 tells a 32-bit process x86 here.
  lpSystemInfo->wProcessorArchitecture = static_cast<WORD>(host::Machine().processorArchitecture);
  lpSystemInfo->dwPageSize = 4096;
  lpSystemInfo->dwNumberOfProcessors = 1;
  lpSystemInfo->dwAllocationGranularity = 65536;
}

HANDLE GetCurrentProcess() {
  // The pseudo handle of the current process, as on Windows.
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
}

BOOL IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
  if (hProcess != GetCurrentProcess() || !Wow64Process) return FALSE;
  *Wow64Process = host::Is64BitMachine() ? TRUE : FALSE;
  return TRUE;
}
