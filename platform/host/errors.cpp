// Host platform: the thread's last error, errno mapping and the system's message texts.
#include <cerrno>
#include <cstdio>
#include <cwchar>

#include "errors.h"
#include "platform/files.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;

struct MessageText {
  DWORD code;
  const wchar_t* text;
};

// The program's own wording of the system errors it can meet.
constexpr MessageText kMessages[] = {
    {ERROR_SUCCESS, L"操作成功完成。"},
    {ERROR_FILE_NOT_FOUND, L"找不到指定的文件。"},
    {ERROR_PATH_NOT_FOUND, L"找不到指定的路径。"},
    {ERROR_ACCESS_DENIED, L"没有访问权限。"},
    {ERROR_NOT_ENOUGH_MEMORY, L"内存不足，无法完成操作。"},
    {ERROR_WRITE_PROTECT, L"介质处于写保护状态。"},
    {ERROR_WRITE_FAULT, L"无法写入指定的设备。"},
    {ERROR_READ_FAULT, L"无法读取指定的设备。"},
    {ERROR_SHARING_VIOLATION, L"另一个程序正在使用此文件，无法访问。"},
    {ERROR_DISK_FULL, L"磁盘空间不足。"},
    {ERROR_INVALID_PARAMETER, L"参数不正确。"},
    {ERROR_FILENAME_EXCED_RANGE, L"文件名或路径太长。"},
    {ERROR_ALREADY_EXISTS, L"文件已存在，无法创建。"},
    {ERROR_DIRECTORY, L"目录名称无效。"},
};
}  // namespace

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD error) { t_lastError = error; }

DWORD FormatMessageW(DWORD, LPCVOID, DWORD messageId, DWORD, LPWSTR buffer, DWORD size, void*) {
  if (!buffer || size == 0) return 0;
  for (const MessageText& message : kMessages) {
    if (message.code != messageId) continue;
    std::swprintf(buffer, size, L"%ls", message.text);
    return static_cast<DWORD>(std::wcslen(buffer));
  }
  std::swprintf(buffer, size, L"系统错误 %u。", static_cast<unsigned>(messageId));
  return static_cast<DWORD>(std::wcslen(buffer));
}

namespace host {

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EROFS: return ERROR_WRITE_PROTECT;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTDIR: return ERROR_DIRECTORY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EISDIR: return ERROR_ACCESS_DENIED;
    default: return ERROR_WRITE_FAULT;
  }
}

}  // namespace host
