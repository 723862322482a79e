// The install location: the folder picker, the free space of a folder's volume and the folder
// rule. The location check itself (UpdateSpaceInfo) is a member of the installer dialog.
#pragma once

#include <cstdint>
#include <string>

// Shows the folder picker; the picked folder's path, or empty when cancelled or when the item
// has no file-system path.
std::wstring SelectFolder();

// Free bytes of the volume that holds folder; 0 when it cannot be queried.
std::uint64_t GetRootFreeSpace(const std::wstring& folder);

// Adds a trailing backslash unless present, then "Tessaly\" unless the path already contains
// "Tessaly" (case-sensitive, anywhere).
std::wstring InstallFolderFromChosen(const std::wstring& chosen);

// The free space an installation needs: 500 MB.
inline constexpr std::uint64_t kRequiredFreeBytes = 524288000;
