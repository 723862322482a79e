// The location check on page 132 of the real dialog: free-space verdict, chosen folder and the
// "Info" line.
#include <gtest/gtest.h>

#include <filesystem>

#include "dialog_probe.h"
#include "pages/html_text.h"
#include "unit/test_machine.h"

namespace {

const std::wstring kSupported = L" <span style=\"margin-left:2px;color:#0000ff\">系统支持本软件</span>";

struct Outcome {
  bool locationOk = false;
  std::wstring chosenDir;
  std::wstring infoHtml;
};

// Starts the dialog on the machine, lets page 132 load, then runs `more` on the loaded page.
Outcome RunPage132(const std::string& ini, const std::function<void(DialogProbe&)>& more = {}) {
  TestMachine machine(ini);
  std::filesystem::create_directories(machine.Root() + "/drive_d");
  SetTestArguments(L"");
  Outcome outcome;
  DialogProbe dialog([&](DialogProbe& d, const std::wstring& page) {
    if (page != L"132") return;
    if (more) more(d);
    outcome.locationOk = d.m_bLocationOk;
    outcome.chosenDir = d.m_strChosenDir;
    outcome.infoHtml = d.Eval(L"document.getElementById('Info').innerHTML");
    d.EndDialog(IDOK);
  });
  dialog.DoModal();
  EXPECT_FALSE(dialog.TimedOut());
  return outcome;
}

TEST(LocationCheck, FiveHundredMegabytesAreEnough) {
  const struct {
    const char* freeBytes;
    bool enough;
    const wchar_t* megabytes;
  } cases[] = {
      {"524288000", true, L"500"},
      {"524287999", false, L"499"},
      {"1048575", false, L"0"},
      {"53687091200", true, L"51200"},
  };
  for (const auto& c : cases) {
    Outcome outcome = RunPage132(std::string("[drive.c]\nfree_bytes = ") + c.freeBytes + "\n");
    EXPECT_EQ(c.enough, outcome.locationOk) << c.freeBytes;
    // Enough space takes the folder shown; too little keeps the initial one.
    EXPECT_EQ(c.enough ? L"C:\\Program Files (x86)\\Tessaly" : L"c:\\Program Files (x86)\\Tessaly\\",
              outcome.chosenDir)
        << c.freeBytes;
    EXPECT_EQ(std::wstring(L"所需磁盘空间500MB，可用磁盘空间") + c.megabytes + L"MB  Microsoft Windows 10" + kSupported,
              outcome.infoHtml)
        << c.freeBytes;
  }
}

TEST(LocationCheck, AnUnreadableVolumeChangesNothing) {
  Outcome outcome = RunPage132("[drive.c]\nfree_bytes = 0\n");
  EXPECT_FALSE(outcome.locationOk);
  EXPECT_EQ(L"c:\\Program Files (x86)\\Tessaly\\", outcome.chosenDir);
  EXPECT_EQ(std::wstring::npos, outcome.infoHtml.find(L"所需磁盘空间500MB")) << "placeholder replaced";
}

TEST(LocationCheck, UnsupportedSystemGetsTheRedVerdict) {
  Outcome outcome = RunPage132("[windows]\nmajor = 5\nminor = 1\n[drive.c]\nfree_bytes = 53687091200\n");
  EXPECT_TRUE(outcome.locationOk);
  EXPECT_EQ(L"所需磁盘空间500MB，可用磁盘空间51200MB  Microsoft Windows XP  "
            L"<span style=\"margin-left:2px;color:#ff0000\">系统不支持本软件</span>",
            outcome.infoHtml);
}

TEST(LocationCheck, AFullVolumeAfterAGoodOneKeepsTheGoodFolder) {
  Outcome outcome = RunPage132("[drive.c]\nfree_bytes = 1000\n[drive.d]\nfree_bytes = 600000000\n",
                               [](DialogProbe& d) {
                                 d.SetPageElementHtml(L"Directry", L"D:\\");
                                 d.UpdateSpaceInfo();
                                 EXPECT_TRUE(d.m_bLocationOk);
                                 EXPECT_EQ(L"D:\\", d.m_strChosenDir);
                                 d.SetPageElementHtml(L"Directry", L"C:\\Full");
                                 d.UpdateSpaceInfo();
                                 std::wstring shown;
                                 d.GetPageElementText(L"Directry", shown);
                                 EXPECT_EQ(L"C:\\Full", shown);
                               });
  EXPECT_FALSE(outcome.locationOk);
  EXPECT_EQ(L"D:\\", outcome.chosenDir);
}

TEST(LocationCheck, TheFolderUsedIsTheFolderPickedCharacterForCharacter) {
  // Runs of spaces, a tab and a trailing space are part of the name: collapsing them would
  // install into another folder.
  const std::wstring picked = L"C:\\My  Apps\\Two\tTabs ";
  Outcome outcome = RunPage132("[drive.c]\nfree_bytes = 600000000\n", [&](DialogProbe& d) {
    // Unfolded, as when the user picks a folder: only a shown element's text follows its layout.
    ASSERT_TRUE(d.Run(L"document.getElementById('userDefined').click()"));
    d.SetPageElementHtml(L"Directry", HtmlEscape(picked));
    d.UpdateSpaceInfo();
  });
  EXPECT_TRUE(outcome.locationOk);
  EXPECT_EQ(picked, outcome.chosenDir);
}

TEST(LocationCheck, FolderTextsWithoutAUsableVolumeChangeNothing) {
  for (const std::wstring& text : {std::wstring(L"Q:\\missing"), std::wstring(L"no root"),
                                   L"C:\\" + std::wstring(400, L'x'), std::wstring(L"")}) {
    Outcome outcome = RunPage132("[drive.c]\nfree_bytes = 600000000\n", [&](DialogProbe& d) {
      d.SetPageElementHtml(L"Directry", text);
      d.UpdateSpaceInfo();
    });
    EXPECT_TRUE(outcome.locationOk) << "after the default folder's check";
    EXPECT_EQ(L"C:\\Program Files (x86)\\Tessaly", outcome.chosenDir);
  }
}

}  // namespace
