// The package download worker: one HTTP GET into the install folder, with figures per chunk.
#include "download_worker.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "app/dialog_state.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/framework.h"
#include "platform/internet.h"

namespace {

constexpr UINT kChunkSize = 2048;
// Progress reports are at most this often: each costs the page a redraw, and on a fast line
// per-chunk reports would take the processor from the transfer itself. The page still shows
// figures no older than this, and the last figures always.
constexpr DWORD kReportIntervalMs = 30;
constexpr double kHalfSecondInDays = 0.5 / 86400.0;

void Report(WorkerContext& context, WorkerProgressCode code) {
  PostMessageW(context.hWnd, WM_WORKER_PROGRESS, code, 0);
}

void ReportFailure(WorkerContext& context, const std::wstring& text) {
  std::swprintf(context.szError, 256, L"%ls", text.c_str());
  Report(context, kDownloadFailed);
}

void ReportException(WorkerContext& context, CInternetException* error) {
  error->GetErrorMessage(context.szError, 255);
  error->Delete();
  Report(context, kDownloadFailed);
}

std::wstring SystemMessage(DWORD error) {
  WCHAR text[256] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 256, nullptr);
  return text;
}

// Whole seconds since start, rounded half away from zero; a clock set back gives a negative
// span, stored as its low 32 bits.
DWORD ElapsedSeconds(const COleDateTime& start) {
  double days = (COleDateTime::GetCurrentTime() - start).GetTotalDays();
  days += days >= 0 ? kHalfSecondInDays : -kHalfSecondInDays;
  return static_cast<DWORD>(static_cast<std::int64_t>(days * 86400.0));
}

// Posts a progress report unless one is waiting already (that one will show these figures).
void ReportProgress(WorkerContext& context, DWORD& lastReport) {
  if (context.bProgressQueued.exchange(1) != 0) return;
  lastReport = GetTickCount();
  Report(context, kDownloadProgress);
}

void PublishFigures(WorkerContext& context, std::uint64_t received, std::uint64_t total, DWORD elapsed) {
  context.nElapsed = elapsed;
  context.nProgress = static_cast<LONG>(total ? received * 100 / total : 100);
  const float done = static_cast<float>(static_cast<double>(received) / 1024.0);
  context.fDone = done;
  // Seconds taken as unsigned: a negative span reads as a huge one and gives speed 0.
  const double speed = static_cast<double>(done) / static_cast<double>(elapsed);
  context.nSpeed = std::isfinite(speed) ? static_cast<DWORD>(static_cast<std::uint64_t>(speed)) : 0;
}

}  // namespace

UINT DownloadThreadProc(LPVOID param) {
  WorkerContext& context = *static_cast<WorkerContext*>(param);
  CInternetSession session(AfxGetAppName(), 1, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  std::unique_ptr<CHttpFile> remote;
  try {
    remote.reset(session.OpenURL(context.strUrl.c_str(), 1, INTERNET_FLAG_RELOAD | INTERNET_FLAG_TRANSFER_BINARY));
  } catch (CInternetException* error) {
    session.Close();
    ReportException(context, error);
    return 0;
  }

  const COleDateTime start = COleDateTime::GetCurrentTime();
  const std::wstring path = context.strInstallDir + context.strFileName;
  CFile local;
  bool localOpen = false;
  auto closeAll = [&] {
    if (localOpen) local.Close();
    localOpen = false;
    remote->Close();
    session.Close();
  };
  // A local failure (folder, file, disk): reported with the system's text for the last error.
  auto failWithLastError = [&] {
    const DWORD error = GetLastError();
    closeAll();
    ReportFailure(context, SystemMessage(error));
    return 0u;
  };
  try {
    const std::uint64_t total = remote->SeekToEnd();
    remote->SeekToBegin();
    context.fTotal = static_cast<float>(static_cast<double>(total) / 1024.0);
    if (total > kLargestPackage) {
      closeAll();
      ReportFailure(context, L"安装包的大小（" + std::to_wstring(total) + L" 字节）超过了 2GB 的上限");
      return 0;
    }
    if (!PathFileExistsW(context.strInstallDir.c_str()) &&
        SHCreateDirectoryExW(nullptr, context.strInstallDir.c_str(), nullptr) != ERROR_SUCCESS)
      return failWithLastError();
    if (!local.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::typeBinary))
      return failWithLastError();
    localOpen = true;

    BYTE chunk[kChunkSize];
    std::uint64_t received = 0;
    DWORD lastReport = GetTickCount() - kReportIntervalMs;
    bool unreported = false;  // figures newer than the last report
    for (;;) {
      const UINT count = remote->Read(chunk, kChunkSize);
      if (count == 0) {
        if (unreported) ReportProgress(context, lastReport);
        break;
      }
      if (context.bStop) {
        // Leaving: no report, and no package file left behind.
        closeAll();
        DeleteFileW(path.c_str());
        return 0;
      }
      const DWORD elapsed = ElapsedSeconds(start);
      received += count;
      // The disk is full or the file cannot be written: a failure like the network's.
      if (!local.Write(chunk, count)) return failWithLastError();
      PublishFigures(context, received, total, elapsed);
      unreported = true;
      if (GetTickCount() - lastReport >= kReportIntervalMs) {
        ReportProgress(context, lastReport);
        unreported = false;
      }
      WorkerCheckpoint();  // holds here while the page asks whether to leave
    }
  } catch (CInternetException* error) {
    closeAll();
    ReportException(context, error);
    return 0;
  }
  // Closed before the report, so the extraction that the report starts finds it complete.
  localOpen = false;
  if (!local.Close()) return failWithLastError();
  closeAll();
  Report(context, kDownloadComplete);
  return 0;
}
