// Host platform: minizip's file functions over the emulated machine's files, reached by the
// package's 8-bit path in the machine's ANSI code page.
#include "platform/archive_files.h"

#include <cstdio>
#include <string>
#include <vector>

#include "emulated_machine.h"
#include "platform/code_pages.h"

namespace {

voidpf Open(voidpf, const void* filename, int mode) {
  if (!filename) return nullptr;
  const char* ansiPath = static_cast<const char*>(filename);
  const int length = MultiByteToWideChar(CP_ACP, 0, ansiPath, -1, nullptr, 0);
  if (length <= 0) return nullptr;
  std::vector<WCHAR> wide(static_cast<std::size_t>(length));
  if (MultiByteToWideChar(CP_ACP, 0, ansiPath, -1, wide.data(), length) != length) return nullptr;
  auto hostPath = host::HostPathFromWindows(wide.data());
  if (!hostPath) return nullptr;
  const char* fopenMode = (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ ? "rb"
                          : (mode & ZLIB_FILEFUNC_MODE_EXISTING)                                ? "r+b"
                                                                                                : "wb";
  // The stream's own buffer stays small: minizip reads data 16 KiB at a time, which then goes
  // straight to its buffer, and seeks to every header, each of which empties a stream buffer.
  return std::fopen(hostPath->c_str(), fopenMode);
}

uLong Read(voidpf, voidpf stream, void* buf, uLong size) {
  return static_cast<uLong>(std::fread(buf, 1, size, static_cast<FILE*>(stream)));
}

uLong Write(voidpf, voidpf stream, const void* buf, uLong size) {
  return static_cast<uLong>(std::fwrite(buf, 1, size, static_cast<FILE*>(stream)));
}

ZPOS64_T Tell(voidpf, voidpf stream) { return static_cast<ZPOS64_T>(ftello(static_cast<FILE*>(stream))); }

long Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  const int whence = origin == ZLIB_FILEFUNC_SEEK_CUR ? SEEK_CUR : origin == ZLIB_FILEFUNC_SEEK_END ? SEEK_END : SEEK_SET;
  return fseeko(static_cast<FILE*>(stream), static_cast<off_t>(offset), whence) == 0 ? 0 : -1;
}

int Close(voidpf, voidpf stream) { return std::fclose(static_cast<FILE*>(stream)); }

int Error(voidpf, voidpf stream) { return std::ferror(static_cast<FILE*>(stream)); }

}  // namespace

zlib_filefunc64_def* PackageFileFunctions() {
  static zlib_filefunc64_def functions{Open, Read, Write, Tell, Seek, Close, Error, nullptr};
  return &functions;
}
