// Shortcuts on the emulated machine, read back with lnkinfo (liblnk), a reader nobody here wrote.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "install/com_apartment.h"
#include "install/shortcuts.h"
#include "platform/files.h"
#include "platform/host/overridable.h"
#include "platform/host/text.h"
#include "platform/shell.h"
#include "platform/shell_link.h"
#include "test_machine.h"
#include "tool_run.h"
#include "unprivileged.h"

namespace {

using Fields = std::map<std::string, std::string>;

std::string Utf8(const std::wstring& text) { return host::Utf8FromWide(text); }

// lnkinfo's "\tName\t\t: value" lines, by name. ANSI strings are read in code page 936.
Fields LnkInfo(const TestMachine& machine, const std::string& hostPath, std::string* text = nullptr) {
  ToolRun run = RunProgram(machine, "lnkinfo", {"-c", "windows-936", hostPath});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  if (text) *text = run.out;
  Fields fields;
  static const std::regex line(R"(^\t+([^\t:][^\t]*?)\t+: (.*)$)");
  std::istringstream lines(run.out);
  std::string current;
  std::smatch match;
  while (std::getline(lines, current))
    if (std::regex_match(current, match, line)) fields.emplace(match[1], match[2]);
  return fields;
}

DWORD U32At(const std::string& bytes, std::size_t at) {
  DWORD value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
  return value;
}

unsigned U16At(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes.at(at)) | (static_cast<unsigned char>(bytes.at(at + 1)) << 8);
}

// The show command, from the header itself (offset 0x3C): this lnkinfo misreports it.
DWORD ShowCommand(const std::string& bytes) { return U32At(bytes, 0x3C); }

// The address in the URI item of the link's target item list; lnkinfo names the item's type but
// does not print its text.
std::string AddressOfUriItem(const std::string& bytes) {
  if (!(U32At(bytes, 0x14) & 1)) return {};
  std::size_t at = 0x4C + 2;
  const std::size_t end = at + U16At(bytes, 0x4C);
  while (at + 2 <= end) {
    const unsigned size = U16At(bytes, at);
    if (size == 0) break;
    if (static_cast<unsigned char>(bytes.at(at + 2)) == 0x61) {
      std::u16string units;
      for (std::size_t p = at + 6 + U16At(bytes, at + 4); p + 1 < at + size; p += 2) {
        const auto unit = static_cast<char16_t>(U16At(bytes, p));
        if (unit == 0) break;
        units += unit;
      }
      return Utf8(host::WideFromUtf16(units));
    }
    at += size;
  }
  return {};
}

struct Expected {
  std::string target;  // the local path, or the address
  bool address = false;
  std::string arguments, workingFolder, description, icon;
};

void ExpectShortcut(const TestMachine& machine, const std::wstring& file, const Expected& expected) {
  SCOPED_TRACE(Utf8(file));
  const std::string hostPath = machine.HostPath(file);
  std::string text;
  Fields fields = LnkInfo(machine, hostPath, &text);
  SCOPED_TRACE(text);
  const std::string bytes = ReadFile(hostPath);
  ASSERT_GE(bytes.size(), 0x4Cu);
  if (expected.address) {
    EXPECT_EQ(fields.count("Local path"), 0u);
    EXPECT_EQ(fields["Shell folder name"], "Internet Explorer (Homepage)");
    EXPECT_NE(text.find("\tItem type\t\t: URI\n"), std::string::npos);
    EXPECT_EQ(AddressOfUriItem(bytes), expected.target);
  } else {
    EXPECT_EQ(fields["Local path"], expected.target);
  }
  auto field = [&](const char* name) { return fields.count(name) ? fields[name] : std::string("(none)"); };
  EXPECT_EQ(field("Command line arguments"), expected.arguments.empty() ? "(none)" : expected.arguments);
  EXPECT_EQ(field("Working directory"), expected.workingFolder.empty() ? "(none)" : expected.workingFolder);
  EXPECT_EQ(field("Description"), expected.description);
  EXPECT_EQ(field("Icon location"), expected.icon);
  EXPECT_EQ(field("Icon index"), "0");
  EXPECT_EQ(ShowCommand(bytes), 1u);
}

// The files in a folder, so that a test sees a stray temporary file as well as the shortcut.
std::vector<std::string> FolderEntries(const std::string& hostFolder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(hostFolder, ignored))
    names.push_back(entry.path().filename().string());
  return names;
}

