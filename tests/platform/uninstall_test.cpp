// The uninstall through the real dialog and pages: "继续卸载" on page 129, the record's
// registrations undone, the deletion worker's reports, and page 131.
#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialog_probe.h"
#include "install/installation_record.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "resources/resource_ids.h"
#include "unit/file_tree.h"
#include "unit/test_machine.h"

namespace {

const std::wstring kProduct = L"c:\\Program Files (x86)\\Tessaly\\T6\\";
const std::wstring kDesktopLink = L"c:\\Users\\Public\\Desktop\\TessalyT6.lnk";
const std::wstring kGroup = L"c:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tessaly\\";

struct Report {
  LONG done;
  float total;
  std::wstring path;
};

class UninstallProbe : public DialogProbe {
 public:
  UninstallProbe()
      : DialogProbe([](DialogProbe& d, const std::wstring& page) {
          auto& self = static_cast<UninstallProbe&>(d);
          self.pages.push_back(page);
          if (self.onPage) self.onPage(self, page);
        }) {}
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_WORKER_PROGRESS && wParam == kFileDeleted) {
      reports.push_back({m_workerContext.nProgress, m_workerContext.fTotal, m_workerContext.strFileName});
      if (onReport) onReport(*this);
    }
    return DialogProbe::WindowProc(message, wParam, lParam);
  }
  // Holds the report (and the worker waiting for it) until page 130 can be read.
  void WaitForPage130() {
    std::wstring text;
    for (int i = 0; i < 5000 && !GetPageElementText(L"DeleteInfo", text); ++i) {
      while (g_main_context_iteration(nullptr, FALSE)) {
      }
      usleep(1000);
    }
  }
  std::vector<std::wstring> pages;
  std::vector<Report> reports;
  std::wstring lastDeleteInfo;  // page 130's line when the run ended
  bool ending = false;
  std::function<void(UninstallProbe&, const std::wstring&)> onPage;
  std::function<void(UninstallProbe&)> onReport;
};

// Starts in uninstall mode, clicks "继续卸载" on page 129 and ends half a second after page
// `lastPage` (so a stray report or page still shows up).
std::unique_ptr<UninstallProbe> RunUninstallFlow(const std::wstring& lastPage,
                                                 std::function<void(UninstallProbe&)> onReport = {}) {
  SetTestArguments(L"-u");
  auto dialog = std::make_unique<UninstallProbe>();
  dialog->onReport = std::move(onReport);
  dialog->onPage = [lastPage](UninstallProbe& d, const std::wstring& page) {
    if (page == L"129") d.Run(L"document.getElementById('BtnRemove').click()");
    if (page == lastPage && !d.ending) {
      d.ending = true;
      g_timeout_add(500, [](gpointer probe) {
        auto* self = static_cast<UninstallProbe*>(probe);
        self->lastDeleteInfo = self->ElementText(L"DeleteInfo");
        self->EndDialog(IDOK);
        return G_SOURCE_REMOVE;
      }, &d);
    }
  };
  dialog->DoModal();
  EXPECT_FALSE(dialog->TimedOut());
  // Every page is reported once, even when the worker asks for page 131 while 130 loads.
  EXPECT_GE(1, std::count(dialog->pages.begin(), dialog->pages.end(), L"131"));
  return dialog;
}

class Uninstall : public testing::Test {
 protected:
  std::string Host(const std::wstring& windowsPath) const { return machine.HostPath(windowsPath); }
  std::string Product(const std::string& relative) const {
    return machine.Root() + "/drive_c/Program Files (x86)/Tessaly/T6" + relative;
  }

