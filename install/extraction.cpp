// Package extraction: the walk over the archive's entries and the writing of one entry.
#include "extraction.h"

#include <mutex>
#include <vector>

#include "platform/archive_files.h"
#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/framework.h"

namespace {

constexpr DWORD kChunkSize = 4096;
// The stored name's buffer: a name of this many bytes or more does not fit.
constexpr uLong kNameBufferSize = 260;
constexpr uLong kLanguageEncodingFlag = 0x0800;  // general purpose bit 11: the name is UTF-8

std::wstring WideFromCodePage(UINT codePage, const char* text) {
  const int length = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
  if (length <= 0) return {};
  std::vector<WCHAR> wide(static_cast<std::size_t>(length));
  if (MultiByteToWideChar(codePage, 0, text, -1, wide.data(), length) <= 0) return {};
  return wide.data();
}

std::string AnsiFromWide(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::vector<char> ansi(static_cast<std::size_t>(length));
  if (WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi.data(), length, nullptr, nullptr) <= 0) return {};
  return ansi.data();
}

bool IsSeparator(WCHAR c) { return c == L'\\' || c == L'/'; }

// A name that would place its file outside the destination: absolute ("/x", "\x", and so
// "\\server\x"), with a drive ("C:x", or any colon, which Windows allows in no file name), or
// with a ".." segment.
bool EscapesDestination(const std::wstring& name) {
  if (!name.empty() && IsSeparator(name.front())) return true;
  if (name.find(L':') != std::wstring::npos) return true;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (name.compare(start, end - start, L"..") == 0) return true;
    start = end + 1;
  }
  return false;
}

// Records why the extraction failed, for the dialog's alert. Only the first failure is kept.
void NoteFailure(ExtractContext* progress, ExtractFailure failure, const std::wstring& item, DWORD error = 0) {
  if (!progress) return;
  std::lock_guard guard(progress->entryLock);
  if (progress->nFailure != kNoFailure) return;
  progress->nFailure = failure;
  progress->strFailedItem = item;
  progress->nFailureError = error;
}

// What the copy of an entry's data came to.
enum class Copy { kComplete, kReadFailed, kWriteFailed };

Copy CopyEntryData(unzFile archive, HANDLE file, DWORD& writeError) {
  // One buffer for the whole entry: the data passes through in chunks, never held whole.
  char buffer[kChunkSize];
  for (;;) {
    const int n = unzReadCurrentFile(archive, buffer, kChunkSize);
    if (n < 0) return Copy::kReadFailed;
    if (n == 0) return Copy::kComplete;
    DWORD written = 0;
    if (!WriteFile(file, buffer, static_cast<DWORD>(n), &written, nullptr) || written != static_cast<DWORD>(n)) {
      writeError = GetLastError();
      return Copy::kWriteFailed;
    }
    WorkerCheckpoint();
  }
}

}  // namespace

