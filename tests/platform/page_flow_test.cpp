// The page flow under hurried input: double clicks, and reports that wait behind a close.
#include <glib.h>
#include <gtest/gtest.h>

#include "dialog_probe.h"
#include "resources/resource_ids.h"
#include "unit/test_http_server.h"
#include "unit/test_machine.h"

namespace {

// Runs the dialog on a roomy machine; `step` acts on each loaded page, the run ends 1.5 s after
// page `lastPage` first loaded (long enough for a stray second load or worker to show up).
std::vector<std::wstring> RunFlow(const std::function<void(DialogProbe&, const std::wstring&)>& step,
                                  const std::wstring& lastPage, DialogProbe** out = nullptr) {
  std::vector<std::wstring> pages;
  bool ending = false;
  DialogProbe dialog([&](DialogProbe& d, const std::wstring& page) {
    pages.push_back(page);
    step(d, page);
    if (page == lastPage && !ending) {
      ending = true;
      g_timeout_add(1500, [](gpointer probe) {
        static_cast<DialogProbe*>(probe)->EndDialog(IDOK);
        return G_SOURCE_REMOVE;
      }, &d);
    }
  });
  if (out) *out = &dialog;
  dialog.DoModal();
  EXPECT_FALSE(dialog.TimedOut());
  return pages;
}

TEST(PageFlow, AClickFromAPageTheProgramHasLeftIsDropped) {
  TestMachine machine("[drive.c]\nfree_bytes = 53687091200\n");
  SetTestArguments(L"");
  // The click reaches the program while it is already moving to the agreement page: it belonged
  // to page 132 and must not start the installation.
  auto pages = RunFlow(
      [](DialogProbe& d, const std::wstring& page) {
        if (page != L"132") return;
        d.Run(L"document.getElementById('ifSetup').click()");
        d.LoadFromResource(IDR_HTML_AGREEMENT);
      },
      L"133");
  EXPECT_EQ((std::vector<std::wstring>{L"132", L"133"}), pages);
}

TEST(PageFlow, ALoadCancelledByANewerOneReportsNoPage) {
  TestMachine machine;
  SetTestArguments(L"");
  auto pages = RunFlow(
      [](DialogProbe& d, const std::wstring& page) {
        if (page != L"132") return;
        d.LoadFromResource(IDR_HTML_REMOVED);
        d.LoadFromResource(IDR_HTML_AGREEMENT);
      },
      L"133");
  EXPECT_EQ((std::vector<std::wstring>{L"132", L"133"}), pages);
}

TEST(PageFlow, PageInstallingLoadedAgainStartsNoSecondDownload) {
  TestMachine machine;
  TestHttpServer server;
  SetTestArguments(L"");
  CWinThread* firstWorker = nullptr;
  CWinThread* lastWorker = nullptr;
  int loads = 0;
  RunFlow(
      [&](DialogProbe& d, const std::wstring& page) {
        if (page == L"132") {
          d.m_workerContext.strUrl = server.Url("/slow/400000/2048/20");
          d.LoadFromResource(IDR_HTML_INSTALLING);
        } else if (page == L"134") {
          if (++loads == 1) {
            firstWorker = d.m_pWorkerThread;
            d.LoadFromResource(IDR_HTML_INSTALLING);
          }
          lastWorker = d.m_pWorkerThread;
        }
      },
      L"134");
  EXPECT_EQ(2, loads);
  ASSERT_NE(nullptr, firstWorker);
  EXPECT_EQ(firstWorker, lastWorker);
}

class CountingDialog : public DialogProbe {
 public:
  using DialogProbe::DialogProbe;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_WORKER_PROGRESS) ++reports;
    return DialogProbe::WindowProc(message, wParam, lParam);
  }
  int reports = 0;
};

TEST(PageFlow, ReportsWaitingBehindTheCloseAreDropped) {
  TestMachine machine;
  SetTestArguments(L"");
  CountingDialog dialog([](DialogProbe& d, const std::wstring& page) {
    if (page != L"132") return;
    PostMessageW(d.GetSafeHwnd(), WM_WORKER_PROGRESS, kDownloadComplete, 0);
    PostMessageW(d.GetSafeHwnd(), WM_WORKER_PROGRESS, kInstallFinished, 0);
    d.EndDialog(IDCANCEL);
    // Posting to an ended dialog fails, as to a destroyed window.
    EXPECT_FALSE(PostMessageW(d.GetSafeHwnd(), WM_WORKER_PROGRESS, kInstallFinished, 0));
  });
  EXPECT_EQ(IDCANCEL, dialog.DoModal());
  EXPECT_EQ(0, dialog.reports);
}

}  // namespace
