// Page bridge figures on the real web view: the four operations, and a click's way from the
// page to the program's reaction. Run under a display: xvfb-run -a build/host/bench/t6_bridge_bench
#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/host/message_queue.h"
#include "platform/dialog_probe.h"
#include "resources/resource_ids.h"
#include "unit/test_machine.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Series {
  const char* name;
  std::vector<double> micros;
  void Add(Clock::time_point start) {
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  void Print() {
    std::sort(micros.begin(), micros.end());
    std::printf("%-34s n=%-5zu median %8.1f us   worst %8.1f us\n", name, micros.size(), micros[micros.size() / 2],
                micros.back());
  }
};

constexpr int kCalls = 500;
constexpr int kClicks = 100;

}  // namespace

int main(int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "needs a display (run under xvfb-run)\n");
    return 1;
  }
  host::SetUiThread();
  TestMachine machine("[drive.c]\nfree_bytes = 53687091200\n");
  SetTestArguments(L"");
  Series read{"GetPageElementText(Directry)", {}}, write{"SetPageElementHtml(Info)", {}};
  Series call{"CallPageFunction(setProgress, 50)", {}}, attribute{"GetSourceAttribute(id)", {}};
  Series click{"click to reaction (userDefined)", {}};
  Clock::time_point clickStart;
  int clicks = 0;

  DialogProbe dialog(
      [&](DialogProbe& d, const std::wstring& page) {
        if (page == L"132") {
          std::wstring text;
          for (int i = 0; i < kCalls; ++i) {
            auto start = Clock::now();
            d.GetPageElementText(L"Directry", text);
            read.Add(start);
          }
          for (int i = 0; i < kCalls; ++i) {
            auto start = Clock::now();
            d.SetPageElementHtml(L"Info", L"所需磁盘空间500MB，可用磁盘空间" + std::to_wstring(i) + L"MB");
            write.Add(start);
          }
          clickStart = Clock::now();
          d.Run(L"document.getElementById('userDefined').click()");
        } else if (page == L"134") {
          for (int i = 0; i < kCalls; ++i) {
            auto start = Clock::now();
            d.CallPageFunction(L"setProgress", {std::to_wstring(i % 101)}, nullptr);
            call.Add(start);
          }
          d.EndDialog(IDOK);
        }
      },
      120000);
  dialog.m_onClick = [&](DialogProbe& d, IHTMLElement& element) {
    click.Add(clickStart);
    std::wstring source;
    for (int i = 0; i < kCalls && clicks == 0; ++i) {
      auto start = Clock::now();
      d.GetSourceAttribute(&element, L"id", source);
      attribute.Add(start);
    }
    if (++clicks < kClicks) {
      clickStart = Clock::now();
      d.Run(L"document.getElementById('userDefined').click()");
    } else {
      d.LoadFromResource(IDR_HTML_INSTALLING);
    }
  };
  dialog.DoModal();
  if (dialog.TimedOut()) {
    std::fprintf(stderr, "the run timed out\n");
    return 1;
  }
  for (Series* series : {&read, &write, &call, &attribute, &click}) series->Print();
  return 0;
}
