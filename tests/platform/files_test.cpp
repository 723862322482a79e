// The file calls behave as on Windows: searching a folder, attributes, deleting files and
// folders, the shell's deletion and the backslash helper.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/shell.h"
#include "unit/file_tree.h"
#include "unit/test_machine.h"

namespace {

struct Found {
  std::wstring name;
  std::wstring path;
  bool dots;
  bool directory;
  bool readOnly;
  bool operator==(const Found&) const = default;
};

std::vector<Found> Search(const std::wstring& pattern) {
  std::vector<Found> found;
  CFileFind find;
  BOOL more = find.FindFile(pattern.c_str());
  while (more) {
    more = find.FindNextFile();
    found.push_back({find.GetFileName(), find.GetFilePath(), find.IsDots() != FALSE,
                     find.MatchesMask(FILE_ATTRIBUTE_DIRECTORY) != FALSE,
                     find.MatchesMask(FILE_ATTRIBUTE_READONLY) != FALSE});
  }
  find.Close();
  return found;
}

std::string Drive(const TestMachine& machine) { return machine.Root() + "/drive_c"; }

TEST(FileFind, ListsDotsThenEveryEntryByNameWithoutRegardToCase) {
  TestMachine machine;
  MakeFile(Drive(machine) + "/T6/b.txt");
  MakeFile(Drive(machine) + "/T6/A.dll", 0444);
  MakeFile(Drive(machine) + "/T6/noext");
  std::filesystem::create_directories(Drive(machine) + "/T6/Sub");
  const std::vector<Found> expected = {
      {L".", L"c:\\t6\\.", true, true, false},
      {L"..", L"c:\\t6\\..", true, true, false},
      {L"A.dll", L"c:\\t6\\A.dll", false, false, true},
      {L"b.txt", L"c:\\t6\\b.txt", false, false, false},
      {L"noext", L"c:\\t6\\noext", false, false, false},
      {L"Sub", L"c:\\t6\\Sub", false, true, false},
  };
  EXPECT_EQ(expected, Search(L"c:\\t6\\*.*"));
  // The doubled separator of a folder that ended with one searches the same folder.
  EXPECT_EQ(expected, Search(L"c:\\t6\\\\*.*"));
  EXPECT_EQ((std::vector<Found>{{L"b.txt", L"c:\\T6\\b.txt", false, false, false}}), Search(L"c:\\T6\\B.*"));
  // A drive's root has no "." and "..".
  EXPECT_EQ((std::vector<Found>{{L"T6", L"c:\\T6", false, true, false}}), Search(L"c:\\*.*"));
  EXPECT_TRUE(Search(L"c:\\missing\\*.*").empty());
  EXPECT_TRUE(Search(L"c:\\t6\\*.exe").empty());
}

TEST(FileFind, APatternOf260CharactersOrMoreFindsNothing) {
  TestMachine machine;
  for (std::size_t length : {259u, 260u}) {
    const std::wstring pattern = PathOfLength(L"c:\\", length, L"\\*.*");
    const std::wstring folder = pattern.substr(0, pattern.size() - 4);
    MakeFile(machine.HostPath(folder) + "/f.txt");
    ASSERT_EQ(length, pattern.size());
    EXPECT_EQ(length < MAX_PATH ? 3u : 0u, Search(pattern).size()) << length;
  }
}

TEST(FileAttributes, AreTheFilesOwnAndReadOnlyComesFromItsPermissions) {
  TestMachine machine;
  MakeFile(Drive(machine) + "/T6/plain.txt");
  MakeFile(Drive(machine) + "/T6/locked.txt", 0444);
  MakeFile(Drive(machine) + "/outside/kept.txt");
  std::filesystem::create_directory_symlink(Drive(machine) + "/outside", Drive(machine) + "/T6/link");
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesW(L"c:\\T6"));
  EXPECT_EQ(FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesW(L"C:\\t6\\PLAIN.txt"));
  EXPECT_EQ(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, GetFileAttributesW(L"c:\\T6\\locked.txt"));
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, GetFileAttributesW(L"c:\\T6\\link"));
  SetLastError(0);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"c:\\T6\\missing.txt"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

  EXPECT_TRUE(SetFileAttributesW(L"c:\\T6\\locked.txt", FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesW(L"c:\\T6\\locked.txt"));
  EXPECT_TRUE(SetFileAttributesW(L"c:\\T6\\plain.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, GetFileAttributesW(L"c:\\T6\\plain.txt"));
}

TEST(DeleteFile, RefusesFoldersReadOnlyFilesAndOverlongPaths) {
  TestMachine machine;
  MakeFile(Drive(machine) + "/T6/plain.txt");
  MakeFile(Drive(machine) + "/T6/locked.txt", 0444);
  const std::wstring overlong = PathOfLength(L"c:\\T6", MAX_PATH);
  MakeFile(machine.HostPath(overlong));
  const struct {
    std::wstring path;
    BOOL result;
    DWORD error;
    std::string hostPath;
  } cases[] = {
      {L"c:\\T6\\locked.txt", FALSE, ERROR_ACCESS_DENIED, "/T6/locked.txt"},
      {L"c:\\T6", FALSE, ERROR_ACCESS_DENIED, "/T6"},
      {L"c:\\T6\\missing.txt", FALSE, ERROR_FILE_NOT_FOUND, ""},
      {overlong, FALSE, ERROR_FILENAME_EXCED_RANGE, machine.HostPath(overlong).substr(Drive(machine).size())},
      {L"C:\\t6\\PLAIN.TXT", TRUE, 0, ""},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(c.result, DeleteFileW(c.path.c_str())) << c.hostPath;
    if (!c.result) {
      EXPECT_EQ(c.error, GetLastError()) << c.hostPath;
    }
    if (!c.hostPath.empty()) {
      EXPECT_TRUE(Exists(Drive(machine) + c.hostPath)) << c.hostPath;
    }
  }
  EXPECT_FALSE(Exists(Drive(machine) + "/T6/plain.txt"));
}

TEST(RemoveDirectory, RemovesOnlyAnEmptyFolderAndALinkWithoutItsTarget) {
  TestMachine machine;
  MakeFile(Drive(machine) + "/T6/full/a.txt");
  std::filesystem::create_directories(Drive(machine) + "/T6/empty");
  MakeFile(Drive(machine) + "/outside/kept.txt");
  std::filesystem::create_directory_symlink(Drive(machine) + "/outside", Drive(machine) + "/T6/link");
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryW(L"c:\\T6\\full"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_DIR_NOT_EMPTY), GetLastError());
  EXPECT_FALSE(RemoveDirectoryW(L"c:\\T6\\full\\a.txt"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_DIRECTORY), GetLastError());
  EXPECT_TRUE(RemoveDirectoryW(L"c:\\T6\\EMPTY\\"));
  EXPECT_TRUE(RemoveDirectoryW(L"c:\\T6\\link"));
  EXPECT_FALSE(Exists(Drive(machine) + "/T6/empty"));
  EXPECT_FALSE(Exists(Drive(machine) + "/T6/link"));
  EXPECT_TRUE(Exists(Drive(machine) + "/outside/kept.txt"));
  EXPECT_TRUE(Exists(Drive(machine) + "/T6/full/a.txt"));
}

int ShellDelete(const std::wstring& items) {
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  const std::wstring list = items + L'\0';  // the list ends with a second NUL
  operation.pFrom = list.c_str();
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  return SHFileOperationW(&operation);
}

TEST(ShellDelete, RemovesFilesAndWholeFoldersButNotWhatLinksLeadTo) {
  TestMachine machine;
  MakeFile(Drive(machine) + "/Desktop/TessalyT6.lnk");
  MakeFile(Drive(machine) + "/Tree/a/b/locked.txt", 0444);
  MakeFile(Drive(machine) + "/Tree/c.txt");
  MakeFile(Drive(machine) + "/outside/kept.txt");
  std::filesystem::create_directory_symlink(Drive(machine) + "/outside", Drive(machine) + "/Tree/a/link");
  EXPECT_EQ(0, ShellDelete(L"c:\\desktop\\TessalyT6.lnk"));
  EXPECT_EQ(0, ShellDelete(L"c:\\Tree"));
  EXPECT_FALSE(Exists(Drive(machine) + "/Desktop/TessalyT6.lnk"));
  EXPECT_FALSE(Exists(Drive(machine) + "/Tree"));
  EXPECT_TRUE(Exists(Drive(machine) + "/outside/kept.txt"));
  EXPECT_NE(0, ShellDelete(L"c:\\Desktop\\TessalyT6.lnk"));
  // Two items, the first missing: the second still goes, the operation still fails.
  MakeFile(Drive(machine) + "/second.txt");
  EXPECT_NE(0, ShellDelete(std::wstring(L"c:\\missing.txt") + L'\0' + L"c:\\second.txt"));
  EXPECT_FALSE(Exists(Drive(machine) + "/second.txt"));
}

TEST(DeleteFile, AFileHeldOpenWithoutSharingStaysForEveryDeletion) {
  TestMachine machine;
  MakeFile(Drive(machine) + "/T6/bin/gregn6.dll");
  HANDLE held = CreateFileW(L"c:\\T6\\bin\\gregn6.dll", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  SetLastError(0);
  EXPECT_FALSE(DeleteFileW(L"c:\\T6\\bin\\gregn6.dll"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  EXPECT_NE(0, ShellDelete(L"c:\\T6\\bin\\gregn6.dll"));
  EXPECT_NE(0, ShellDelete(L"c:\\T6"));
  EXPECT_TRUE(Exists(Drive(machine) + "/T6/bin/gregn6.dll"));
  CloseHandle(held);
  EXPECT_EQ(0, ShellDelete(L"c:\\T6"));
  EXPECT_FALSE(Exists(Drive(machine) + "/T6"));
}

TEST(PathAddBackslash, AddsOneUnlessPresentOrWithoutRoom) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"c:\\T6", L"c:\\T6\\"},
      {L"c:\\T6\\", L"c:\\T6\\"},
      {L"", L""},
      {std::wstring(258, L'a'), std::wstring(258, L'a') + L'\\'},
  };
  for (const auto& [before, after] : cases) {
    WCHAR buffer[MAX_PATH] = {};
    std::wcscpy(buffer, before.c_str());
    LPWSTR end = PathAddBackslashW(buffer);
    EXPECT_EQ(after, buffer);
    EXPECT_EQ(buffer + after.size(), end);
  }
  WCHAR full[MAX_PATH] = {};
  std::wcscpy(full, std::wstring(259, L'a').c_str());
  EXPECT_EQ(nullptr, PathAddBackslashW(full));
  EXPECT_EQ(std::wstring(259, L'a'), full);
}

}  // namespace