class FourShortcutsTest : public testing::TestWithParam<const wchar_t*> {};

TEST_P(FourShortcutsTest, ReadBackWithLnkinfo) {
  TestMachine machine;
  ComApartment apartment;
  ASSERT_EQ(apartment.Result(), S_OK);
  const std::wstring productFolder = std::wstring(GetParam()) + L"T6\\";
  const std::wstring installer = L"C:\\Users\\张三\\Downloads\\T6InternetInstaller.exe";
  const std::wstring installerFolder = L"C:\\Users\\张三\\Downloads";

  std::wstring desktop, programs;
  ASSERT_TRUE(GetCommonDesktopFolder(desktop));
  ASSERT_TRUE(GetCommonProgramsFolder(programs));
  EXPECT_EQ(desktop, L"C:\\Users\\Public\\Desktop");
  EXPECT_EQ(programs, L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs");
  const std::wstring group = programs + L"\\Tessaly";
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, group.c_str(), nullptr), ERROR_SUCCESS);

  EXPECT_TRUE(CreateShortcut(DesktopProductShortcut(desktop, productFolder)));
  EXPECT_TRUE(CreateShortcut(StartMenuProductShortcut(group, productFolder)));
  EXPECT_TRUE(CreateShortcut(HomePageShortcut(group, productFolder)));
  EXPECT_TRUE(CreateShortcut(UninstallShortcut(group, installer, installerFolder)));

  const std::string product = Utf8(productFolder);
  const Expected programShortcut{product + "T6.EXE", false, "", product, "TessalyT6", product + "T6.EXE"};
  ExpectShortcut(machine, desktop + L"\\TessalyT6.lnk", programShortcut);
  ExpectShortcut(machine, group + L"\\TessalyT6.lnk", programShortcut);
  ExpectShortcut(machine, group + L"\\Tessaly首页.lnk",
                 {Utf8(kHomePageAddress), true, "", "", "Tessaly首页", product + "T6.EXE"});
  ExpectShortcut(machine, group + L"\\卸载TessalyT6.lnk",
                 {Utf8(installer), false, "-u", Utf8(installerFolder), "卸载TessalyT6", Utf8(installer)});
}

INSTANTIATE_TEST_SUITE_P(InstallFolders, FourShortcutsTest,
                         testing::Values(L"c:\\Program Files (x86)\\Tessaly\\", L"c:\\报表 工具 (测试)\\"));

TEST(ShortcutTest, ReplacesAnExistingShortcut) {
  TestMachine machine;
  ComApartment apartment;
  ASSERT_TRUE(CreateShortcut(L"C:\\old\\OLD.EXE", L"C:\\", L"Same", L"", L"old", L"", L"", SW_SHOWNORMAL));
  ASSERT_TRUE(CreateShortcut(L"C:\\new\\NEW.EXE", L"C:\\", L"Same", L"", L"new", L"", L"", SW_SHOWNORMAL));
  Fields fields = LnkInfo(machine, machine.HostPath(L"C:\\Same.lnk"));
  EXPECT_EQ(fields["Local path"], "C:\\new\\NEW.EXE");
  EXPECT_EQ(fields["Description"], "new");
}

// Texts at and past MAX_PATH are stored and read back whole; a description longer than the
// documented INFOTIPSIZE is refused, and the link has none.
TEST(ShortcutTest, LongTextsReadBackWhole) {
  TestMachine machine;
  ComApartment apartment;
  for (std::size_t length : {259u, 260u, 600u}) {
    SCOPED_TRACE(length);
    const std::wstring target = L"C:\\" + std::wstring(length - 9, L'a') + L"\\T.EXE";
    const std::wstring text = L"报表" + std::wstring(length - 2, L'x');
    const std::wstring name = L"long" + std::to_wstring(length);
    ASSERT_TRUE(CreateShortcut(target, L"C:\\", name, text, text, text, text, SW_SHOWNORMAL));
    Fields fields = LnkInfo(machine, machine.HostPath(L"C:\\" + name + L".lnk"));
    // Compared as truths: a difference would print kilobytes of 'x'.
    EXPECT_TRUE(fields["Local path"] == Utf8(target));
    EXPECT_TRUE(fields["Working directory"] == Utf8(text));
    EXPECT_TRUE(fields["Description"] == Utf8(text));
    EXPECT_TRUE(fields["Command line arguments"] == Utf8(text));
    EXPECT_TRUE(fields["Icon location"] == Utf8(text));
  }
  const std::wstring description(INFOTIPSIZE, L'd');
  ASSERT_TRUE(CreateShortcut(L"C:\\T.EXE", L"C:\\", L"tip", L"", description, L"", L"", SW_SHOWNORMAL));
  EXPECT_EQ(LnkInfo(machine, machine.HostPath(L"C:\\tip.lnk")).count("Description"), 0u);
}

