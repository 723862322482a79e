// One download through the real dialog and its download worker: from page 134 loaded to the
// completion report handled, with how long each progress report waited for the user-interface
// thread, and the process's peak memory. Driven by bench/download_bench.py.
//   t6_download_bench URL
#include <gtk/gtk.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/dialog_probe.h"
#include "platform/host/message_queue.h"
#include "resources/resource_ids.h"
#include "unit/test_machine.h"

namespace {

// User and system time of the whole installer process so far (every thread of it).
double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class BenchDialog : public DialogProbe {
 public:
  using DialogProbe::DialogProbe;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_WORKER_PROGRESS && wParam == kDownloadProgress)
      waits.push_back(static_cast<LONG>(GetTickCount()) - GetMessageTime());
    const LRESULT result = DialogProbe::WindowProc(message, wParam, lParam);
    if (message == WM_WORKER_PROGRESS && (wParam == kDownloadComplete || wParam == kDownloadFailed)) {
      finished = std::chrono::steady_clock::now();
      cpuFinished = ProcessorSeconds();
      failed = wParam == kDownloadFailed;
      EndDialog(IDOK);
    }
    return result;
  }
  std::vector<LONG> waits;
  std::chrono::steady_clock::time_point started, finished;
  double cpuStarted = 0, cpuFinished = 0;
  bool failed = false;
};

long PeakMemoryKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || !gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "usage (under a display): t6_download_bench URL\n");
    return 2;
  }
  host::SetUiThread();
  TestMachine machine("[drive.c]\nfree_bytes = 53687091200\n");
  SetTestArguments(L"");
  const std::string url = argv[1];
  BenchDialog* self = nullptr;
  BenchDialog dialog(
      [&](DialogProbe& d, const std::wstring& page) {
        if (page == L"132") {
          d.m_workerContext.strUrl = std::wstring(url.begin(), url.end());
          d.LoadFromResource(IDR_HTML_INSTALLING);
        } else if (page == L"134") {
          self->started = std::chrono::steady_clock::now();  // the handler starts the worker next
          self->cpuStarted = ProcessorSeconds();
        }
      },
      600000);
  self = &dialog;
  dialog.DoModal();
  if (dialog.TimedOut() || dialog.failed) {
    std::fprintf(stderr, "the download did not complete\n");
    return 1;
  }
  std::vector<LONG> waits = dialog.waits;
  std::sort(waits.begin(), waits.end());
  const double seconds = std::chrono::duration<double>(dialog.finished - dialog.started).count();
  std::printf("wall_s=%.3f cpu_s=%.3f reports=%zu wait_median_ms=%ld wait_max_ms=%ld peak_kb=%ld\n", seconds,
              dialog.cpuFinished - dialog.cpuStarted, waits.size(),
              waits.empty() ? 0L : static_cast<long>(waits[waits.size() / 2]),
              waits.empty() ? 0L : static_cast<long>(waits.back()), PeakMemoryKb());
  return 0;
}
