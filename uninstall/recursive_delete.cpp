// Recursive deletion with a synchronous report per file.
#include "recursive_delete.h"

#include <cwchar>

#include "platform/files.h"
#include "platform/framework.h"
#include "platform/shell.h"

namespace {

// The page is redrawn at most this often; a report in between is counted quietly.
constexpr DWORD kRedrawIntervalMs = 30;

// The reports of one deletion.
struct DeletionReports {
  WorkerContext* record;  // null: nothing is reported, or the dialog has ended
  HWND hWnd;
  DWORD drawnAt;
  bool reachedEnd = false;  // a report gave exactly 100 %
};

// A link stands for a folder elsewhere: neither walk enters it.
bool IsFolderLink(const CFileFind& find) { return find.MatchesMask(FILE_ATTRIBUTE_REPARSE_POINT) != FALSE; }

void Report(DeletionReports& reports, const std::wstring& path, bool last) {
  if (!reports.record) return;
  // Once the dialog has ended its records are no longer written: nobody reads them any more.
  if (!IsWindow(reports.hWnd)) {
    reports.record = nullptr;
    return;
  }
  WorkerContext& record = *reports.record;
  if (last) record.nProgress = static_cast<LONG>(record.fTotal);
  else ++record.nProgress;
  record.strFileName = path;
  const bool end = DeletePercent(record.nProgress, record.fTotal) == 100;
  const bool draw = end || last || GetTickCount() - reports.drawnAt >= kRedrawIntervalMs;
  record.bQuietReport = draw ? 0 : 1;
  SendMessageW(reports.hWnd, WM_WORKER_PROGRESS, kFileDeleted, 0);
  if (draw) reports.drawnAt = GetTickCount();
  reports.reachedEnd = reports.reachedEnd || end;
}

void DeleteFolder(const std::wstring& folder, DeletionReports& reports) {
  // The search pattern is built in a path buffer, as the platform's limit demands; a folder
  // too deep for one is neither searched nor, in CountFiles, counted.
  WCHAR pattern[MAX_PATH + 4] = {};
  CFileFind find;
  BOOL more = FALSE;
  if (folder.size() < MAX_PATH) {
    std::wcscpy(pattern, folder.c_str());
    if (LPWSTR end = PathAddBackslashW(pattern)) {
      std::wcscpy(end, L"*.*");
      more = find.FindFile(pattern);
    }
  }
  const bool separated = !folder.empty() && folder.back() == L'\\';
  while (more) {
    more = find.FindNextFile();
    if (find.IsDots()) continue;
    const std::wstring path = folder + (separated ? L"" : L"\\") + find.GetFileName();
    if (find.IsDirectory()) {
      // Removed as a link; deleting through it would delete what lies outside.
      if (IsFolderLink(find)) RemoveDirectoryW(path.c_str());
      else DeleteFolder(path, reports);
      continue;
    }
    if (find.MatchesMask(FILE_ATTRIBUTE_READONLY)) {
      const DWORD attributes = GetFileAttributesW(path.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    DeleteFileW(path.c_str());
    Report(reports, path, false);
  }
  find.Close();
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

LONG CountFiles(const std::wstring& folder) {
  CFileFind find;
  // The separator is added even after one: the search accepts the doubled one.
  BOOL more = find.FindFile((folder + L"\\*.*").c_str());
  LONG count = 0;
  while (more) {
    more = find.FindNextFile();
    if (find.IsDots()) continue;
    if (!find.IsDirectory()) ++count;
    else if (!IsFolderLink(find)) count += CountFiles(find.GetFilePath());
  }
  find.Close();
  return count;
}

void DeleteTree(std::wstring folder, WorkerContext* record) {
  DeletionReports reports{record, record ? record->hWnd : nullptr, GetTickCount() - kRedrawIntervalMs};
  DeleteFolder(folder, reports);
  // Fewer files than counted, or none: the last report tells the dialog that all is done.
  if (!reports.reachedEnd) Report(reports, folder, true);
}

bool DeletePath(LPCWSTR path) {
  if (!path || std::wcslen(path) >= MAX_PATH) return false;
  // The shell's list of items: the path, then two NULs.
  WCHAR from[MAX_PATH + 1] = {};
  std::wcscpy(from, path);
  SHFILEOPSTRUCTW operation{};
  operation.hwnd = nullptr;
  operation.wFunc = FO_DELETE;
  operation.pFrom = from;
  operation.pTo = nullptr;
  // Silent and for good: FOF_ALLOWUNDO stays clear, so nothing goes to the recycle bin.
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  operation.fAnyOperationsAborted = FALSE;
  operation.hNameMappings = nullptr;
  operation.lpszProgressTitle = nullptr;
  return SHFileOperationW(&operation) == 0;
}
