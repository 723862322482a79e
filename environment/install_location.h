// The install location: the folder rule that turns the chosen folder into the install folder.
#pragma once

#include <string>

// Adds a trailing backslash unless present, then "Tessaly\" unless the path already contains
// "Tessaly" (case-sensitive, anywhere).
std::wstring InstallFolderFromChosen(const std::wstring& chosen);
