// Files and folders as the download and install steps rely on them: exclusive opens, folder
// creation, deletion, roots, free space and the system's error texts.
#include <vector>

#include "platform/files.h"
#include "system_test.h"

namespace {

using FilesTest = SystemTest;

TEST_F(FilesTest, AnExclusiveFileRefusesASecondOpenerAndKeepsItsData) {
  const std::wstring path = Folder() + L"tesl6.hv";
  CFile first;
  ASSERT_TRUE(first.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::typeBinary));
  ASSERT_TRUE(first.Write("first", 5));
  ASSERT_TRUE(first.Close());
  ASSERT_TRUE(first.Open(path.c_str(), CFile::modeWrite | CFile::shareExclusive));
  CFile second;
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(second.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  EXPECT_TRUE(first.Close());
  // The refused opener emptied nothing.
  EXPECT_EQ("first", ReadWholeFile(path));
}

TEST_F(FilesTest, WritesArriveWholeOnlyAtClose) {
  const std::wstring path = Folder() + L"big.bin";
  std::vector<char> chunk(2048);
  CFile file;
  ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::typeBinary));
  std::string expected;
  for (int i = 0; i < 300; ++i) {
    for (std::size_t j = 0; j < chunk.size(); ++j) chunk[j] = static_cast<char>((i * 7 + j) & 0xFF);
    ASSERT_TRUE(file.Write(chunk.data(), static_cast<UINT>(chunk.size())));
    expected.append(chunk.data(), chunk.size());
  }
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(expected, ReadWholeFile(path));
}

TEST_F(FilesTest, OpeningInAMissingFolderSaysThePathIsNotFound) {
  CFile file;
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(file.Open((Folder() + L"missing\\tesl6.hv").c_str(), CFile::modeCreate | CFile::modeWrite));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST_F(FilesTest, FoldersAreCreatedWithTheirParentsOnce) {
  const std::wstring nested = Folder() + L"a\\b\\c";
  EXPECT_EQ(ERROR_SUCCESS, SHCreateDirectoryExW(nullptr, nested.c_str(), nullptr));
  EXPECT_TRUE(PathFileExistsW(nested.c_str()));
  EXPECT_EQ(ERROR_ALREADY_EXISTS, SHCreateDirectoryExW(nullptr, nested.c_str(), nullptr));
  // A file where a folder should be.
  const std::wstring file = Folder() + L"plain";
  CFile plain;
  ASSERT_TRUE(plain.Open(file.c_str(), CFile::modeCreate | CFile::modeWrite));
  ASSERT_TRUE(plain.Close());
  EXPECT_EQ(ERROR_ALREADY_EXISTS, SHCreateDirectoryExW(nullptr, file.c_str(), nullptr));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, SHCreateDirectoryExW(nullptr, (file + L"\\below").c_str(), nullptr));
}

TEST_F(FilesTest, DeletingAMissingFileFailsWithFileNotFound) {
  const std::wstring path = Folder() + L"gone.txt";
  CFile file;
  ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
  ASSERT_TRUE(file.Close());
  EXPECT_TRUE(DeleteFileW(path.c_str()));
  EXPECT_FALSE(PathFileExistsW(path.c_str()));
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(DeleteFileW(path.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(FilesTest, PathsAreCutToTheirRoot) {
  const struct {
    const wchar_t* path;
    BOOL found;
    const wchar_t* root;
    const char* wineGap;  // what Wine does otherwise, when it does
  } cases[] = {
      {L"D:\\x\\y", TRUE, L"D:\\", nullptr},
      {L"c:\\Program Files (x86)\\Tessaly\\", TRUE, L"c:\\", nullptr},
      // A drive letter is a root (the text a user may type as the folder).
      {L"C:", TRUE, L"C:", "PathStripToRootW(\"C:\") finds no root"},
      {L"\\\\server\\share\\x", TRUE, L"\\\\server\\share", nullptr},
      {L"relative\\folder", FALSE, L"", nullptr},
  };
  for (const auto& c : cases) {
    WCHAR buffer[MAX_PATH] = {};
    wcscpy(buffer, c.path);
    const BOOL found = PathStripToRootW(buffer);
    if (c.wineGap && RunsUnderWine()) {
      NoteWineGap(c.wineGap);
      continue;
    }
    EXPECT_EQ(c.found, found) << c.path;
    EXPECT_EQ(std::wstring(c.root), buffer) << c.path;
  }
}

TEST_F(FilesTest, TheSystemDriveReportsFreeSpace) {
  ULARGE_INTEGER available{}, total{}, free{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &available, &total, &free));
  EXPECT_GT(available.QuadPart, 0u);
  EXPECT_LE(available.QuadPart, total.QuadPart);
}

TEST_F(FilesTest, ErrorTextsFitTheBufferInCharacters) {
  WCHAR text[256];
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      ERROR_DISK_FULL, 0, text, 256, nullptr);
  ASSERT_GT(length, 0u);
  EXPECT_LT(length, 256u);
  EXPECT_EQ(length, wcslen(text));
}

// Shortening paths for the progress line: every size in characters.
std::wstring Compact(const std::wstring& path, UINT maxChars) {
  std::vector<WCHAR> out(path.size() + maxChars + 1, L'#');
  EXPECT_TRUE(PathCompactPathExW(out.data(), path.c_str(), maxChars, 0));
  return out.data();
}

TEST_F(FilesTest, CompactPathsKeepWhatFitsAndPutAnEllipsisForTheMiddle) {
  const struct {
    std::wstring path;
    UINT maxChars;
    std::wstring shown;
    const char* wineGap;  // what Wine does otherwise, when it does
  } cases[] = {
      // 25 characters and the terminator fit in 26: nothing to shorten.
      {L"C:\\path1\\path2\\sample.txt", 26, L"C:\\path1\\path2\\sample.txt",
       "PathCompactPathExW shortens a path that fits cchMax exactly (terminator counted)"},
      {L"C:\\path1\\path2\\sample.txt", 20, L"C:\\pa...\\sample.txt", nullptr},
      {L"C:\\path1\\path2\\sample.txt", 15, L"...\\sample.txt", nullptr},
      {L"My Filename", 10, L"My Fil...", nullptr},
      // The documentation leaves open how a path whose file name alone is too long is cut: the
      // host cuts the name, Wine keeps "...\" before it. Both fit, which is what is relied on.
      {L"C:\\a\\averyveryverylongfilename.txt", 12, L"averyver...",
       "PathCompactPathExW keeps \"...\\\" before a cut file name (\"...\\aver...\")"},
      {L"/usr/share/doc/readme.txt", 19, L"/usr.../readme.txt", nullptr},
  };
  for (const auto& c : cases) {
    const std::wstring shown = Compact(c.path, c.maxChars);
    EXPECT_LT(shown.size(), c.maxChars);
    if (c.wineGap && RunsUnderWine()) {
      NoteWineGap(c.wineGap);
      continue;
    }
    EXPECT_EQ(c.shown, shown) << c.maxChars;
  }
}

}  // namespace
