// Host platform: whole-file writes through a temporary file and a rename.
#include "whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "errors.h"
#include "overridable.h"

namespace host {

DWORD WriteFileWhole(const std::string& hostPath, const std::string& bytes) {
  const auto slash = hostPath.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : hostPath.substr(0, slash);
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return ERROR_PATH_NOT_FOUND;
  if (stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return ERROR_ACCESS_DENIED;

  std::string pattern = folder + "/.t6-save-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) return ErrorFromErrno(errno);
  const std::string temporary(name.data());
  int failure = 0;
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0 && failure == 0) {
    const ssize_t written = Overridable().writeFile(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      failure = written < 0 ? errno : ENOSPC;
      break;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  // A file the system makes is readable by everyone, as the mode of a new file usually is.
  if (failure == 0 && fchmod(fd, 0644) != 0) failure = errno;
  if (failure == 0 && fsync(fd) != 0) failure = errno;
  if (close(fd) != 0 && failure == 0) failure = errno;
  if (failure == 0 && rename(temporary.c_str(), hostPath.c_str()) != 0) failure = errno;
  if (failure != 0) {
    unlink(temporary.c_str());
    return ErrorFromErrno(failure);
  }
  return ERROR_SUCCESS;
}

}  // namespace host
