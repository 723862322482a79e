// Host platform: CreateFileW, WriteFile, SetFileTime and CloseHandle on file descriptors, and the
// table of open files that gives share modes their Windows meaning within this process.
#include "file_handles.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

#include "emulated_machine.h"
#include "errors.h"
#include "handle.h"
#include "platform/files.h"

namespace {

// A program that writes many files allocates and frees the same few blocks per file (its write
// buffers here, and an archive reader's per entry). Returning them to the system after each file
// makes every next file fault them in again and costs a flush of all processors' address caches:
// the heap keeps up to 16 MiB of free space instead.
[[maybe_unused]] const bool kHeapKeptForStreaming = mallopt(M_TRIM_THRESHOLD, 16 * 1024 * 1024) == 1;

// Writes gather up to this much per handle before they reach the system: a file written in
// small pieces (the extraction writes 4 KiB at a time) then costs one system call per 64 KiB.
constexpr std::size_t kWriteGather = 64 * 1024;

struct FileHandle : HANDLE__ {
  int fd = -1;
  dev_t device = 0;
  ino_t inode = 0;
  DWORD access = 0;
  DWORD share = 0;
  std::vector<char> pending;  // written by WriteFile, not yet handed to the system
};

// Hands the gathered bytes to the system. False with the error in GetLastError (ERROR_DISK_FULL
// when the disk filled); what could not be written is dropped, the file stays short.
bool Flush(FileHandle& file) {
  std::size_t done = 0;
  bool ok = true;
  while (done < file.pending.size()) {
    const ssize_t written = write(file.fd, file.pending.data() + done, file.pending.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      SetLastError(written < 0 ? host::ErrorFromErrno(errno) : ERROR_DISK_FULL);
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(written);
  }
  file.pending.clear();
  return ok;
}

// Every FileHandle that is open. Opens are rare next to writes: one lock for the table is enough.
struct OpenFiles {
  std::mutex lock;
  std::vector<FileHandle*> handles;
};

OpenFiles& Table() {
  static OpenFiles table;
  return table;
}

FileHandle* AsFile(HANDLE handle) {
  return host::PointsToObject(handle) ? dynamic_cast<FileHandle*>(handle) : nullptr;
}

// May an open asking `access` with `share` coexist with an open that holds `held` with `heldShare`?
bool Compatible(DWORD access, DWORD share, DWORD held, DWORD heldShare) {
  auto conflicts = [](DWORD wants, DWORD allowed) {
    return ((wants & GENERIC_READ) && !(allowed & FILE_SHARE_READ)) ||
           ((wants & GENERIC_WRITE) && !(allowed & FILE_SHARE_WRITE));
  };
  return !conflicts(access, heldShare) && !conflicts(held, share);
}

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

std::int64_t HundredNsFromFileTime(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

// File times count from 1601; the host's from 1970.
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000;

timespec TimespecFromFileTime(const FILETIME* time) {
  timespec result{};
  if (!time) {
    result.tv_nsec = UTIME_OMIT;
    return result;
  }
  const std::int64_t sinceUnix = HundredNsFromFileTime(*time) - kUnixEpochAsFileTime;
  std::int64_t seconds = sinceUnix / 10000000;
  std::int64_t rest = sinceUnix % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --seconds;
  }
  result.tv_sec = static_cast<time_t>(seconds);
  result.tv_nsec = static_cast<long>(rest * 100);
  return result;
}

}  // namespace

namespace host {

bool FileHeldAgainstDeletion(const std::string& hostPath) {
  struct stat info {};
  if (stat(hostPath.c_str(), &info) != 0) return false;
  std::lock_guard guard(Table().lock);
  for (const FileHandle* open : Table().handles) {
    if (open->device == info.st_dev && open->inode == info.st_ino && !(open->share & FILE_SHARE_DELETE)) return true;
  }
  return false;
}

bool ValidWindowsName(const std::wstring& windowsPath) {
  for (std::size_t i = 2; i < windowsPath.size(); ++i) {
    const wchar_t c = windowsPath[i];
    if (c < 32 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'|' || c == L'?' || c == L'*') return false;
  }
  return true;
}

}  // namespace host

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, const void*,
                   DWORD dwCreationDisposition, DWORD, HANDLE) {
  if (!lpFileName) return Fail(ERROR_INVALID_PARAMETER);
  auto path = host::HostPathFromWindows(lpFileName);
  if (!path) return Fail(ERROR_PATH_NOT_FOUND);
  if (!host::ValidWindowsName(lpFileName)) return Fail(ERROR_INVALID_NAME);
  const bool reads = dwDesiredAccess & GENERIC_READ;
  const bool writes = dwDesiredAccess & GENERIC_WRITE;
  int flags = O_CLOEXEC | (reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY);
  switch (dwCreationDisposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case OPEN_EXISTING:
    case TRUNCATE_EXISTING: break;
    default: return Fail(ERROR_INVALID_PARAMETER);
  }
  struct stat before {};
  const bool existed = stat(path->c_str(), &before) == 0;
  if (existed && S_ISDIR(before.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  // The file is emptied only once the share check has let this open through: a refused open
  // leaves the holder's data alone.
  // Windows files carry no execute permission of their own: any file may be run or loaded, so a
  // new file here is executable as well (a program that the package brings must start).
  const int fd = open(path->c_str(), flags, 0755);
  if (fd < 0) {
    const int error = errno;
    return Fail(error == EEXIST ? ERROR_FILE_EXISTS
                : error == ENOENT && !existed && dwCreationDisposition != OPEN_EXISTING &&
                        dwCreationDisposition != TRUNCATE_EXISTING
                    ? ERROR_PATH_NOT_FOUND
                : error == ENOENT ? ERROR_FILE_NOT_FOUND
                                  : host::ErrorFromErrno(error));
  }
  struct stat info {};
  fstat(fd, &info);
  auto* handle = new FileHandle;
  handle->fd = fd;
  handle->device = info.st_dev;
  handle->inode = info.st_ino;
  handle->access = dwDesiredAccess;
  handle->share = dwShareMode;
  {
    std::lock_guard guard(Table().lock);
    for (const FileHandle* open : Table().handles) {
      if (open->device == info.st_dev && open->inode == info.st_ino &&
          !Compatible(dwDesiredAccess, dwShareMode, open->access, open->share)) {
        close(fd);
        delete handle;
        return Fail(ERROR_SHARING_VIOLATION);
      }
    }
    // A new open sees what the others have written, as on Windows, whose cache is shared.
    for (FileHandle* open : Table().handles) {
      if (open->device == info.st_dev && open->inode == info.st_ino) Flush(*open);
    }
    Table().handles.push_back(handle);
  }
  const bool truncate = dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING;
  // Only a regular file has a length to cut (a device such as a full-disk stand-in has none).
  if (truncate && S_ISREG(info.st_mode) && ftruncate(fd, 0) != 0) {
    const int error = errno;
    CloseHandle(handle);
    return Fail(host::ErrorFromErrno(error));
  }
  SetLastError(existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS)
                   ? ERROR_ALREADY_EXISTS
                   : ERROR_SUCCESS);
  return handle;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten, void*) {
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  FileHandle* file = AsFile(hFile);
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(file->access & GENERIC_WRITE)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const char* bytes = static_cast<const char*>(lpBuffer);
  file->pending.insert(file->pending.end(), bytes, bytes + nNumberOfBytesToWrite);
  // A failure to hand over gathered bytes fails this call, which then counts none written: the
  // caller learns of a full disk at the latest here or when it closes the handle.
  if (file->pending.size() >= kWriteGather && !Flush(*file)) return FALSE;
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
  return TRUE;
}

BOOL SetFileTime(HANDLE hFile, const FILETIME*, const FILETIME* lpLastAccessTime, const FILETIME* lpLastWriteTime) {
  FileHandle* file = AsFile(hFile);
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Gathered bytes go first: writing them later would move the last-write time again.
  if (!Flush(*file)) return FALSE;
  // The creation time has no place on the host: a file's birth time there is the system's own.
  const timespec times[2] = {TimespecFromFileTime(lpLastAccessTime), TimespecFromFileTime(lpLastWriteTime)};
  if (futimens(file->fd, times) != 0) {
    SetLastError(host::ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL CloseHandle(HANDLE hObject) {
  if (!host::PointsToObject(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  FileHandle* file = AsFile(hObject);
  // Thread handles live as long as the process (threads.cpp): closing one releases nothing.
  if (!file) return TRUE;
  {
    std::lock_guard guard(Table().lock);
    auto& handles = Table().handles;
    std::erase(handles, file);
  }
  // What is still gathered reaches the file now; a failure here is a failed write.
  const bool flushed = Flush(*file);
  const DWORD flushError = GetLastError();
  const bool closed = close(file->fd) == 0;
  const int error = errno;
  delete file;
  if (!flushed || !closed) {
    SetLastError(!flushed ? flushError : host::ErrorFromErrno(error));
    return FALSE;
  }
  return TRUE;
}
