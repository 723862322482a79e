// The installation worker on the real dialog: from the download's completion report to the
// finish page, or to the alert when the package is damaged.
#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "dialog_probe.h"
#include "install/installation_record.h"
#include "platform/registry.h"
#include "resources/resource_ids.h"
#include "unit/test_http_server.h"
#include "unit/test_machine.h"
#include "unit/zip_writer.h"

namespace {

namespace fs = std::filesystem;

const std::wstring kInstallDir = L"c:\\Program Files (x86)\\Tessaly\\";
const std::wstring kProductDir = kInstallDir + L"T6\\";
constexpr const char* kRelease = "T6/resources/app/template/Release/";

std::wstring g_alert;  // the alert's text when a failed installation ended the run

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
           return std::towlower(x) == std::towlower(y);
         });
}

std::string Demo(const std::string& name) {
  std::ifstream in(std::string(T6_DEMO_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::wstring RecordString(LPCWSTR name) {
  HKEY key = nullptr;
  std::wstring text;
  if (OpenRecordKey(HKEY_LOCAL_MACHINE, kRecordKeyPath, key)) {
    QueryRecordString(text, key, name);
    CloseRecordKey(key);
  }
  return text;
}

std::wstring ClassServer(const std::wstring& clsid) {
  HKEY key = nullptr;
  std::wstring text;
  if (OpenRecordKey(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid + L"\\InprocServer32").c_str(), key)) {
    QueryRecordString(text, key, nullptr);
    CloseRecordKey(key);
  }
  return text;
}

// Puts the package in place and runs the dialog from page 134 on, as after a finished download:
// the download worker leaves at once, the test posts the completion report itself.
std::vector<std::wstring> Install(TestMachine& machine, const std::string& package,
                                  const std::function<void(DialogProbe&)>& atAlert = {}, bool stop = false) {
  SetTestArguments(L"");
  TestHttpServer server;
  std::vector<std::wstring> pages;
  DialogProbe dialog([&](DialogProbe& d, const std::wstring& page) {
    pages.push_back(page);
    if (page == L"132") {
      d.m_workerContext.strInstallDir = kInstallDir;
      d.m_workerContext.strUrl = server.Url("/ok/100000");
      d.m_workerContext.bStop = 1;
      d.LoadFromResource(IDR_HTML_INSTALLING);
    } else if (page == L"134") {
      ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(d.m_pWorkerThread->m_hThread, 10000));
      // The stopped download leaves its file behind as it was: the package takes its place.
      const std::string packagePath = machine.HostPath(kInstallDir + L"tesl6.hv");
      fs::create_directories(fs::path(packagePath).parent_path());
      std::ofstream(packagePath, std::ios::binary | std::ios::trunc) << package;
      if (stop) d.m_extractContext.bStop = 1;  // the user leaves as the extraction begins
      PostMessageW(d.GetSafeHwnd(), WM_WORKER_PROGRESS, kDownloadComplete, 0);
      if (stop) {
        g_timeout_add(100, [](gpointer probe) -> gboolean {
          auto* p = static_cast<DialogProbe*>(probe);
          if (p->m_pWorkerThread && WaitForSingleObject(p->m_pWorkerThread->m_hThread, 0) == WAIT_OBJECT_0 &&
              p->m_workerContext.bStop) {
            // Let any report the worker might have posted arrive before the run ends.
            g_timeout_add(500, [](gpointer again) -> gboolean {
              static_cast<DialogProbe*>(again)->EndDialog(IDOK);
              return G_SOURCE_REMOVE;
            }, p);
            return G_SOURCE_REMOVE;
          }
          return G_SOURCE_CONTINUE;
        }, &d);
      }
      if (atAlert) {
        // The failure shows the alert: wait for the worker, then let the report be handled.
        g_timeout_add(100, [](gpointer probe) -> gboolean {
          auto* p = static_cast<DialogProbe*>(probe);
          if (p->Eval(L"getComputedStyle(document.getElementById('alert')).display") == L"none") return G_SOURCE_CONTINUE;
          g_alert = p->ElementText(L"msg");
          p->EndDialog(IDOK);
          return G_SOURCE_REMOVE;
        }, &d);
      }
    } else if (page == L"136") {
      d.EndDialog(IDOK);
    }
  });
  dialog.DoModal();
  EXPECT_FALSE(dialog.TimedOut());
  if (atAlert) atAlert(dialog);
  return pages;
}

std::string DemoPackage(bool damaged = false) {
  std::vector<ZipEntry> entries = {
      {.name = "T6/", .data = ""},
      {.name = "T6/T6.EXE", .data = Demo("T6.EXE")},
      {.name = "T6/readme.txt", .data = "demo", .corruptCrc = damaged},
      {.name = "T6/resources/app/template/Release/", .data = ""},
      {.name = std::string(kRelease) + "grdes6.dll", .data = Demo("grdes6.dll")},
      {.name = std::string(kRelease) + "gregn6.dll", .data = Demo("gregn6.dll")},
      {.name = std::string(kRelease) + "grdesigner6.exe", .data = Demo("grdesigner6.exe")},
  };
  return WriteZip(entries);
}

TEST(InstallWorker, FromTheCompletionReportToTheFinishPage) {
  TestMachine machine;
  const auto pages = Install(machine, DemoPackage());
  EXPECT_EQ((std::vector<std::wstring>{L"132", L"134", L"136"}), pages);
  EXPECT_TRUE(fs::is_regular_file(machine.HostPath(kProductDir + L"T6.EXE")));
  EXPECT_FALSE(fs::exists(machine.HostPath(kInstallDir + L"tesl6.hv"))) << "the package file is deleted";
  EXPECT_EQ(L"1.0.0", RecordString(L"Version"));
  EXPECT_EQ(kProductDir, RecordString(L"Path"));
  const std::wstring server1 = kProductDir + L"resources\\app\\template\\Release\\grdes6.dll";
  const std::wstring server2 = kProductDir + L"resources\\app\\template\\Release\\gregn6.dll";
  EXPECT_EQ(server1, RecordString(L"ComDllPath1"));
  EXPECT_EQ(server2, RecordString(L"ComDllPath2"));
  // Each server registered its class with its own path, through the installer's registry.
  EXPECT_TRUE(SameIgnoringCase(server1, ClassServer(L"{6E3A1B52-4C7D-4F1A-9B8E-2D5C7A9E1F01}")));
  EXPECT_TRUE(SameIgnoringCase(server2, ClassServer(L"{6E3A1B52-4C7D-4F1A-9B8E-2D5C7A9E1F02}")));
}

TEST(InstallWorker, ADamagedPackageShowsTheAlertAndInstallsNothing) {
  TestMachine machine;
  g_alert.clear();
  const auto pages = Install(machine, DemoPackage(true), [&](DialogProbe&) {});
  EXPECT_EQ(0u, g_alert.find(L"安装包已损坏，无法解压：T6/readme.txt\n请重新运行安装程序再试一次")) << "names the entry";
  EXPECT_EQ((std::vector<std::wstring>{L"132", L"134"}), pages) << "no finish page";
  EXPECT_EQ(L"", RecordString(L"Path")) << "no record";
  EXPECT_EQ(L"", ClassServer(L"{6E3A1B52-4C7D-4F1A-9B8E-2D5C7A9E1F01}")) << "no registration";
  EXPECT_TRUE(fs::exists(machine.HostPath(kInstallDir + L"tesl6.hv"))) << "the package stays";
}

TEST(InstallWorker, LeavingDuringTheExtractionRunsNoInstallStep) {
  TestMachine machine;
  const auto pages = Install(machine, DemoPackage(), {}, true);
  EXPECT_EQ((std::vector<std::wstring>{L"132", L"134"}), pages);
  EXPECT_EQ(L"", RecordString(L"Path")) << "no record";
  EXPECT_FALSE(fs::exists(machine.HostPath(kProductDir + L"T6.EXE"))) << "stopped before the first entry";
}

}  // namespace
