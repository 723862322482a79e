// Shortcuts: special-folder lookups and shell links saved through IShellLinkW and IPersistFile.
#include "shortcuts.h"

#include <vector>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/shell_link.h"

const WCHAR* const kHomePageAddress = L"" T6_HOME_PAGE_URL;

namespace {

bool GetSpecialFolder(int csidl, std::wstring& path) {
  path.clear();
  PIDLIST_ABSOLUTE items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items))) return false;
  WCHAR buffer[MAX_PATH] = {};
  const BOOL found = SHGetPathFromIDListW(items, buffer);
  path = buffer;
  CoTaskMemFree(items);
  return found != FALSE;
}

constexpr const WCHAR* kProductName = L"TessalyT6";
constexpr const WCHAR* kHomePageName = L"Tessaly首页";
constexpr const WCHAR* kUninstallName = L"卸载TessalyT6";

}  // namespace

bool GetCommonDesktopFolder(std::wstring& path) { return GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, path); }

bool GetCommonProgramsFolder(std::wstring& path) { return GetSpecialFolder(CSIDL_COMMON_PROGRAMS, path); }

bool CreateShortcut(const std::wstring& target, const std::wstring& folder, const std::wstring& name,
                    const std::wstring& workingFolder, const std::wstring& description,
                    const std::wstring& arguments, const std::wstring& icon, int showCommand) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return false;
  IPersistFile* file = nullptr;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    link->Release();
    return false;
  }
  link->SetPath(target.c_str());
  link->SetArguments(arguments.c_str());
  link->SetIconLocation(icon.empty() ? target.c_str() : icon.c_str(), 0);
  if (!workingFolder.empty()) link->SetWorkingDirectory(workingFolder.c_str());
  if (!description.empty()) link->SetDescription(description.c_str());
  link->SetShowCmd(showCommand);

  // The folder goes through a MAX_PATH buffer for its backslash: a longer one cannot hold a
  // shortcut file anyway, and is refused rather than copied past the buffer's end.
  bool saved = false;
  if (folder.size() < MAX_PATH) {
    WCHAR composed[MAX_PATH] = {};
    folder.copy(composed, folder.size());
    if (PathAddBackslashW(composed)) {
      const std::wstring path = std::wstring(composed) + name + L".lnk";
      saved = SUCCEEDED(file->Save(path.c_str(), TRUE));
    }
  }
  file->Release();
  link->Release();
  return saved;
}

bool CreateShortcut(const ShortcutDefinition& s) {
  return CreateShortcut(s.target, s.folder, s.name, s.workingFolder, s.description, s.arguments, s.icon,
                        s.showCommand);
}

std::wstring ShortcutFilePath(const std::wstring& folder, const std::wstring& name) {
  std::wstring path = folder;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path + name + L".lnk";
}

ShortcutDefinition DesktopProductShortcut(const std::wstring& desktopFolder, const std::wstring& productFolder) {
  return {productFolder + L"T6.EXE", desktopFolder, kProductName, productFolder, kProductName, L"", L"",
          SW_SHOWNORMAL};
}

ShortcutDefinition StartMenuProductShortcut(const std::wstring& groupFolder, const std::wstring& productFolder) {
  return {productFolder + L"T6.EXE", groupFolder, kProductName, productFolder, kProductName, L"", L"",
          SW_SHOWNORMAL};
}

ShortcutDefinition HomePageShortcut(const std::wstring& groupFolder, const std::wstring& productFolder) {
  return {kHomePageAddress, groupFolder, kHomePageName, L"", kHomePageName, L"", productFolder + L"T6.EXE",
          SW_SHOWNORMAL};
}

ShortcutDefinition UninstallShortcut(const std::wstring& groupFolder, const std::wstring& installerPath,
                                     const std::wstring& installerFolder) {
  return {installerPath, groupFolder, kUninstallName, installerFolder, kUninstallName, L"-u", L"", SW_SHOWNORMAL};
}
