// The records that the installer dialog shares with its worker threads. Workers borrow them by
// address and never own them; the dialog outlives every worker that may touch them.
#pragma once

#include <atomic>
#include <cmath>
#include <mutex>
#include <string>

#include "platform/windows_types.h"

// The private window message by which every worker reports to the dialog (WM_USER + 100).
constexpr UINT WM_WORKER_PROGRESS = WM_USER + 100;

// Codes carried in wParam of the worker progress message.
enum WorkerProgressCode : WPARAM {
  kDownloadProgress = 1,
  kDownloadFailed = 2,
  kDownloadComplete = 3,
  kExtractEntry = 5,
  kFileDeleted = 6,
  kInstallFinished = 10,
  // Our own: the extraction failed; the dialog shows why (ExtractContext's failure fields).
  kExtractFailed = 12,
};

// Why an extraction failed, for the text that the dialog shows.
enum ExtractFailure : LONG {
  kNoFailure = 0,
  kPackageDamaged = 1,  // the archive or an entry can't be read, or an entry's name is refused
  kCannotWrite = 2,     // a file can't be created or written (a full disk, a file in use)
};

// Shared with the download worker and, for its figures, the deletion worker. The figures are
// single 32-bit values that the worker writes whole and the dialog reads when a report arrives;
// atomics make that explicit without a lock.
struct WorkerContext {
  HWND hWnd = nullptr;
  std::atomic<LONG> bStop{0};  // set by the user interface, polled by the worker
  std::wstring strUrl;
  std::wstring strInstallDir;
  std::wstring strFileName;
  std::atomic<float> fTotal{0};
  std::atomic<float> fDone{0};
  std::atomic<LONG> nProgress{0};
  std::atomic<DWORD> nSpeed{0};
  std::atomic<DWORD> nElapsed{0};
  WCHAR szError[256] = {};
  // 1 while a download progress report waits in the queue: the worker then posts no other, and
  // the one waiting shows the newest figures when it is handled. So reports never pile up
  // ahead of the failure and completion reports, and the page never lags behind the transfer.
  std::atomic<LONG> bProgressQueued{0};
  // Deletion only: 1 when a file-deleted report is to be counted but not drawn, because the
  // page was redrawn less than ~30 ms ago; a report that reaches 100 % is always drawn, and so
  // is the last one. Page redraws then do not set the pace of the deletion.
  std::atomic<LONG> bQuietReport{0};
};

// The percentage of a deletion report: files deleted × 100 (a 32-bit product) divided by the
// files counted, truncated. With nothing counted and nothing deleted, all there was is done.
inline int DeletePercent(LONG deleted, float total) {
  if (deleted == 0 && total == 0) return 100;
  const auto product = static_cast<LONG>(static_cast<DWORD>(deleted) * 100u);
  const double percent = static_cast<double>(product) / static_cast<double>(total);
  return std::isfinite(percent) ? static_cast<int>(percent) : 0;
}

// Shared with the package extraction.
struct ExtractContext {
  std::wstring strCurrentEntry;  // rewritten per entry by the worker: read under entryLock
  std::mutex entryLock;
  std::atomic<LONG> bStop{0};  // set by the user interface, polled by the worker
  HWND hWnd = nullptr;
  UINT uMsg = WM_WORKER_PROGRESS;
  LONG nCode = kExtractEntry;
  std::atomic<LONG> nTotal{0};
  std::atomic<LONG> nDone{0};
  // Written by the worker before it posts kExtractFailed, under entryLock: the entry (its name
  // as stored, or the file's path) or the package that failed, and the system's error code.
  ExtractFailure nFailure = kNoFailure;
  std::wstring strFailedItem;
  DWORD nFailureError = 0;
};
