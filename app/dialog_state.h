// The records that the installer dialog shares with its worker threads. Workers borrow them by
// address and never own them; the dialog outlives every worker that may touch them.
#pragma once

#include <atomic>
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
};

// Shared with the download worker and, for its figures, the deletion worker.
struct WorkerContext {
  HWND hWnd = nullptr;
  std::atomic<LONG> bStop{0};  // set by the user interface, polled by the worker
  std::wstring strUrl;
  std::wstring strInstallDir;
  std::wstring strFileName;
  float fTotal = 0;
  float fDone = 0;
  LONG nProgress = 0;
  DWORD nSpeed = 0;
  DWORD nElapsed = 0;
  WCHAR szError[256] = {};
};

// Shared with the package extraction.
struct ExtractContext {
  std::wstring strCurrentEntry;
  std::atomic<LONG> bStop{0};  // set by the user interface, polled by the worker
  HWND hWnd = nullptr;
  UINT uMsg = WM_WORKER_PROGRESS;
  LONG nCode = kExtractEntry;
  LONG nTotal = 0;
  LONG nDone = 0;
};
