// The file, text and module calls that the extraction and the install steps rely on, as
// Windows defines them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "unit/test_machine.h"

namespace {

std::string Bytes(UINT codePage, const std::wstring& text, BOOL* usedDefault = nullptr) {
  const int size = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, usedDefault);
  std::string out(static_cast<std::size_t>(size), '\0');
  if (size > 0) WideCharToMultiByte(codePage, 0, text.c_str(), -1, out.data(), size, nullptr, usedDefault);
  return out;
}

std::wstring Text(UINT codePage, const std::string& bytes) {
  const int size = MultiByteToWideChar(codePage, 0, bytes.c_str(), -1, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  if (size > 0) MultiByteToWideChar(codePage, 0, bytes.c_str(), -1, out.data(), size);
  return out;
}

TEST(CodePages, AnsiFollowsTheMachineAndUtf8IsUtf8) {
  struct Case {
    const char* ini;
    std::wstring text;
    std::string bytes;  // with the terminator
  };
  const Case cases[] = {
      {"", L"c:\\中文", std::string("c:\\\xD6\xD0\xCE\xC4", 7) + '\0'},
      {"[windows]\nansi_code_page = 1252\n", L"café", std::string("caf\xE9") + '\0'},
      {"[windows]\nansi_code_page = 65001\n", L"中", std::string("\xE4\xB8\xAD") + '\0'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    TestMachine machine(c.ini);
    EXPECT_EQ(c.bytes, Bytes(CP_ACP, c.text));
    EXPECT_EQ(c.text + L'\0', Text(CP_ACP, c.bytes.substr(0, c.bytes.size() - 1)));
  }
  TestMachine machine;
  EXPECT_EQ(std::string("\xE4\xB8\xAD") + '\0', Bytes(CP_UTF8, L"中"));
  // A character that code page 936 lacks becomes "?", and the caller is told.
  BOOL usedDefault = FALSE;
  EXPECT_EQ(std::string("a?") + '\0', Bytes(CP_ACP, L"a😀", &usedDefault));
  EXPECT_TRUE(usedDefault);
  // Bytes that are no UTF-8: U+FFFD, or failure when asked for.
  EXPECT_EQ(std::wstring(L"a\uFFFDb") + L'\0', Text(CP_UTF8, "a\xFF" "b"));
  WCHAR out[8];
  EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", -1, out, 8));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
  // Too small a buffer fails without a partial promise.
  char small[2];
  EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, L"abc", -1, small, 2, nullptr, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

TEST(CodePages, AnUnknownCodePageInMachineIniIsRefused) {
  EXPECT_THROW(TestMachine("[windows]\nansi_code_page = 4242\n"), std::runtime_error);
}

TEST(FileHandles, ShareModeZeroKeepsOtherOpensAndTheDeletionOut) {
  TestMachine machine;
  const std::wstring path = L"c:\\held.txt";
  HANDLE first = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, first);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(first, "keep", 4, &written, nullptr));
  EXPECT_EQ(4u, written);
  // Under another spelling of the same path too: names match without regard to case.
  for (const wchar_t* name : {L"c:\\held.txt", L"C:\\HELD.TXT"}) {
    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  }
  EXPECT_FALSE(DeleteFileW(path.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  ASSERT_TRUE(CloseHandle(first));
  std::ifstream in(machine.HostPath(path));
  EXPECT_EQ("keep", std::string(std::istreambuf_iterator<char>(in), {})) << "the refused open emptied nothing";

  // Opens that share with each other coexist, and CREATE_ALWAYS over a file empties it.
  HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
  EXPECT_EQ(0, std::filesystem::file_size(machine.HostPath(path)));
  EXPECT_FALSE(WriteFile(reader, "x", 1, &written, nullptr)) << "opened for reading only";
  CloseHandle(writer);
  CloseHandle(reader);
  EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST(FileHandles, NamesWindowsForbidsAndMissingFolders) {
  TestMachine machine;
  for (const wchar_t* name : {L"c:\\a?b.txt", L"c:\\a*b", L"c:\\a\"b", L"c:\\a|b", L"c:\\a<b>", L"c:\\a:b"}) {
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), GetLastError());
  }
  EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(L"c:\\no\\such\\f.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
  EXPECT_TRUE(CreateDirectoryW(L"c:\\new\\", nullptr));
  EXPECT_FALSE(CreateDirectoryW(L"c:\\new", nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
  EXPECT_FALSE(CreateDirectoryW(L"c:\\x\\y", nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST(FileTimes, DosTimeTakenAsLocalTimeInTheHostsZone) {
  FILETIME local{};
  // 1980-01-01 00:00:00, the first DOS time: 138426 days after 1601-01-01.
  ASSERT_TRUE(DosDateTimeToFileTime(0x0021, 0x0000, &local));
  const auto ticks = (static_cast<std::uint64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
  EXPECT_EQ(138426ull * 86400 * 10000000, ticks);
  for (WORD badDate : {WORD{0x0020}, WORD{0x0000}, WORD{0x01A1}, WORD{0x005E}}) {  // day 0, month 0, month 13, 30 Feb
    EXPECT_FALSE(DosDateTimeToFileTime(badDate, 0, &local)) << badDate;
  }
  EXPECT_FALSE(DosDateTimeToFileTime(0x0021, 0xC000, &local)) << "hour 24";

  const char* saved = std::getenv("TZ");
  const std::string previous = saved ? saved : "";
  for (auto [zone, hours] : {std::pair{"Asia/Shanghai", 8}, std::pair{"UTC", 0}, std::pair{"America/Caracas", -4}}) {
    setenv("TZ", zone, 1);
    FILETIME utc{};
    ASSERT_TRUE(DosDateTimeToFileTime(0x0021, 0x0000, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
    const auto utcTicks = (static_cast<std::uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
    EXPECT_EQ(static_cast<std::int64_t>(ticks) - hours * 3600ll * 10000000, static_cast<std::int64_t>(utcTicks)) << zone;
  }
  if (saved) setenv("TZ", previous.c_str(), 1);
  else unsetenv("TZ");
}

TEST(Paths, PathRemoveFileSpecW) {
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
    BOOL changed;
  };
  const Case cases[] = {
      {L"c:\\a\\b.exe", L"c:\\a", TRUE}, {L"c:\\b.exe", L"c:\\", TRUE}, {L"c:\\", L"c:\\", FALSE},
      {L"c:\\a\\", L"c:\\a", TRUE},      {L"name", L"", TRUE},
  };
  for (const Case& c : cases) {
    WCHAR buffer[MAX_PATH];
    std::wcscpy(buffer, c.in);
    EXPECT_EQ(c.changed, PathRemoveFileSpecW(buffer)) << c.in;
    EXPECT_STREQ(c.out, buffer) << c.in;
  }
}

TEST(Modules, TheProgramFileIsNamedOnDriveZAndCutToFit) {
  TestMachine machine;
  WCHAR path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  ASSERT_GT(length, 3u);
  EXPECT_EQ(0, std::wcsncmp(path, L"Z:\\", 3));
  EXPECT_TRUE(PathFileExistsW(path)) << "drive Z: leads back to the file";
  WCHAR small[4];
  EXPECT_EQ(4u, GetModuleFileNameW(nullptr, small, 4));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  EXPECT_STREQ(L"Z:\\", small);
  EXPECT_EQ(nullptr, LoadLibraryW(L"c:\\missing.dll"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
}

}  // namespace
