// The core's workers on the Win32 platform, without the dialog: the download worker fetches
// from the local test server (tests/servers/http_test_server.py, its port in
// T6_TEST_SERVER_PORT) into the Wine prefix, and reports to a window as it does in the program.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/dialog_state.h"
#include "download/download_worker.h"
#include "environment/os_identification.h"
#include "install/installation_record.h"
#include "platform/files.h"
#include "platform/framework.h"
#include "platform/registry.h"

namespace {

// Byte i of every test answer, as the server makes them.
unsigned char PatternByte(std::size_t i) { return static_cast<unsigned char>((i * 7 + i / 251) % 256); }

std::wstring ServerUrl(const std::wstring& path) {
  WCHAR port[16] = {};
  if (!GetEnvironmentVariableW(L"T6_TEST_SERVER_PORT", port, 16)) return L"";
  return L"http://127.0.0.1:" + std::wstring(port) + path;
}

// Stands in for the dialog: a message-only window on this thread that keeps every report.
class Recorder {
 public:
  explicit Recorder(WorkerContext& context) : m_context(context) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Recorder::Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"T6CoreRunRecorder";
    RegisterClassW(&windowClass);
    m_hWnd = CreateWindowExW(0, L"T6CoreRunRecorder", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             GetModuleHandleW(nullptr), this);
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Recorder() { DestroyWindow(m_hWnd); }

  HWND Window() const { return m_hWnd; }

  // Runs the message loop until the worker's last report (or the time limit).
  WPARAM RunUntilDone(DWORD limitMs) {
    const DWORD start = GetTickCount();
    while (m_last != kDownloadComplete && m_last != kDownloadFailed && GetTickCount() - start < limitMs) {
      MSG message;
      if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
      } else {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      }
    }
    return m_last;
  }

  int progressReports = 0;
  LONG lastProgress = -1;
  std::wstring error;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Recorder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_WORKER_PROGRESS) {
      self->m_last = wParam;
      if (wParam == kDownloadProgress) {
        self->m_context.bProgressQueued = 0;
        ++self->progressReports;
        self->lastProgress = self->m_context.nProgress;
      } else if (wParam == kDownloadFailed) {
        self->error = self->m_context.szError;
      }
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  WorkerContext& m_context;
  HWND m_hWnd = nullptr;
  WPARAM m_last = 0;
};

class CoreRun : public testing::Test {
 protected:
  void SetUp() override {
    if (ServerUrl(L"").empty()) GTEST_SKIP() << "T6_TEST_SERVER_PORT is not set: run through CTest";
  }

  WPARAM Download(const std::wstring& path, Recorder& recorder) {
    context.hWnd = recorder.Window();
    context.strUrl = ServerUrl(path);
    context.strInstallDir = folder;
    context.strFileName = L"tesl6.hv";
    CWinThread* worker = AfxBeginThread(DownloadThreadProc, &context);
    EXPECT_NE(nullptr, worker);
    const WPARAM last = recorder.RunUntilDone(60000);
    if (worker) {
      EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker->m_hThread, 10000));
    }
    return last;
  }

  std::string Package() const {
    FILE* file = _wfopen((folder + L"tesl6.hv").c_str(), L"rb");
    if (!file) return "<missing>";
    std::string bytes;
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
    fclose(file);
    return bytes;
  }

  WorkerContext context;
  // The program's own default folder, which does not exist in a new prefix.
  std::wstring folder = L"c:\\Program Files (x86)\\Tessaly\\" + std::to_wstring(GetTickCount()) + L"\\";
};

TEST_F(CoreRun, DownloadsThePackageIntoANewFolderWithProgress) {
  Recorder recorder(context);
  constexpr std::size_t kSize = 3 * 1024 * 1024 + 17;
  ASSERT_EQ(kDownloadComplete, Download(L"/ok/" + std::to_wstring(kSize), recorder)) << recorder.error;
  const std::string bytes = Package();
  ASSERT_EQ(kSize, bytes.size());
  std::size_t wrong = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) wrong += static_cast<unsigned char>(bytes[i]) != PatternByte(i);
  EXPECT_EQ(0u, wrong);
  EXPECT_GT(recorder.progressReports, 0);
  EXPECT_EQ(100, recorder.lastProgress);
  EXPECT_FLOAT_EQ(static_cast<float>(kSize / 1024.0), context.fTotal.load());
}

TEST_F(CoreRun, FailuresOfTheServerReachTheReport) {
  const struct {
    std::wstring path;
    const wchar_t* inError;  // part of the reported text, or null for any text
  } cases[] = {
      {L"/status/404", L"404"},
      // Announced 100000 bytes, sent 30000 and closed: a broken package, never a complete one.
      {L"/short/100000/30000", nullptr},
      {L"/nolength/5000", nullptr},
  };
  for (const auto& c : cases) {
    context.bProgressQueued = 0;
    Recorder recorder(context);
    EXPECT_EQ(kDownloadFailed, Download(c.path, recorder)) << std::string(c.path.begin(), c.path.end());
    EXPECT_FALSE(recorder.error.empty());
    if (c.inError) {
      EXPECT_NE(std::wstring::npos, recorder.error.find(c.inError)) << "error text: " << recorder.error.size();
    }
  }
}

// The program's manifest declares Windows 10 support, so the version query tells the truth
// (without it, Windows 8.1 and later answer 6.2). This program carries the same resources.
TEST(CoreRunSystem, TheManifestLetsTheVersionQueryReportWindowsTen) {
  std::wstring name;
  EXPECT_EQ(10u, IdentifyOperatingSystem(name));
  EXPECT_EQ(L"Microsoft Windows 10", name);
}

// The record the install steps write lands in the 64-bit view, whatever the program's bitness.
TEST(CoreRunRecord, TheInstallationRecordIsWrittenToTheSixtyFourBitView) {
  HKEY key = CreateRecordKey();
  ASSERT_NE(nullptr, key);
  const std::wstring path = L"c:\\Program Files (x86)\\Tessaly\\T6\\";
  EXPECT_TRUE(SetRecordString(key, L"Path", path));
  EXPECT_TRUE(SetRecordDword(key, L"InstallTick", 1700000000));
  CloseRecordKey(key);

  HKEY view64 = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecordKeyPath, 0, KEY_READ | KEY_WOW64_64KEY, &view64));
  WCHAR text[512] = {};
  DWORD size = sizeof text;
  DWORD type = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(view64, L"Path", nullptr, &type, reinterpret_cast<LPBYTE>(text), &size));
  EXPECT_EQ(path, std::wstring(text));
  EXPECT_EQ(REG_SZ, type);
  RegCloseKey(view64);
  // Through the program's own reading too.
  HKEY record = nullptr;
  ASSERT_TRUE(OpenRecordKey(HKEY_LOCAL_MACHINE, kRecordKeyPath, record));
  std::wstring read;
  EXPECT_TRUE(QueryRecordString(read, record, L"Path"));
  EXPECT_EQ(path, read);
  CloseRecordKey(record);

  HKEY view32 = nullptr;
  const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecordKeyPath, 0, KEY_READ | KEY_WOW64_32KEY, &view32);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, opened) << "the record is visible in the 32-bit view";
  if (opened == ERROR_SUCCESS) RegCloseKey(view32);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Halvexo");
}

}  // namespace
