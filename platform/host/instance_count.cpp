// Host platform: the instance count shared by all processes of one program file, kept in a
// small file under the runtime folder and reset when no process of the program file runs.
#include "platform/instance_count.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

// Identifies the running program file by device and inode, so that a copy elsewhere (another
// file) gets a count of its own, as a shared data section does on Windows.
std::string CountFileBase() {
  struct stat info {};
  if (stat("/proc/self/exe", &info) != 0) return {};
  // One folder for every user and session: a start through sudo and one from the desktop
  // count together, as all processes of the program file do on Windows.
  return "/tmp/t6-instances-" + std::to_string(info.st_dev) + "-" + std::to_string(info.st_ino);
}

// Opens (or creates, readable and writable by every user) one of the count's files.
int OpenShared(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd >= 0) fchmod(fd, 0666);  // whatever the creator's umask was
  return fd;
}

// How long a start waits for the count's locks. Another process can hold them for ever (the
// files are every user's); a start that cannot take them in time counts as a second copy.
constexpr auto kLockWait = std::chrono::seconds(3);

bool LockWithin(int fd, int operation, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    if (flock(fd, operation | LOCK_NB) == 0) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

LONG ReadAndIncrementInstanceCount() {
  const std::string base = CountFileBase();
  if (base.empty()) return 0;
  // Every live process holds a shared lock on the liveness file for its whole life; the count
  // file is only read and written under the exclusive guard lock.
  int guard = OpenShared(base + ".guard");
  int alive = OpenShared(base + ".alive");
  if (guard < 0 || alive < 0) {
    if (guard >= 0) close(guard);
    if (alive >= 0) close(alive);
    return 0;
  }
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  if (!LockWithin(guard, LOCK_EX, deadline)) {
    close(guard);
    close(alive);
    return 1;  // somebody holds the guard: as if another copy were starting
  }
  LONG count = 0;
  if (flock(alive, LOCK_EX | LOCK_NB) == 0) {
    // Nobody else holds the liveness file: no process of this program file runs any more.
    count = 0;
  } else {
    char text[32] = {};
    ssize_t n = pread(guard, text, sizeof text - 1, 0);
    if (n > 0) count = static_cast<LONG>(std::strtol(text, nullptr, 10));
  }
  if (!LockWithin(alive, LOCK_SH, deadline)) {
    // The liveness file is held exclusively by someone who is not a start of ours.
    flock(guard, LOCK_UN);
    close(guard);
    close(alive);
    return count > 0 ? count : 1;
  }
  std::string next = std::to_string(count + 1);
  if (ftruncate(guard, 0) == 0 && pwrite(guard, next.data(), next.size(), 0) < 0) {
    // The count could not be stored; the next start then sees this process as the first.
  }
  flock(guard, LOCK_UN);
  close(guard);
  // `alive` stays open (and locked) until the process ends.
  return count;
}
