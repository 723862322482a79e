// The worker progress message on the real pages: what each code shows.
#include <gtest/gtest.h>

#include "dialog_probe.h"
#include "resources/resource_ids.h"
#include "unit/test_http_server.h"
#include "unit/test_machine.h"

namespace {

void Send(DialogProbe& d, WPARAM code, LPARAM lParam = 0) { d.SendMessage(WM_WORKER_PROGRESS, code, lParam); }

TEST(WorkerProgress, EachCodeShowsItsLineBarAlertOrPage) {
  TestMachine machine;
  TestHttpServer server;
  SetTestArguments(L"");
  std::vector<std::wstring> pages;
  DialogProbe dialog([&](DialogProbe& d, const std::wstring& page) {
    pages.push_back(page);
    if (page == L"132") {
      // The download worker that page 134 starts leaves at once, silently: the test sends the
      // reports itself.
      d.m_workerContext.strUrl = server.Url("/ok/100000");
      d.m_workerContext.bStop = 1;
      d.LoadFromResource(IDR_HTML_INSTALLING);
    } else if (page == L"134") {
      ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(d.m_pWorkerThread->m_hThread, 10000));
      auto& figures = d.m_workerContext;
      figures.nProgress = 0, figures.nSpeed = 0, figures.fDone = 2, figures.fTotal = 3300;
      Send(d, kDownloadProgress);
      EXPECT_EQ(L"0% 0KB/秒 [2KB/3300KB]", d.ElementText(L"DownloadInfo"));
      figures.nProgress = 37, figures.nSpeed = 512, figures.fDone = 1234.4f;
      Send(d, kDownloadProgress);
      EXPECT_EQ(L"37% 512KB/秒 [1234KB/3300KB]", d.ElementText(L"DownloadInfo"));
      EXPECT_EQ(L"37%", d.Eval(L"document.getElementById('Progress').style.width"));

      // Codes nobody sends, and a non-zero lParam, change nothing.
      const std::wstring before = d.Eval(L"document.body.innerHTML");
      ASSERT_FALSE(before.empty());
      for (WPARAM code : {0, 4, 7, 8, 9, 11}) Send(d, code, 99);
      EXPECT_EQ(before, d.Eval(L"document.body.innerHTML"));

      // The failure text is shown as text: markup in it does not run.
      std::swprintf(figures.szError, 256, L"<img src=x onerror=\"document.title='hacked'\">&amp;");
      Send(d, kDownloadFailed);
      const std::wstring alert = d.ElementText(L"msg");
      EXPECT_EQ(0u, alert.find(L"发生错误:<img src=x onerror=\"document.title='hacked'\">&amp;\n")) << "shown as written";
      EXPECT_NE(std::wstring::npos, alert.find(L"请确认网络正常后再试一次"));
      EXPECT_EQ(L"0", d.Eval(L"String(document.getElementById('msg').getElementsByTagName('img').length)"));
      EXPECT_EQ(L"paused", d.Eval(L"document.getElementById('loadAnimation').className"));

      auto& entry = d.m_extractContext;
      const std::wstring shortPath = L"c:\\Program Files (x86)\\Tessaly\\T6\\a.txt";
      const std::wstring longPath = L"c:\\Program Files (x86)\\Tessaly\\T6\\resources\\app\\template\\Release\\gregn6.dll";
      entry.strCurrentEntry = shortPath, entry.nDone = 1, entry.nTotal = 3;
      Send(d, kExtractEntry);
      EXPECT_EQ(L"正在安装：[33%] " + shortPath, d.ElementText(L"ExtractInfo"));
      EXPECT_EQ(L"33%", d.Eval(L"document.getElementById('Progress').style.width"));
      entry.strCurrentEntry = longPath, entry.nDone = 3;
      Send(d, kExtractEntry);
      const std::wstring line = d.ElementText(L"ExtractInfo");
      EXPECT_EQ(0u, line.find(L"正在安装：[100%] "));
      EXPECT_LE(line.size() - std::wstring(L"正在安装：[100%] ").size(), 54u);
      EXPECT_NE(std::wstring::npos, line.find(L"...\\gregn6.dll"));

      Send(d, kInstallFinished);
    } else if (page == L"136") {
      d.LoadFromResource(IDR_HTML_REMOVING);
    } else if (page == L"130") {
      auto& figures = d.m_workerContext;
      figures.fTotal = 4, figures.nProgress = 3, figures.strFileName = L"c:\\T6\\a&b<c>.txt";
      Send(d, kFileDeleted);
      EXPECT_EQ(L"正在删除：[75%] c:\\T6\\a&b<c>.txt", d.ElementText(L"DeleteInfo"));
      figures.nProgress = 5;  // more than counted: above 100, no page change
      Send(d, kFileDeleted);
      EXPECT_EQ(L"125%", d.Eval(L"document.getElementById('Progress').style.width"));
      figures.nProgress = 4;
      Send(d, kFileDeleted);  // exactly 100: the removal finished page
    } else if (page == L"131") {
      d.EndDialog(IDOK);
    }
  });
  dialog.DoModal();
  EXPECT_FALSE(dialog.TimedOut());
  EXPECT_EQ((std::vector<std::wstring>{L"132", L"134", L"136", L"130", L"131"}), pages);
}

}  // namespace
