// Host platform: the special folders of the emulated machine, as item lists.
#include <system_error>
#include <filesystem>

#include "emulated_machine.h"
#include "item_id_list.h"
#include "platform/com.h"
#include "platform/shell.h"

namespace {

struct SpecialFolder {
  int csidl;
  const wchar_t* path;
  bool host::MachineDescription::*present;
};

constexpr SpecialFolder kFolders[] = {
    {CSIDL_COMMON_DESKTOPDIRECTORY, L"C:\\Users\\Public\\Desktop", &host::MachineDescription::commonDesktop},
    {CSIDL_COMMON_PROGRAMS, L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs",
     &host::MachineDescription::commonPrograms},
};

}  // namespace

HRESULT SHGetSpecialFolderLocation(HWND, int csidl, PIDLIST_ABSOLUTE* ppidl) {
  if (!ppidl) return E_INVALIDARG;
  *ppidl = nullptr;
  for (const SpecialFolder& folder : kFolders) {
    if (folder.csidl != csidl) continue;
    if (!(host::Machine().*folder.present)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    auto hostPath = host::HostPathFromWindows(folder.path);
    if (!hostPath) return E_FAIL;
    // A Windows installation has these folders from its first start; the emulated machine
    // makes them when they are first asked for.
    std::error_code error;
    std::filesystem::create_directories(*hostPath, error);
    if (!std::filesystem::is_directory(*hostPath, error)) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    *ppidl = new ITEMIDLIST{*hostPath};
    return S_OK;
  }
  return E_INVALIDARG;
}
