// Host platform: local files (CFile) and folder creation on the emulated machine's drives.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "emulated_machine.h"
#include "errors.h"
#include "platform/files.h"

namespace {
// What gathers before it is written: large enough that the system is asked rarely.
constexpr std::size_t kWriteBuffer = 256 * 1024;
}  // namespace

CFile::~CFile() { Close(); }

BOOL CFile::Open(LPCWSTR fileName, UINT openFlags) {
  Close();
  auto path = fileName ? host::HostPathFromWindows(fileName) : std::nullopt;
  if (!path) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  int flags = O_CLOEXEC | ((openFlags & modeWrite) ? O_WRONLY : O_RDONLY);
  if (openFlags & modeCreate) flags |= O_CREAT;
  const int fd = open(path->c_str(), flags, 0644);
  if (fd < 0) {
    SetLastError(host::ErrorFromErrno(errno));
    return FALSE;
  }
  // No other opener may share the file while it is open; the file is emptied only once it is
  // ours, so a refused opener leaves the other's data alone.
  if ((openFlags & shareExclusive) && flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  struct stat info {};
  // Only a regular file has a length to cut (a device such as a full disk stand-in has none).
  if ((openFlags & modeCreate) && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ftruncate(fd, 0) != 0) {
    const int error = errno;
    close(fd);
    SetLastError(host::ErrorFromErrno(error));
    return FALSE;
  }
  m_fd = fd;
  return TRUE;
}

BOOL CFile::Write(const void* buffer, UINT count) {
  if (m_fd < 0) {
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
    const ssize_t written = write(m_fd, bytes, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      SetLastError(written < 0 ? host::ErrorFromErrno(errno) : ERROR_DISK_FULL);
      m_pending.clear();
      return FALSE;
    }
    bytes += written;
    left -= static_cast<std::size_t>(written);
  }
  m_pending.clear();
  return TRUE;
}

BOOL CFile::Close() {
  if (m_fd < 0) return TRUE;
  const BOOL flushed = Flush();
  const bool closed = close(m_fd) == 0;
  if (!closed && flushed) SetLastError(host::ErrorFromErrno(errno));
  m_fd = -1;
  return flushed && closed ? TRUE : FALSE;
}

int SHCreateDirectoryExW(HWND, LPCWSTR pszPath, const void*) {
  auto fail = [](DWORD error) {
    SetLastError(error);
    return static_cast<int>(error);
  };
  auto path = pszPath ? host::HostPathFromWindows(pszPath) : std::nullopt;
  if (!path) return fail(ERROR_PATH_NOT_FOUND);
  struct stat info {};
  // What CreateDirectoryW answers for a folder and for a file alike.
  if (stat(path->c_str(), &info) == 0) return fail(ERROR_ALREADY_EXISTS);
  // Each missing component in turn, from the drive folder down.
  const std::string drive = host::MachineRoot() + "/drive_";
  std::size_t pos = drive.size() + 1;
  while (pos != std::string::npos) {
    pos = path->find('/', pos + 1);
    const std::string part = path->substr(0, pos);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return fail(host::ErrorFromErrno(errno));
    // A file where a folder should be: the path cannot be made.
    if (stat(part.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return fail(ERROR_PATH_NOT_FOUND);
  }
  SetLastError(ERROR_SUCCESS);
  return ERROR_SUCCESS;
}
