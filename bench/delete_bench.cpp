// The uninstall's deletion against rm -rf: a product folder of small files in 100 folders
// removed through the real dialog (the click on "继续卸载" to page 131 loaded, with the deletion
// worker and page 130's reports), and a tree of the same shape removed by `rm -rf`, in the
// same run and on the same disk (the machine folder under /var/tmp unless T6_BENCH_DIR says
// otherwise). Best of three rounds each, and their ratio.
//   xvfb-run -a build/host/bench/t6_delete_bench [FILES]      (default 10000)
#include <gtk/gtk.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "install/installation_record.h"
#include "platform/dialog_probe.h"
#include "platform/host/emulated_machine.h"
#include "platform/host/message_queue.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFolders = 100;

class BenchDialog : public DialogProbe {
 public:
  using DialogProbe::DialogProbe;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_WORKER_PROGRESS && wParam == kFileDeleted) {
      ++reports;
      if (!m_workerContext.bQuietReport) ++drawn;
    }
    return DialogProbe::WindowProc(message, wParam, lParam);
  }
  Clock::time_point clicked, finished;
  long reports = 0;
  long drawn = 0;
};

void MakeTree(const std::string& root, int files) {
  for (int i = 0; i < files; ++i) {
    const std::string folder = root + "/folder" + std::to_string(i % kFolders);
    if (i < kFolders) std::filesystem::create_directories(folder);
    std::ofstream(folder + "/file" + std::to_string(i) + ".dat") << "small file " << i << '\n';
  }
}

double Seconds(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double>(to - from).count(); }

}  // namespace

int main(int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "usage (under a display): t6_delete_bench [FILES]\n");
    return 2;
  }
  const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
  host::SetUiThread();
  const char* base = std::getenv("T6_BENCH_DIR");
  std::string pattern = std::string(base && *base ? base : "/var/tmp") + "/t6-delete-bench-XXXXXX";
  if (!mkdtemp(pattern.data())) return 1;
  const std::string root = pattern;
  const std::string product = root + "/drive_c/Program Files (x86)/Tessaly/T6";
  const std::string peer = root + "/drive_c/peer";
  setenv("T6_HOST_ROOT", root.c_str(), 1);
  host::UseEmulatedMachine(root, host::MachineDescription{});
  SetTestArguments(L"-u");

  double best = 1e9, bestPeer = 1e9;
  long reports = 0, drawn = 0;
  for (int round = 0; round < 3; ++round) {
    MakeTree(product, files);
    MakeTree(peer, files);
    HKEY key = CreateRecordKey();
    SetRecordString(key, L"Path", L"c:\\Program Files (x86)\\Tessaly\\T6\\");
    CloseRecordKey(key);
    sync();

    const auto peerStart = Clock::now();
    if (std::system(("rm -rf '" + peer + "'").c_str()) != 0) return 1;
    bestPeer = std::min(bestPeer, Seconds(peerStart, Clock::now()));

    BenchDialog* self = nullptr;
    BenchDialog dialog(
        [&](DialogProbe& d, const std::wstring& page) {
          if (page == L"129") {
            self->clicked = Clock::now();
            d.Run(L"document.getElementById('BtnRemove').click()");
          } else if (page == L"131") {
            self->finished = Clock::now();
            d.EndDialog(IDOK);
          }
        },
        600000);
    self = &dialog;
    dialog.DoModal();
    if (dialog.TimedOut() || std::filesystem::exists(product)) {
      std::fprintf(stderr, "the removal did not finish\n");
      return 1;
    }
    best = std::min(best, Seconds(dialog.clicked, dialog.finished));
    reports = dialog.reports;
    drawn = dialog.drawn;
  }
  std::filesystem::remove_all(root);
  std::printf("%d files in %d folders: installer %.3f s (%ld reports, %ld drawn), rm -rf %.3f s, ratio %.2f\n", files,
              kFolders, best, reports, drawn, bestPeer, best / bestPeer);
  return 0;
}