  void WriteRecord(const std::wstring& productFolder) {
    HKEY key = CreateRecordKey();
    ASSERT_NE(nullptr, key);
    SetRecordString(key, L"Version", L"1.0.0");
    SetRecordDword(key, L"InstallTick", 1700000000);
    SetRecordString(key, L"Path", productFolder);
    // ComDllPath2 is absent: the rest still happens.
    SetRecordString(key, L"ComDllPath1", productFolder + L"resources\\app\\template\\Release\\grdes6.dll");
    SetRecordString(key, L"lnkPath1", kDesktopLink);
    SetRecordString(key, L"lnkPath2", kGroup + L"TessalyT6.lnk");
    SetRecordString(key, L"lnkPath3", kGroup + L"Tessaly首页.lnk");
    SetRecordString(key, L"lnkPath4", kGroup + L"卸载TessalyT6.lnk");
    CloseRecordKey(key);
    for (const std::wstring& link : {kDesktopLink, kGroup + L"TessalyT6.lnk", kGroup + L"Tessaly首页.lnk",
                                     kGroup + L"卸载TessalyT6.lnk"})
      MakeFile(Host(link));
  }

  static void SetDefault(const std::wstring& classKey, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, classKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
  }

  static bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (!OpenRecordKey(root, path.c_str(), key)) return false;
    CloseRecordKey(key);
    return true;
  }

  TestMachine machine;
};

TEST_F(Uninstall, WithoutARecordNothingIsRemovedAndPage130Stays) {
  MakeFile(Product("/T6.EXE"));
  SetDefault(L".grf", L"grffile");
  const auto dialog = RunUninstallFlow(L"130");
  EXPECT_EQ((std::vector<std::wstring>{L"129", L"130"}), dialog->pages);
  EXPECT_TRUE(dialog->reports.empty());
  EXPECT_EQ(L"正在卸载中…", dialog->lastDeleteInfo);
  EXPECT_TRUE(Exists(Product("/T6.EXE")));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L".grf"));
}

TEST_F(Uninstall, ARecordNamingADriveRootDeletesNothingOnTheDrive) {
  WriteRecord(L"c:\\");
  MakeFile(Product("/T6.EXE"));
  MakeFile(machine.Root() + "/drive_c/precious.txt");
  const auto dialog = RunUninstallFlow(L"131");
  EXPECT_EQ((std::vector<std::wstring>{L"129", L"131"}), dialog->pages);
  EXPECT_TRUE(dialog->reports.empty());
  EXPECT_TRUE(Exists(machine.Root() + "/drive_c/precious.txt"));
  EXPECT_TRUE(Exists(Product("/T6.EXE")));
}

TEST_F(Uninstall, AFolderAlreadyGoneEndsOnPage131AfterTheRegistrySteps) {
  WriteRecord(kProduct);
  HKEY other = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Halvexo\\OtherProduct", 0, nullptr, 0,
                                           RecordAccessMask(), nullptr, &other, nullptr));
  RegCloseKey(other);
  SetDefault(L".grf", L"GRFFILE");
  SetDefault(L"grffile\\Shell\\Open\\Command", L"grdesigner6.exe %1");
  const auto dialog = RunUninstallFlow(L"131");
  EXPECT_EQ((std::vector<std::wstring>{L"129", L"131"}), dialog->pages);
  EXPECT_TRUE(dialog->reports.empty());
  EXPECT_FALSE(Exists(Host(kDesktopLink)));
  EXPECT_FALSE(Exists(Host(kGroup + L"卸载TessalyT6.lnk")));
  EXPECT_TRUE(Exists(Host(kGroup)));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKeyPath));
  // Another product of the vendor keeps its record.
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Halvexo\\OtherProduct"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".grf"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"grffile"));
}

TEST_F(Uninstall, EachFileIsReportedInSearchOrderAndTheLastReportShowsPage131) {
  WriteRecord(kProduct);
  MakeFile(Product("/T6.EXE"), 0755);
  MakeFile(Product("/resources/app/template/Release/grdes6.dll"), 0444);
  MakeFile(Product("/readme.txt"));
  // Another program has taken ".grf" over since: it keeps it; our program id still goes.
  SetDefault(L".grf", L"OtherDesigner.Report");
  SetDefault(L"grffile", L"GRID++报表");
  const auto dialog = RunUninstallFlow(L"131");
  EXPECT_EQ(L"131", dialog->pages.back());
  ASSERT_EQ(3u, dialog->reports.size());
  const std::wstring paths[] = {kProduct + L"readme.txt", kProduct + L"resources\\app\\template\\Release\\grdes6.dll",
                                kProduct + L"T6.EXE"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(i + 1, dialog->reports[i].done);
    EXPECT_EQ(3.0f, dialog->reports[i].total);
    EXPECT_EQ(paths[i], dialog->reports[i].path);
  }
  EXPECT_FALSE(Exists(Product("")));
  EXPECT_TRUE(Exists(machine.Root() + "/drive_c/Program Files (x86)/Tessaly"));
  // Nothing else was under the vendor key: it goes with the record.
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Halvexo"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L".grf"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"grffile"));
}