bool ExtractCurrentEntry(unzFile archive, const std::wstring& folder, ExtractContext* progress) {
  unz_file_info64 info{};
  char storedName[kNameBufferSize] = {};
  if (unzGetCurrentFileInfo64(archive, &info, storedName, kNameBufferSize, nullptr, 0, nullptr, 0) != UNZ_OK) {
    NoteFailure(progress, kPackageDamaged, std::wstring());
    return false;
  }
  // A name that did not fit the buffer arrives cut short and unterminated: it is refused below
  // rather than written under a name that the package does not hold.
  const bool nameFits = info.size_filename < kNameBufferSize;
  if (!nameFits) storedName[kNameBufferSize - 1] = '\0';
  const UINT codePage = (info.flag & kLanguageEncodingFlag) ? CP_UTF8 : CP_ACP;
  if (unzOpenCurrentFilePassword(archive, kPackagePassword) != UNZ_OK) {
    NoteFailure(progress, kPackageDamaged, WideFromCodePage(codePage, storedName));
    return false;
  }
  // From here on every exit closes the entry.
  const std::wstring name = WideFromCodePage(codePage, storedName);
  if (!nameFits || EscapesDestination(name)) {
    unzCloseCurrentFile(archive);
    NoteFailure(progress, kPackageDamaged, name);
    return false;
  }

  std::wstring path = folder;
  std::size_t segmentStart = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && IsSeparator(name[i])) {
      path.append(name, segmentStart, i - segmentStart);
      path += L'\\';
      CreateDirectoryW(path.c_str(), nullptr);
      segmentStart = i + 1;
    } else if (i == name.size()) {
      path.append(name, segmentStart, std::wstring::npos);
    }
  }
  if (segmentStart == name.size()) {
    // A directory entry (or an empty name): no file, no report. Its CRC covers no data.
    unzCloseCurrentFile(archive);
    return true;
  }

  if (progress) {
    {
      std::lock_guard guard(progress->entryLock);
      progress->strCurrentEntry = path;
    }
    PostMessageW(progress->hWnd, progress->uMsg, static_cast<WPARAM>(progress->nCode), 0);
  }

  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    unzCloseCurrentFile(archive);
    NoteFailure(progress, kCannotWrite, path, error);
    return false;
  }
  DWORD writeError = 0;
  const Copy copied = CopyEntryData(archive, file, writeError);
  // The CRC is checked when the entry is closed: a mismatch (damaged data, or a stored entry read
  // with a wrong password) fails the entry like a read error.
  const bool intact = unzCloseCurrentFile(archive) == UNZ_OK;
  if (copied != Copy::kComplete || !intact) {
    CloseHandle(file);
    if (copied == Copy::kWriteFailed) NoteFailure(progress, kCannotWrite, path, writeError);
    else NoteFailure(progress, kPackageDamaged, name);
    return false;
  }
  FILETIME localTime{};
  FILETIME utcTime{};
  DosDateTimeToFileTime(static_cast<WORD>(info.dosDate >> 16), static_cast<WORD>(info.dosDate & 0xFFFF), &localTime);
  LocalFileTimeToFileTime(&localTime, &utcTime);
  SetFileTime(file, &utcTime, &utcTime, &utcTime);
  // Closing is where a delayed write would surface: it counts like a failed write.
  if (!CloseHandle(file)) {
    NoteFailure(progress, kCannotWrite, path, GetLastError());
    return false;
  }
  return true;
}

bool ExtractPackage(const std::wstring& folder, const std::wstring& archivePath, ExtractContext* progress) {
  const std::string ansiPath = AnsiFromWide(archivePath);
  unzFile archive = unzOpen2_64(ansiPath.c_str(), PackageFileFunctions());
  if (!archive) {
    NoteFailure(progress, kPackageDamaged, archivePath);
    return false;
  }
  unz_global_info64 global{};
  unzGetGlobalInfo64(archive, &global);
  const ZPOS64_T count = global.number_entry;

  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring entryFolder = folder;
  if (!entryFolder.empty() && entryFolder.back() != L'\\') entryFolder += L'\\';
  if (progress) progress->nTotal = static_cast<LONG>(count & 0xFFFFFFFFu);
  if (count == 0) {
    unzClose(archive);
    return true;
  }
  for (ZPOS64_T i = 0;; ++i) {
    WorkerCheckpoint();
    if (progress) {
      if (progress->bStop != 0) {
        unzClose(archive);
        return true;
      }
      progress->nDone = static_cast<LONG>(i + 1);
    }
    if (!ExtractCurrentEntry(archive, entryFolder, progress)) {
      unzClose(archive);
      return false;
    }
    if (i < count - 1 && unzGoToNextFile(archive) != UNZ_OK) {
      NoteFailure(progress, kPackageDamaged, archivePath);
      unzClose(archive);
      return false;
    }
    if (i + 1 >= count) {
      unzClose(archive);
      return true;
    }
  }
}