// Characters outside the BMP: in the file name, and as surrogate pairs in the stored texts.
// (This lnkinfo decodes surrogate pairs wrongly, so the texts are looked up in the file.)
TEST(ShortcutTest, EmojiAreStoredWhole) {
  TestMachine machine;
  ComApartment apartment;
  const std::wstring emoji = L"\U0001F600\U0001F4C4";
  ASSERT_TRUE(CreateShortcut(L"C:\\" + emoji + L"\\T.EXE", L"C:\\", L"报表" + emoji, L"C:\\" + emoji,
                             L"说明" + emoji, L"-x " + emoji, L"", SW_SHOWNORMAL));
  EXPECT_EQ(FolderEntries(machine.Root() + "/drive_c"),
            std::vector<std::string>{"报表\xF0\x9F\x98\x80\xF0\x9F\x93\x84.lnk"});
  const std::string bytes = ReadFile(machine.HostPath(L"C:\\报表" + emoji + L".lnk"));
  auto utf16 = [](const std::wstring& text) {
    std::string out;
    for (char16_t unit : host::Utf16FromWide(text))
      out += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return out;
  };
  ASSERT_EQ(utf16(emoji), std::string("\x3D\xD8\x00\xDE\x3D\xD8\xC4\xDC", 8));
  // The target's local path ends with a terminator; the other texts are counted strings: their
  // length in UTF-16 units, then the units.
  EXPECT_NE(bytes.find(utf16(L"C:\\" + emoji + L"\\T.EXE") + std::string(2, '\0')), std::string::npos);
  for (const std::wstring& text : {L"C:\\" + emoji, L"说明" + emoji, L"-x " + emoji}) {
    const std::string units = utf16(text);
    EXPECT_NE(bytes.find(std::string{static_cast<char>(units.size() / 2), '\0'} + units), std::string::npos)
        << Utf8(text);
  }
}

// The link info also holds the local path in the machine's ANSI code page (936) for readers that
// take no UTF-16; what that code page cannot hold becomes '?'. (lnkinfo reads the UTF-16 one.)
TEST(ShortcutTest, LocalPathIsAlsoStoredInCodePage936) {
  TestMachine machine;
  ComApartment apartment;
  ASSERT_TRUE(CreateShortcut(L"C:\\报表\U0001F600\\T6.EXE", L"C:\\", L"zh", L"", L"", L"", L"", SW_SHOWNORMAL));
  const std::string bytes = ReadFile(machine.HostPath(L"C:\\zh.lnk"));
  EXPECT_NE(bytes.find(std::string("C:\\\xB1\xA8\xB1\xED?\\T6.EXE\0", 16)), std::string::npos);
}

struct RefusedCase {
  const char* label;
  std::wstring folder;
  std::wstring name;
};
void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.label; }

class RefusedShortcutTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedShortcutTest, ReturnsFalseAndLeavesNoFile) {
  TestMachine machine;
  ComApartment apartment;
  std::filesystem::create_directories(machine.Root() + "/drive_c/Menu");
  EXPECT_FALSE(CreateShortcut(L"C:\\T6\\T6.EXE", GetParam().folder, GetParam().name, L"", L"d", L"", L"",
                              SW_SHOWNORMAL));
  EXPECT_EQ(FolderEntries(machine.Root() + "/drive_c/Menu"), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, RefusedShortcutTest,
    testing::Values(RefusedCase{"missing_folder", L"C:\\Menu\\Missing", L"TessalyT6"},
                    RefusedCase{"no_drive", L"Menu", L"TessalyT6"},
                    RefusedCase{"bar", L"C:\\Menu", L"a|b"}, RefusedCase{"question", L"C:\\Menu", L"a?b"},
                    RefusedCase{"star", L"C:\\Menu", L"a*b"}, RefusedCase{"colon", L"C:\\Menu", L"a:b"},
                    RefusedCase{"quote", L"C:\\Menu", L"a\"b"}, RefusedCase{"less", L"C:\\Menu", L"a<b"},
                    RefusedCase{"control", L"C:\\Menu", L"a\tb"},
                    RefusedCase{"subfolder_missing", L"C:\\Menu", L"x\\y"},
                    // C:\Menu\ + 247 + ".lnk" is 259 characters with the terminator.
                    RefusedCase{"path_of_260", L"C:\\Menu", std::wstring(248, L'n')},
                    RefusedCase{"folder_past_buffer", L"C:\\Menu\\" + std::wstring(400, L'f'), L"x"}));

// A web address's item sizes are 16-bit: an address too long for them is refused, never saved
// as a file that no reader can parse.
TEST(ShortcutTest, AnAddressTooLongForItsItemIsRefused) {
  TestMachine machine;
  ComApartment apartment;
  std::filesystem::create_directories(machine.Root() + "/drive_c/Menu");
  EXPECT_TRUE(CreateShortcut(L"https://a/" + std::wstring(32000, L'x'), L"C:\\Menu", L"fits", L"", L"d", L"", L"",
                             SW_SHOWNORMAL));
  EXPECT_FALSE(CreateShortcut(L"https://a/" + std::wstring(33000, L'x'), L"C:\\Menu", L"long", L"", L"d", L"", L"",
                              SW_SHOWNORMAL));
  EXPECT_EQ(FolderEntries(machine.Root() + "/drive_c/Menu"), std::vector<std::string>{"fits.lnk"});
}

TEST(ShortcutTest, FileNameOf259CharactersIsSaved) {
  TestMachine machine;
  ComApartment apartment;
  std::filesystem::create_directories(machine.Root() + "/drive_c/Menu");
  const std::wstring name(259 - 1 - 8 - 4, L'n');  // C:\Menu\ + name + .lnk = 258, plus the terminator
  EXPECT_TRUE(CreateShortcut(L"C:\\T6\\T6.EXE", L"C:\\Menu", name, L"", L"d", L"", L"", SW_SHOWNORMAL));
  EXPECT_EQ(FolderEntries(machine.Root() + "/drive_c/Menu"), std::vector<std::string>{Utf8(name) + ".lnk"});
}

ssize_t DiskFull(int, const void*, std::size_t) {
  errno = ENOSPC;
  return -1;
}
// The first writes arrive, then the disk is full: a part of the file exists before the failure.
ssize_t FullAfterTenBytes(int fd, const void* data, std::size_t size) {
  return size > 10 ? ::write(fd, data, 10) : DiskFull(fd, data, size);
}

TEST(ShortcutTest, FullDiskLeavesTheOldShortcutWhole) {
  TestMachine machine;
  ComApartment apartment;
  ASSERT_TRUE(CreateShortcut(L"C:\\old\\OLD.EXE", L"C:\\", L"Same", L"", L"old", L"", L"", SW_SHOWNORMAL));
  const std::string before = ReadFile(machine.HostPath(L"C:\\Same.lnk"));
  auto& calls = host::Overridable();
  const auto original = calls.writeFile;
  for (auto* fault : {&DiskFull, &FullAfterTenBytes}) {
    calls.writeFile = fault;
    EXPECT_FALSE(CreateShortcut(L"C:\\new\\NEW.EXE", L"C:\\", L"Same", L"", L"new", L"", L"", SW_SHOWNORMAL));
    EXPECT_FALSE(CreateShortcut(L"C:\\new\\NEW.EXE", L"C:\\", L"Other", L"", L"new", L"", L"", SW_SHOWNORMAL));
  }
  calls.writeFile = original;
  EXPECT_EQ(ReadFile(machine.HostPath(L"C:\\Same.lnk")), before);
  std::vector<std::string> entries = FolderEntries(machine.Root() + "/drive_c");
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"Same.lnk"}));
}