TEST_F(Uninstall, AFileInUseIsReportedAndStaysWithItsFoldersAndPage131Follows) {
  WriteRecord(kProduct);
  MakeFile(Product("/T6.EXE"));
  MakeFile(Product("/resources/app/template/Release/gregn6.dll"));
  MakeFile(Product("/resources/app/index.html"));
  // Held open without sharing, as a running product holds its library.
  const std::wstring inUse = kProduct + L"resources\\app\\template\\Release\\gregn6.dll";
  HANDLE held = CreateFileW(inUse.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  const auto dialog = RunUninstallFlow(L"131");
  CloseHandle(held);
  EXPECT_EQ(L"131", dialog->pages.back());
  ASSERT_EQ(3u, dialog->reports.size());
  EXPECT_EQ(inUse, dialog->reports[1].path);
  EXPECT_TRUE(Exists(Product("/resources/app/template/Release/gregn6.dll")));
  EXPECT_FALSE(Exists(Product("/resources/app/index.html")));
  EXPECT_FALSE(Exists(Product("/T6.EXE")));
}

TEST_F(Uninstall, NoFilesOrFewerThanCountedStillEndOnPage131) {
  struct Case {
    const char* name;
    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::string vanishing;  // removed by "someone else" while the first report is handled
    std::vector<LONG> reported;
  };
  const Case cases[] = {
      {"only empty folders", {}, {"/a/b", "/c"}, "", {0}},
      {"one file vanishes", {"/a.txt", "/b.txt", "/z/c.txt"}, {}, "/z/c.txt", {1, 2, 3}},
  };
  for (const Case& c : cases) {
    WriteRecord(kProduct);
    for (const auto& file : c.files) MakeFile(Product(file));
    for (const auto& folder : c.folders) std::filesystem::create_directories(Product(folder));
    const auto dialog = RunUninstallFlow(L"131", [&](UninstallProbe& d) {
      if (!c.vanishing.empty() && d.reports.size() == 1) unlink(Product(c.vanishing).c_str());
    });
    ASSERT_FALSE(dialog->pages.empty()) << c.name;
    EXPECT_EQ(L"131", dialog->pages.back()) << c.name;
    std::vector<LONG> reported;
    for (const Report& report : dialog->reports) reported.push_back(report.done);
    EXPECT_EQ(c.reported, reported) << c.name;
    EXPECT_FALSE(Exists(Product(""))) << c.name;
  }
}

TEST_F(Uninstall, ClosingDuringTheDeletionEndsTheDialogAndTheWorkerLeavesItsRecordsAlone) {
  WriteRecord(kProduct);
  for (int folder = 0; folder < 20; ++folder)
    for (int file = 0; file < 100; ++file)
      MakeFile(Product("/f" + std::to_string(folder) + "/" + std::to_string(file) + ".dat"));
  const auto dialog = RunUninstallFlow(L"", [](UninstallProbe& d) {
    // "取消" while the worker deletes: the click waits in the queue next to the reports.
    if (d.reports.size() != 1) return;
    d.WaitForPage130();
    d.Run(L"document.getElementById('BtnCancel').click()");
  });
  EXPECT_EQ(L"130", dialog->pages.back());
  const LONG atEnd = dialog->m_workerContext.nProgress;
  EXPECT_LT(atEnd, 2000);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(dialog->m_pWorkerThread->m_hThread, 30000));
  // The deletion goes on to the end, but nothing more is written into the ended dialog.
  EXPECT_EQ(atEnd, dialog->m_workerContext.nProgress);
  EXPECT_FALSE(Exists(Product("")));
}

}  // namespace
