// Shortening paths for display.
#include <gtest/gtest.h>

#include <vector>

#include "platform/files.h"

namespace {

std::wstring Compact(const std::wstring& path, UINT maxChars) {
  std::vector<WCHAR> out(path.size() + maxChars + 1, L'#');
  EXPECT_TRUE(PathCompactPathExW(out.data(), path.c_str(), maxChars, 0));
  return out.data();
}

TEST(PathCompactPathEx, KeepsWhatFitsAndPutsAnEllipsisForTheMiddle) {
  const struct {
    std::wstring path;
    UINT maxChars;
    std::wstring shown;
  } cases[] = {
      {L"C:\\path1\\path2\\sample.txt", 26, L"C:\\path1\\path2\\sample.txt"},
      {L"C:\\path1\\path2\\sample.txt", 20, L"C:\\pa...\\sample.txt"},
      {L"C:\\path1\\path2\\sample.txt", 15, L"...\\sample.txt"},
      {L"My Filename", 10, L"My Fil..."},
      {L"C:\\a\\averyveryverylongfilename.txt", 12, L"averyver..."},
      {L"/usr/share/doc/readme.txt", 19, L"/usr.../readme.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shown, Compact(c.path, c.maxChars)) << c.maxChars;
}

TEST(PathCompactPathEx, LongInstallPathsFitTheProgressLine) {
  const std::wstring path =
      L"c:\\Program Files (x86)\\Tessaly\\T6\\resources\\app\\template\\Release\\grdes6.dll";  // 75
  const std::wstring shown = Compact(path, 55);
  EXPECT_LE(shown.size(), 54u);
  EXPECT_NE(std::wstring::npos, shown.find(L"..."));
  EXPECT_EQ(L"\\grdes6.dll", shown.substr(shown.size() - 11));
  EXPECT_EQ(L"c:\\Program Files (x86)\\Tessaly\\T6\\", Compact(L"c:\\Program Files (x86)\\Tessaly\\T6\\", 55));
}

}  // namespace
