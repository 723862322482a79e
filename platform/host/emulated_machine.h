// Host platform: the emulated Windows machine that T6_HOST_ROOT names: its drives, its registry
// database and its description (machine.ini).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace host {

struct MachineDescription {
  std::uint32_t major = 10;
  std::uint32_t minor = 0;
  std::uint32_t productType = 1;
  std::uint32_t platformId = 2;
  std::uint32_t serverR2 = 0;
  std::uint32_t processorArchitecture = 9;
  bool versionQueryFails = false;
  // The ANSI code page (CP_ACP): 936 (simplified Chinese, GBK) as on the product's users' systems.
  std::uint32_t ansiCodePage = 936;
  // Free space reported per drive letter (lower case), overriding the real free space.
  std::map<char, std::uint64_t> freeBytes;
  std::string defaultPrinter;  // empty: the machine has no printer
  // The all-users special folders; a machine may be described without either of them.
  bool commonDesktop = true;
  bool commonPrograms = true;
};

// Parses machine.ini text. On failure returns false and sets error to "FILE:LINE: reason".
bool ParseMachineDescription(const std::string& text, const std::string& fileName,
                             MachineDescription& out, std::string& error);

// Loads the machine from the folder that T6_HOST_ROOT names, once per process. On failure
// returns false with a message naming the file and line; nothing is created or changed.
bool LoadEmulatedMachine(std::string& error);
// Replaces the loaded machine (tests create a fresh machine per case).
void UseEmulatedMachine(const std::string& root, const MachineDescription& description);

const MachineDescription& Machine();
const std::string& MachineRoot();
std::string RegistryDatabasePath();
// A 64-bit machine: the program, a 32-bit process, then runs under WOW64.
bool Is64BitMachine();

// Maps a Windows path ("c:\Program Files\x") to the host path under the machine's drive folder
// ("ROOT/drive_c/Program Files/x"). Existing components are matched without regard to case, as
// Windows does. Returns nothing for a path without a drive letter.
std::optional<std::string> HostPathFromWindows(const std::wstring& windowsPath);
// Maps a host path inside one of the machine's drive folders back to its Windows path.
std::optional<std::wstring> WindowsPathFromHost(const std::string& hostPath);

}  // namespace host