TEST(ShortcutTest, ReadOnlyFolderRefusesTheShortcut) {
  TestMachine machine;
  const std::string menu = machine.Root() + "/drive_c/Menu", open = machine.Root() + "/drive_c/Open";
  std::filesystem::create_directories(menu);
  std::filesystem::create_directories(open);
  chmod(machine.Root().c_str(), 0755);
  chmod((machine.Root() + "/drive_c").c_str(), 0755);
  chmod(menu.c_str(), 0555);
  chmod(open.c_str(), 0777);
  // 2: saved in the writable folder (the child can work at all); 1: saved in the read-only one.
  const int saved = RunUnprivileged([] {
    ComApartment apartment;
    auto saveIn = [](const wchar_t* folder) {
      return CreateShortcut(L"C:\\T6\\T6.EXE", folder, L"TessalyT6", L"", L"d", L"", L"", SW_SHOWNORMAL);
    };
    const bool inOpen = saveIn(L"C:\\Open");
    const bool inMenu = saveIn(L"C:\\Menu");
    return (inOpen ? 2 : 0) | (inMenu ? 1 : 0);
  });
  EXPECT_EQ(saved, 2);
  EXPECT_EQ(FolderEntries(menu), std::vector<std::string>{});
}

// The installation thread does not enter an apartment by itself: without one nothing is made,
// as on Windows; ComApartment is the one place that enters it.
TEST(ShortcutTest, ThreadWithoutApartmentMakesNoShortcut) {
  TestMachine machine;
  bool withoutApartment = true, withApartment = false, afterLeaving = true;
  HRESULT created = S_OK;
  std::thread([&] {
    IShellLinkW* link = nullptr;
    created = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               reinterpret_cast<void**>(&link));
    withoutApartment = CreateShortcut(L"C:\\T6.EXE", L"C:\\", L"a", L"", L"", L"", L"", SW_SHOWNORMAL);
    {
      ComApartment apartment;
      withApartment = CreateShortcut(L"C:\\T6.EXE", L"C:\\", L"b", L"", L"", L"", L"", SW_SHOWNORMAL);
    }
    afterLeaving = CreateShortcut(L"C:\\T6.EXE", L"C:\\", L"c", L"", L"", L"", L"", SW_SHOWNORMAL);
  }).join();
  EXPECT_EQ(created, CO_E_NOTINITIALIZED);
  EXPECT_FALSE(withoutApartment);
  EXPECT_TRUE(withApartment);
  EXPECT_FALSE(afterLeaving);
  EXPECT_EQ(FolderEntries(machine.Root() + "/drive_c"), std::vector<std::string>{"b.lnk"});
}

TEST(ShortcutTest, ApartmentsNestAndKeepTheirModel) {
  std::thread([] {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    CoUninitialize();
    CoUninitialize();
    IUnknown* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              CO_E_NOTINITIALIZED);
  }).join();
}

TEST(ShortcutTest, LinkObjectCountsReferencesAcrossItsInterfaces) {
  ComApartment apartment;
  IShellLinkW* link = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                             reinterpret_cast<void**>(&link)),
            S_OK);
  IPersistFile* file = nullptr;
  ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
  void* other = nullptr;
  const IID unknownInterface = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  EXPECT_EQ(link->QueryInterface(unknownInterface, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(link->AddRef(), 3u);
  EXPECT_EQ(link->Release(), 2u);
  EXPECT_EQ(file->Release(), 1u);
  EXPECT_EQ(link->Release(), 0u);
  IUnknown* outer = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, reinterpret_cast<IUnknown*>(&outer), CLSCTX_INPROC_SERVER,
                             IID_IShellLinkW, reinterpret_cast<void**>(&link)),
            CLASS_E_NOAGGREGATION);
}

TEST(SpecialFolderTest, UnknownIdentifierAndMissingFolders) {
  TestMachine machine("[folders]\ncommon_desktop = 0\ncommon_programs = 0\n");
  PIDLIST_ABSOLUTE items = reinterpret_cast<PIDLIST_ABSOLUTE>(1);
  EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, 0x7FFF, &items), E_INVALIDARG);
  EXPECT_EQ(items, nullptr);
  std::wstring path = L"stale";
  EXPECT_FALSE(GetCommonDesktopFolder(path));
  EXPECT_EQ(L"", path);
  path = L"stale";
  EXPECT_FALSE(GetCommonProgramsFolder(path));
  EXPECT_EQ(L"", path);
  EXPECT_FALSE(std::filesystem::exists(machine.Root() + "/drive_c/Users"));
}

}  // namespace
