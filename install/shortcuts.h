// Shortcuts: the all-users folders that receive them, the shortcut operation, and the four
// shortcuts an installation makes.
#pragma once

#include <string>

#include "platform/windows_types.h"

// The product's home page address (a build-time setting).
extern const WCHAR* const kHomePageAddress;

// The all-users desktop folder and start-menu programs folder, without a trailing backslash.
// False, and path empty, when the machine has no such folder.
bool GetCommonDesktopFolder(std::wstring& path);
bool GetCommonProgramsFolder(std::wstring& path);

// Saves folder\name.lnk, replacing a shortcut of that name. An empty workingFolder or
// description is left unset, an empty icon means the target itself. True when the file was saved.
// The calling thread must have entered a COM apartment (see ComApartment).
bool CreateShortcut(const std::wstring& target, const std::wstring& folder, const std::wstring& name,
                    const std::wstring& workingFolder, const std::wstring& description,
                    const std::wstring& arguments, const std::wstring& icon, int showCommand);

// One shortcut's inputs, in CreateShortcut's order.
struct ShortcutDefinition {
  std::wstring target;
  std::wstring folder;
  std::wstring name;
  std::wstring workingFolder;
  std::wstring description;
  std::wstring arguments;
  std::wstring icon;
  int showCommand = SW_SHOWNORMAL;
};

bool CreateShortcut(const ShortcutDefinition& shortcut);
// The shortcut file: the folder, a backslash when it has none, the name and ".lnk".
std::wstring ShortcutFilePath(const std::wstring& folder, const std::wstring& name);

// The four shortcuts. productFolder ends with a backslash ("...\T6\"); the desktop and group
// folders don't; installerPath is the running installer as GetModuleFileNameW gives it and
// installerFolder its folder.
ShortcutDefinition DesktopProductShortcut(const std::wstring& desktopFolder, const std::wstring& productFolder);
ShortcutDefinition StartMenuProductShortcut(const std::wstring& groupFolder, const std::wstring& productFolder);
ShortcutDefinition HomePageShortcut(const std::wstring& groupFolder, const std::wstring& productFolder);
ShortcutDefinition UninstallShortcut(const std::wstring& groupFolder, const std::wstring& installerPath,
                                     const std::wstring& installerFolder);
