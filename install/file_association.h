// The file association: the report file type opened by the report designer of the package.
#pragma once

#include <string>

// Writes, under HKEY_CLASSES_ROOT, the extension's key (the program id), the program id's key
// (the description) with DefaultIcon (icon), Shell ("Open") and Shell\Open\Command ("PROGRAM %1",
// unquoted). A key that cannot be written is skipped; nothing is reported.
void RegisterFileAssociation(const std::wstring& extension, const std::wstring& program,
                             const std::wstring& programId, const std::wstring& icon,
                             const std::wstring& description);
