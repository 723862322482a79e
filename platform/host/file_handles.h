// Host platform: the files that this process holds open through CreateFileW, with the share
// mode of each open. Windows refuses an open or a deletion that an earlier open's share mode
// does not allow; the host, which has no such rule, keeps this table to act the same.
#pragma once

#include <string>

namespace host {

// True while some open of the file at hostPath does not allow its deletion (FILE_SHARE_DELETE
// missing): DeleteFileW then fails with ERROR_SHARING_VIOLATION.
bool FileHeldAgainstDeletion(const std::string& hostPath);

// False when a component of the Windows path after its drive holds a character that Windows
// forbids in file names (< > : " | ? * and control characters).
bool ValidWindowsName(const std::wstring& windowsPath);

}  // namespace host
