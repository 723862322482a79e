// The folder rule and the free space of a folder's volume.
#include "environment/install_location.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "test_machine.h"

namespace {

TEST(FolderRule, AddsBackslashThenTessalyUnlessTheWordIsThere) {
  const struct {
    const wchar_t* chosen;
    const wchar_t* installFolder;
  } cases[] = {
      {L"C:\\Program Files (x86)\\Tessaly", L"C:\\Program Files (x86)\\Tessaly\\"},
      {L"c:\\Program Files (x86)\\Tessaly\\", L"c:\\Program Files (x86)\\Tessaly\\"},
      {L"D:\\Apps", L"D:\\Apps\\Tessaly\\"},
      {L"D:\\", L"D:\\Tessaly\\"},
      {L"E:\\OldTessalyData\\x", L"E:\\OldTessalyData\\x\\"},
      {L"E:\\tessaly", L"E:\\tessaly\\Tessaly\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.installFolder, InstallFolderFromChosen(c.chosen)) << c.chosen;
}

TEST(PathStripToRoot, KeepsOnlyTheRoot) {
  const struct {
    const wchar_t* path;
    const wchar_t* root;
    BOOL found;
  } cases[] = {
      {L"D:\\x\\y", L"D:\\", TRUE},
      {L"c:\\", L"c:\\", TRUE},
      {L"\\\\server\\share\\x", L"\\\\server\\share", TRUE},
      {L"relative\\path", L"", FALSE},
      {L"", L"", FALSE},
  };
  for (const auto& c : cases) {
    WCHAR buffer[MAX_PATH] = {};
    std::wcscpy(buffer, c.path);
    EXPECT_EQ(c.found, PathStripToRootW(buffer)) << c.path;
    EXPECT_STREQ(c.root, buffer) << c.path;
  }
}

TEST(RootFreeSpace, ComesFromTheDriveOfTheFolderOrIsZero) {
  TestMachine machine("[drive.c]\nfree_bytes = 524288000\n[drive.e]\nfree_bytes = 1048575\n");
  std::filesystem::create_directories(machine.Root() + "/drive_d");
  std::filesystem::create_directories(machine.Root() + "/drive_e");
  EXPECT_EQ(524288000u, GetRootFreeSpace(L"C:\\Program Files (x86)\\Tessaly"));
  EXPECT_EQ(1048575u, GetRootFreeSpace(L"e:\\not\\there\\yet"));
  // Without an override, the real free space of the folder behind the drive.
  EXPECT_GT(GetRootFreeSpace(L"D:\\Apps"), 0u);
  // No such drive, no root, a share, a text longer than any Windows path.
  EXPECT_EQ(0u, GetRootFreeSpace(L"Q:\\x"));
  EXPECT_EQ(0u, GetRootFreeSpace(L"Program Files"));
  EXPECT_EQ(0u, GetRootFreeSpace(L"\\\\server\\share\\x"));
  EXPECT_EQ(0u, GetRootFreeSpace(L"C:\\" + std::wstring(300, L'a')));
}

}  // namespace
