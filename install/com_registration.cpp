// Calling a COM server's self-registration export.
#include "com_registration.h"

#include <cstdint>

#include "platform/files.h"
#include "platform/modules.h"

namespace {
using ServerEntry = LONG (*)();
// A module handle below this value is an error code, not a module.
constexpr std::uintptr_t kSmallestModule = 32;
}  // namespace

void CallComServerEntry(const std::wstring& serverFile, const char* entryName) {
  if (!PathFileExistsW(serverFile.c_str())) return;
  HMODULE module = LoadLibraryW(serverFile.c_str());
  if (reinterpret_cast<std::uintptr_t>(module) < kSmallestModule) return;
  if (auto entry = reinterpret_cast<ServerEntry>(GetProcAddress(module, entryName))) entry();
  FreeLibrary(module);
}
