// The download worker against real HTTP servers on loopback: results, figures and faults.
#include "download/download_worker.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/dialog_state.h"
#include "platform/framework.h"
#include "platform/host/host_window.h"
#include "platform/host/overridable.h"
#include "test_http_server.h"
#include "test_machine.h"

namespace {

struct Report {
  WPARAM code;
  LONG progress;
  DWORD speed;
  float done;
  float total;
  DWORD elapsed;
  std::wstring error;
};

// Stands in for the dialog: takes the reports on the test's thread as the dialog would.
class ReportRecorder : public CWnd {
 public:
  explicit ReportRecorder(WorkerContext& context) : m_context(context) {
    m_window.owner = this;
    m_hWnd = &m_window;
  }
  LRESULT WindowProc(UINT message, WPARAM code, LPARAM) override {
    if (message != WM_WORKER_PROGRESS) return 0;
    if (code == kDownloadProgress) m_context.bProgressQueued = 0;
    reports.push_back({code, m_context.nProgress, m_context.nSpeed, m_context.fDone, m_context.fTotal,
                       m_context.nElapsed, code == kDownloadFailed ? m_context.szError : L""});
    if (onReport) onReport(reports.back());
    return 0;
  }
  std::vector<Report> reports;
  std::function<void(const Report&)> onReport;

 private:
  WorkerContext& m_context;
  HWND__ m_window;
};

class DownloadTest : public testing::Test {
 protected:
  DownloadTest() : recorder(context) {
    context.hWnd = recorder.GetSafeHwnd();
    context.strInstallDir = L"c:\\Program Files (x86)\\Tessaly\\";
    context.strFileName = L"tesl6.hv";
  }

  // Runs the worker on a thread of its own while this thread handles its reports.
  void Download(const std::wstring& url) {
    context.strUrl = url;
    worker = AfxBeginThread(DownloadThreadProc, &context);
    while (WaitForSingleObject(worker->m_hThread, 5) == WAIT_TIMEOUT) {
      while (g_main_context_iteration(nullptr, FALSE)) {
      }
    }
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
  }

