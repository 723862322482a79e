// Win32 platform: local files (CFile) over CreateFileW, with the writes gathered in a buffer.
#include "platform/files.h"

namespace {
// What gathers before it is written: large enough that the system is asked rarely.
constexpr std::size_t kWriteBuffer = 256 * 1024;
}  // namespace

CFile::~CFile() { Close(); }

BOOL CFile::Open(LPCWSTR fileName, UINT openFlags) {
  Close();
  if (!fileName) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  const DWORD access = (openFlags & modeWrite) ? GENERIC_WRITE : GENERIC_READ;
  // Exclusive means no share mode at all; otherwise others may read and write beside us.
  const DWORD share = (openFlags & shareExclusive) ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
  const DWORD disposition = (openFlags & modeCreate) ? CREATE_ALWAYS : OPEN_EXISTING;
  HANDLE file = CreateFileW(fileName, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;  // CreateFileW has set the last error
  m_hFile = file;
  return TRUE;
}

BOOL CFile::Write(const void* buffer, UINT count) {
  if (m_hFile == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  m_pending.append(static_cast<const char*>(buffer), count);
  return m_pending.size() >= kWriteBuffer ? Flush() : TRUE;
}

BOOL CFile::Flush() {
  const char* bytes = m_pending.data();
  std::size_t left = m_pending.size();
  while (left > 0) {
    DWORD written = 0;
    const DWORD piece = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
    if (!WriteFile(m_hFile, bytes, piece, &written, nullptr) || written == 0) {
      if (written == 0 && GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_DISK_FULL);
      m_pending.clear();
      return FALSE;
    }
    bytes += written;
    left -= written;
  }
  m_pending.clear();
  return TRUE;
}

BOOL CFile::Close() {
  if (m_hFile == INVALID_HANDLE_VALUE) return TRUE;
  const BOOL flushed = Flush();
  const DWORD flushError = GetLastError();
  const BOOL closed = CloseHandle(m_hFile);
  if (!flushed) SetLastError(flushError);  // the first failure is the one to report
  m_hFile = INVALID_HANDLE_VALUE;
  return flushed && closed ? TRUE : FALSE;
}
