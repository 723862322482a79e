// The system tests' surroundings on each platform: the machine, a scratch folder and child
// processes of the test program.
#include "system_test.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <stdio.h>

// Windows is the machine itself.
class TestMachine {};
#else
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/host/text.h"
#include "unit/test_machine.h"

extern char** environ;
#endif

#include "platform/files.h"

namespace {
std::wstring TestName() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "test";
  for (char& c : name)
    if (c == '/') c = '_';
  return std::wstring(name.begin(), name.end());
}
}  // namespace

SystemTest::SystemTest() {
#ifndef _WIN32
  m_machine = std::make_unique<TestMachine>();
#endif
  // Unique per run as well: a Windows prefix keeps what an earlier run left.
  m_folder = L"C:\\t6-tests\\" + TestName() + L"-" + UniqueSuffix() + L"\\";
  EXPECT_EQ(ERROR_SUCCESS, SHCreateDirectoryExW(nullptr, m_folder.c_str(), nullptr));
}

SystemTest::~SystemTest() = default;

std::string SystemTest::ReadWholeFile(const std::wstring& windowsPath) const {
#ifdef _WIN32
  FILE* file = _wfopen(windowsPath.c_str(), L"rb");
  if (!file) return "<missing>";
  std::string bytes;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
  fclose(file);
  return bytes;
#else
  std::ifstream file(m_machine->HostPath(windowsPath), std::ios::binary);
  if (!file) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
#endif
}

std::wstring UniqueSuffix() {
  static unsigned calls = 0;
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return std::to_wstring(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) + L"-" +
         std::to_wstring(++calls);
}

void NoteWineGap(const std::string& what) {
  std::printf("[ WINE GAP ] %s\n", what.c_str());
  testing::Test::RecordProperty("wine_gap", what);
}

#ifdef _WIN32
bool RunsUnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

std::wstring TestProgramPath() {
  WCHAR path[MAX_PATH + 1] = {};
  return std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
}

int RunProgram(const std::wstring& programPath, const std::string& argument) {
  std::wstring commandLine = L"\"" + programPath + L"\" " + std::wstring(argument.begin(), argument.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(programPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return -1;
  WaitForSingleObject(process.hProcess, 60000);
  DWORD status = static_cast<DWORD>(-1);
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

bool CopyTestProgram(const std::wstring& to) { return CopyFileW(TestProgramPath().c_str(), to.c_str(), FALSE); }
#else
bool RunsUnderWine() { return false; }

std::wstring TestProgramPath() { return host::WideFromUtf8(std::filesystem::read_symlink("/proc/self/exe")); }

int RunProgram(const std::wstring& programPath, const std::string& argument) {
  // The test program's own path is the host's; a copy's is a Windows path on the machine.
  const std::string path = programPath.size() > 1 && programPath[1] == L':'
                               ? host::HostPathFromWindows(programPath).value_or("")
                               : host::Utf8FromWide(programPath);
  std::string arg = argument;
  char* argv[] = {const_cast<char*>(path.c_str()), arg.data(), nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, path.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool CopyTestProgram(const std::wstring& to) {
  auto path = host::HostPathFromWindows(to);
  std::error_code error;
  return path && std::filesystem::copy_file("/proc/self/exe", *path, std::filesystem::copy_options::overwrite_existing, error);
}
#endif