  std::string PackagePath() const { return machine.HostPath(context.strInstallDir + context.strFileName); }
  bool PackageExists() const { return std::filesystem::exists(PackagePath()); }
  std::vector<unsigned char> Package() const {
    std::ifstream in(PackagePath(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  WPARAM LastCode() const { return recorder.reports.empty() ? 0 : recorder.reports.back().code; }
  int Count(WPARAM code) const {
    int n = 0;
    for (const Report& report : recorder.reports) n += report.code == code;
    return n;
  }

  TestMachine machine;
  TestHttpServer server;
  WorkerContext context;
  ReportRecorder recorder;
  CWinThread* worker = nullptr;
};

// A wall clock that the test sets: the first reading is the start, later readings add `later`.
struct FakeClock {
  explicit FakeClock(std::int64_t later) {
    s_later = later;
    s_readings = 0;
    saved = host::Overridable().wallClockSeconds;
    host::Overridable().wallClockSeconds = [] { return kStart + (s_readings++ == 0 ? 0 : s_later.load()); };
  }
  ~FakeClock() { host::Overridable().wallClockSeconds = saved; }
  static constexpr std::int64_t kStart = 1700000000;
  static inline std::atomic<std::int64_t> s_later{0};
  static inline std::atomic<int> s_readings{0};
  std::int64_t (*saved)();
};

TEST_F(DownloadTest, DownloadsTheExactBytesAndReportsCompletionLast) {
  Download(server.Url("/ok/300000"));
  ASSERT_EQ(kDownloadComplete, LastCode());
  EXPECT_EQ(0, Count(kDownloadFailed));
  EXPECT_GE(Count(kDownloadProgress), 1);
  const auto bytes = Package();
  ASSERT_EQ(300000u, bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) ASSERT_EQ(TestPatternByte(i), bytes[i]) << "byte " << i;
  const Report& last = recorder.reports[recorder.reports.size() - 2];
  EXPECT_EQ(100, last.progress);
  EXPECT_FLOAT_EQ(300000 / 1024.0f, last.done);
}

TEST_F(DownloadTest, EmptyPackageCompletesAtOnceWithAnEmptyFile) {
  Download(server.Url("/ok/0"));
  ASSERT_EQ(1u, recorder.reports.size());
  EXPECT_EQ(kDownloadComplete, LastCode());
  EXPECT_TRUE(PackageExists());
  EXPECT_TRUE(Package().empty());
}

TEST_F(DownloadTest, AnExistingPackageFileIsReplaced) {
  std::filesystem::create_directories(machine.HostPath(context.strInstallDir));
  std::ofstream(PackagePath()) << std::string(10000, 'x');
  Download(server.Url("/ok/100"));
  EXPECT_EQ(kDownloadComplete, LastCode());
  EXPECT_EQ(100u, Package().size());
}

TEST_F(DownloadTest, FirstChunkFiguresWithinTheFirstSecond) {
  FakeClock clock(0);
  // The server waits after each chunk, so the first report shows the first chunk only.
  recorder.onReport = [this](const Report&) {
    if (recorder.reports.size() == 1) context.bStop = 1;
  };
  Download(server.Url("/slow/3379200/2048/300"));
  ASSERT_FALSE(recorder.reports.empty());
  const Report& first = recorder.reports.front();
  EXPECT_EQ(kDownloadProgress, first.code);
  EXPECT_EQ(0, first.progress);
  EXPECT_EQ(0u, first.speed);
  EXPECT_FLOAT_EQ(2.0f, first.done);
  EXPECT_FLOAT_EQ(3300.0f, first.total);
}

TEST_F(DownloadTest, FiveMegabytesInTenSecondsEndAt512KilobytesPerSecond) {
  FakeClock clock(10);
  Download(server.Url("/ok/5242880"));
  ASSERT_EQ(kDownloadComplete, LastCode());
  const Report& last = recorder.reports[recorder.reports.size() - 2];
  EXPECT_EQ(100, last.progress);
  EXPECT_EQ(512u, last.speed);
  EXPECT_EQ(10u, last.elapsed);
  EXPECT_FLOAT_EQ(5120.0f, last.done);
  EXPECT_FLOAT_EQ(5120.0f, last.total);
}

TEST_F(DownloadTest, AClockSetBackGivesSpeedZero) {
  FakeClock clock(-100);
  Download(server.Url("/ok/100000"));
  ASSERT_EQ(kDownloadComplete, LastCode());
  const Report& last = recorder.reports[recorder.reports.size() - 2];
  EXPECT_EQ(static_cast<DWORD>(-100), last.elapsed);
  EXPECT_EQ(0u, last.speed);
}

TEST_F(DownloadTest, LeavingDuringTheTransferLeavesNoFileAndNoReport) {
  recorder.onReport = [this](const Report&) { context.bStop = 1; };
  Download(server.Url("/slow/200000/2048/20"));
  EXPECT_EQ(0, Count(kDownloadFailed));
  EXPECT_EQ(0, Count(kDownloadComplete));
  EXPECT_FALSE(PackageExists());
  EXPECT_TRUE(std::filesystem::is_directory(machine.HostPath(context.strInstallDir)));
}

TEST_F(DownloadTest, LeavingWhilePausedResumesAndStopsAtTheNextChunk) {
  recorder.onReport = [this](const Report&) {
    if (recorder.reports.size() != 1) return;
    worker->SuspendThread();
    worker->SuspendThread();  // pauses nest
    worker->ResumeThread();
    // Still paused: nothing moves for a while.
    g_usleep(300000);
    const LONG progress = context.nProgress;
    g_usleep(300000);
    EXPECT_EQ(progress, context.nProgress.load());
    context.bStop = 1;
    worker->ResumeThread();
  };
  Download(server.Url("/slow/400000/2048/5"));
  EXPECT_EQ(0, Count(kDownloadComplete));
  EXPECT_EQ(0, Count(kDownloadFailed));
  EXPECT_FALSE(PackageExists());
}

TEST_F(DownloadTest, FailuresAreReportedWithAClearText) {
  struct Case {
    std::string path;
    const wchar_t* text;
    bool fileStays;     // a partial package stays after a failure during the transfer
    bool folderMade;
  };
  host::Overridable().receiveTimeoutMs = 1000;
  const Case cases[] = {
      {"/nolength/5000", L"服务器没有告知安装包的大小", false, false},
      {"/status/404", L"服务器答复 HTTP 404 Not Found，没有提供安装包", false, false},
      {"/status/500", L"服务器答复 HTTP 500", false, false},
      {"/short/10000/5000", L"与服务器的连接意外中断，数据不完整", true, true},
      {"/reset/100000/20000", L"与服务器的连接", true, true},
      {"/stall/100000/4096", L"连接服务器超时", true, true},
      {"/huge", L"超过了 2GB 的上限", false, false},
      // Hostile or broken servers: nothing of theirs may become the package.
      {"/toftp/1000", L"HTTP 和 HTTPS 以外的协议", false, false},
      {"/twolengths/100/50", L"长度（Content-Length）前后矛盾", false, false},
      {"/loop", L"转向的次数过多", false, false},
      {"/bigheader/300000", L"头部过大", false, false},
      {"/http09/100", L"没有 HTTP 状态行", false, false},
      {"/to09/100", L"没有 HTTP 状态行", false, false},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(machine.Root() + "/drive_c");
    std::filesystem::create_directories(machine.Root() + "/drive_c");
    recorder.reports.clear();
    Download(server.Url(c.path));
    ASSERT_EQ(kDownloadFailed, LastCode()) << c.path;
    EXPECT_EQ(0, Count(kDownloadComplete)) << c.path;
    EXPECT_NE(std::wstring::npos, recorder.reports.back().error.find(c.text))
        << c.path << ": " << std::string(recorder.reports.back().error.begin(), recorder.reports.back().error.end());
    EXPECT_EQ(c.fileStays, PackageExists()) << c.path;
    EXPECT_EQ(c.folderMade, std::filesystem::exists(machine.HostPath(context.strInstallDir))) << c.path;
  }
  host::Overridable().receiveTimeoutMs = 30000;
}

TEST_F(DownloadTest, UnreachableServersFail) {
  const struct {
    std::wstring url;
    const wchar_t* text;
  } cases[] = {
      {L"http://127.0.0.1:1/download/T6.zip", L"无法连接到服务器"},
      {L"http://t6-no-such-host.invalid/download/T6.zip", L"无法解析服务器的名称"},
      {L"", L"下载地址无效"},
  };
  for (const auto& c : cases) {
    recorder.reports.clear();
    Download(c.url);
    ASSERT_EQ(kDownloadFailed, LastCode());
    EXPECT_EQ(c.text, recorder.reports.back().error);
    EXPECT_FALSE(std::filesystem::exists(machine.HostPath(context.strInstallDir)));
  }
}

TEST_F(DownloadTest, LocalFailuresAreReportedWithTheSystemText) {
  // A file where the install folder's parent should be.
  context.strInstallDir = L"c:\\blocked\\Tessaly\\";
  std::ofstream(machine.Root() + "/drive_c/blocked") << "in the way";
  Download(server.Url("/ok/1000"));
  ASSERT_EQ(kDownloadFailed, LastCode());
  EXPECT_EQ(L"找不到指定的路径。", recorder.reports.back().error);

  // A folder where the package file should be.
  context.strInstallDir = L"c:\\Tessaly\\";
  std::filesystem::create_directories(machine.Root() + "/drive_c/Tessaly/tesl6.hv");
  recorder.reports.clear();
  Download(server.Url("/ok/1000"));
  ASSERT_EQ(kDownloadFailed, LastCode());
  EXPECT_EQ(L"没有访问权限。", recorder.reports.back().error);

  // A full disk.
  context.strInstallDir = L"c:\\Full\\";
  std::filesystem::create_directories(machine.Root() + "/drive_c/Full");
  std::filesystem::create_symlink("/dev/full", machine.Root() + "/drive_c/Full/tesl6.hv");
  recorder.reports.clear();
  Download(server.Url("/ok/100000"));
  ASSERT_EQ(kDownloadFailed, LastCode());
  EXPECT_EQ(L"磁盘空间不足。", recorder.reports.back().error);
}

}  // namespace
