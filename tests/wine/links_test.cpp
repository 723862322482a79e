// The shortcut step on the Win32 platform: the desktop shortcut lands in the all-users desktop
// of the prefix, and the system's own shell link object reads back what was written. The Linux
// side reads the same file with lnkinfo afterwards (test_links.py).
#include <gtest/gtest.h>

#include "install/com_apartment.h"
#include "install/shortcuts.h"
#include "platform/files.h"
#include "platform/shell_link.h"

namespace {

const std::wstring kProductFolder = L"c:\\Program Files (x86)\\Tessaly\\T6\\";

TEST(CoreRunLinks, TheDesktopShortcutIsSavedInTheCommonDesktopAndReadsBack) {
  ComApartment apartment;
  std::wstring desktop;
  ASSERT_TRUE(GetCommonDesktopFolder(desktop));
  ASSERT_FALSE(desktop.empty());
  EXPECT_NE(L'\\', desktop.back());
  const ShortcutDefinition shortcut = DesktopProductShortcut(desktop, kProductFolder);
  ASSERT_TRUE(CreateShortcut(shortcut));
  const std::wstring file = ShortcutFilePath(desktop, shortcut.name);
  ASSERT_TRUE(PathFileExistsW(file.c_str()));

  IShellLinkW* link = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)));
  IPersistFile* persist = nullptr;
  ASSERT_EQ(S_OK, link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)));
  ASSERT_EQ(S_OK, persist->Load(file.c_str(), STGM_READ));
  WCHAR text[MAX_PATH] = {};
  EXPECT_EQ(S_OK, link->GetPath(text, MAX_PATH, nullptr, 0));
  EXPECT_EQ(0, _wcsicmp(shortcut.target.c_str(), text)) << "target";
  EXPECT_EQ(S_OK, link->GetWorkingDirectory(text, MAX_PATH));
  EXPECT_EQ(0, _wcsicmp(shortcut.workingFolder.c_str(), text)) << "working folder";
  EXPECT_EQ(S_OK, link->GetDescription(text, MAX_PATH));
  EXPECT_EQ(shortcut.description, text);
  persist->Release();
  link->Release();
}

// Without an apartment the shell link object cannot be made, and no file appears.
TEST(CoreRunLinks, AThreadWithoutAnApartmentMakesNoShortcut) {
  std::wstring desktop;
  ASSERT_TRUE(GetCommonDesktopFolder(desktop));
  IShellLinkW* link = nullptr;
  EXPECT_EQ(CO_E_NOTINITIALIZED, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                                  reinterpret_cast<void**>(&link)));
  EXPECT_FALSE(CreateShortcut({kProductFolder + L"T6.EXE", desktop, L"NoApartment", L"", L"", L"", L"", SW_SHOWNORMAL}));
  EXPECT_FALSE(PathFileExistsW(ShortcutFilePath(desktop, L"NoApartment").c_str()));
}

}  // namespace
