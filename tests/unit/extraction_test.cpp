// Package extraction against real packages: made by Info-ZIP and 7-Zip, and hostile ones made
// by the test's own writer. Each case runs on a fresh emulated machine.
#include "install/extraction.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/host/host_window.h"
#include "platform/host/text.h"
#include "test_machine.h"
#include "zip_writer.h"

namespace {

namespace fs = std::filesystem;

const std::wstring kDest = L"c:\\dest";
const std::wstring kPackage = L"c:\\pkg\\tesl6.hv";
constexpr const char* kPassword = "q7Lm2xVr9TzK4";

// Stands in for the dialog: records each code 5 with the path it names.
class Recorder : public CWnd {
 public:
  explicit Recorder(ExtractContext& context) : m_context(context) {
    m_window.owner = this;
    m_hWnd = &m_window;
  }
  LRESULT WindowProc(UINT message, WPARAM code, LPARAM) override {
    if (message == WM_WORKER_PROGRESS && code == kExtractEntry) {
      std::lock_guard guard(m_context.entryLock);
      paths.push_back(m_context.strCurrentEntry);
    }
    return 0;
  }
  std::vector<std::wstring> paths;

 private:
  ExtractContext& m_context;
  HWND__ m_window;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteHostFile(const std::string& path, const std::string& data) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

void Shell(const std::string& command) { ASSERT_EQ(0, std::system(command.c_str())) << command; }

class Extraction : public testing::Test {
 protected:
  explicit Extraction(const std::string& ini = {}) : machine(ini), recorder(context) {
    context.hWnd = recorder.GetSafeHwnd();
    context.uMsg = WM_WORKER_PROGRESS;
    context.nCode = kExtractEntry;
  }

  std::string Host(const std::wstring& path) const { return machine.HostPath(path); }
  std::string Dest(const std::string& relative) const { return Host(kDest) + "/" + relative; }

  void Package(const std::string& bytes) { WriteHostFile(Host(kPackage), bytes); }
  // A package made by a tool from a tree: files maps relative paths to contents.
  void PackageByTool(const std::string& commandTemplate, const std::vector<std::pair<std::string, std::string>>& files) {
    const std::string tree = machine.Root() + "/tree";
    for (const auto& [name, data] : files) WriteHostFile(tree + "/" + name, data);
    fs::create_directories(fs::path(Host(kPackage)).parent_path());
    std::string command = commandTemplate;
    command.replace(command.find("OUT"), 3, "'" + Host(kPackage) + "'");
    Shell("cd '" + tree + "' && " + command + " >/dev/null");
  }

  bool Extract(bool withProgress = true) {
    const bool result = ExtractPackage(kDest, kPackage, withProgress ? &context : nullptr);
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    return result;
  }

  // Every file below the machine's root outside the destination, the package and the tree.
  std::vector<std::string> StrayFiles() const {
    std::vector<std::string> stray;
    for (const auto& item : fs::recursive_directory_iterator(machine.Root())) {
      const std::string path = item.path().string();
      if (path.rfind(Host(kDest), 0) == 0 || path.rfind(machine.Root() + "/tree", 0) == 0 ||
          path == Host(kPackage) || item.is_directory())
        continue;
      stray.push_back(path);
    }
    return stray;
  }

  TestMachine machine;
  ExtractContext context;
  Recorder recorder;
};

class ExtractionUtf8Ansi : public Extraction {
 protected:
  ExtractionUtf8Ansi() : Extraction("[windows]\nansi_code_page = 65001\n") {}
};

// Info-ZIP stores names as the file system has them (UTF-8 here) and never sets bit 11: on a
// machine whose ANSI code page is UTF-8 they read back as written.
TEST_F(ExtractionUtf8Ansi, InfoZipPackageArrivesWholeWithStoredAndDeflatedEntries) {
  std::string random(300000, '\0');
  for (std::size_t i = 0; i < random.size(); ++i) random[i] = static_cast<char>((i * 2654435761u) >> 13);
  PackageByTool(std::string("zip -q -r -P ") + kPassword + " OUT T6",
                {{"T6/readme.txt", std::string(50000, 'a')},
                 {"T6/资源/报表 模板.grf", "report"},
                 {"T6/bin/random.bin", random},
                 {"T6/empty.txt", ""}});
  ASSERT_TRUE(Extract());
  EXPECT_EQ(std::string(50000, 'a'), ReadFile(Dest("T6/readme.txt")));
  EXPECT_EQ("report", ReadFile(Dest("T6/资源/报表 模板.grf")));
  EXPECT_EQ(random, ReadFile(Dest("T6/bin/random.bin")));
  EXPECT_TRUE(fs::is_regular_file(Dest("T6/empty.txt")));
  // Info-ZIP stores the folders as entries of their own: one report per file, not per entry.
  EXPECT_EQ(4u, recorder.paths.size());
  EXPECT_GT(context.nTotal.load(), 4);
  EXPECT_EQ(context.nTotal.load(), context.nDone.load());
  for (const std::wstring& path : recorder.paths) {
    EXPECT_EQ(0u, path.find(L"c:\\dest\\T6\\")) << host::Utf8FromWide(path);
    EXPECT_EQ(std::wstring::npos, path.find(L'/'));
  }
}

TEST_F(Extraction, SevenZipZipCryptoPackageWithUtf8Names) {
  PackageByTool(std::string("7z a -tzip -mem=ZipCrypto -mcu=on -p") + kPassword + " OUT T6",
                {{"T6/中文目录/文件.txt", "seven"}, {"T6/T6.EXE", "program"}});
  ASSERT_TRUE(Extract());
  EXPECT_EQ("seven", ReadFile(Dest("T6/中文目录/文件.txt")));
  EXPECT_EQ("program", ReadFile(Dest("T6/T6.EXE")));
}

TEST_F(Extraction, Zip64EntryFromInfoZip) {
  fs::create_directories(fs::path(Host(kPackage)).parent_path());
  // Info-ZIP writes what it reads from a pipe as a zip64 entry (version needed 4.5).
  Shell("printf 'streamed data' | zip -q -P " + std::string(kPassword) + " '" + Host(kPackage) + "' - ");
  Shell("zipinfo -v '" + Host(kPackage) + "' | grep -q 'required to extract:   4.5'");
  ASSERT_TRUE(Extract());
  EXPECT_EQ("streamed data", ReadFile(Dest("-")));
}

TEST_F(Extraction, HostileNamesAreRefusedAndNothingLandsOutsideTheDestination) {
  // 259 bytes still fit the name buffer.
  const std::string segment = std::string(63, 'n') + "/";
  Package(WriteZip({{.name = "T6/" + segment + segment + segment + std::string(64, 'n'), .data = "long"}}));
  EXPECT_TRUE(Extract());
  const std::string longName = "T6/" + std::string(257, 'n');  // 260 bytes: does not fit
  for (const std::string& name : {std::string("/abs.txt"), std::string("\\abs.txt"), std::string("C:drive.txt"),
                                  std::string("\\\\server\\share\\x.txt"), std::string("T6/../../up.txt"),
                                  std::string("..\\up.txt"), std::string("T6\\a\\..\\b.txt"), longName}) {
    SCOPED_TRACE(name);
    TestMachine fresh;
    ExtractContext progress;
    Recorder record(progress);
    progress.hWnd = record.GetSafeHwnd();
    WriteHostFile(fresh.HostPath(kPackage), WriteZip({{.name = "T6/ok.txt", .data = "fine"}, {.name = name, .data = "x"}}));
    EXPECT_FALSE(ExtractPackage(kDest, kPackage, &progress));
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    EXPECT_EQ(kPackageDamaged, progress.nFailure);
    std::vector<std::string> outside;
    for (const auto& item : fs::recursive_directory_iterator(fresh.Root())) {
      const std::string path = item.path().string();
      if (item.is_regular_file() && path.rfind(fresh.HostPath(kDest) + "/", 0) != 0 && path != fresh.HostPath(kPackage))
        outside.push_back(path);
    }
    EXPECT_TRUE(outside.empty()) << outside.front();
    EXPECT_FALSE(fs::exists(fresh.Root() + "/drive_c/up.txt"));
    EXPECT_EQ("fine", ReadFile(fresh.HostPath(L"c:\\dest\\T6\\ok.txt")));
  }
}

TEST_F(Extraction, DamagedDataAndWrongPasswordFailTheExtraction) {
  struct Case {
    const char* what;
    ZipEntry entry;
  };
  const std::string text(20000, 'q');
  const Case cases[] = {
      {"stored, CRC mismatch", {.name = "a.txt", .data = text, .deflate = false, .corruptCrc = true}},
      {"deflated, CRC mismatch", {.name = "a.txt", .data = text, .corruptCrc = true}},
      {"deflated, damaged data", {.name = "a.txt", .data = text, .corruptData = true}},
      {"stored, wrong password", {.name = "a.txt", .data = text, .deflate = false, .password = "other"}},
      {"deflated, wrong password", {.name = "a.txt", .data = text, .password = "other"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    context.nFailure = kNoFailure;
    Package(WriteZip({c.entry, {.name = "later.txt", .data = "never"}}));
    EXPECT_FALSE(Extract());
    EXPECT_EQ(kPackageDamaged, context.nFailure);
    EXPECT_EQ(L"a.txt", context.strFailedItem);
    EXPECT_FALSE(fs::exists(Dest("later.txt")));
  }
}

TEST_F(Extraction, NamesDecodeByBit11AndMixedSeparatorsBecomeBackslashes) {
  const std::string gbk = "\xD6\xD0\xCE\xC4";        // 中文 in code page 936
  const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文 in UTF-8
  Package(WriteZip({{.name = "g/" + gbk + ".txt", .data = "gbk"},
                    {.name = "u/" + utf8 + ".txt", .data = "utf8", .utf8Flag = true},
                    {.name = "m\\n/o.txt", .data = "mixed"}}));
  ASSERT_TRUE(Extract());
  EXPECT_EQ("gbk", ReadFile(Dest("g/中文.txt")));
  EXPECT_EQ("utf8", ReadFile(Dest("u/中文.txt")));
  EXPECT_EQ("mixed", ReadFile(Dest("m/n/o.txt")));
  // Reports are handled after the walk: each reads the newest path, the last file's.
  EXPECT_EQ(3u, recorder.paths.size());
  EXPECT_EQ(L"c:\\dest\\m\\n\\o.txt", recorder.paths.back());
}

TEST_F(Extraction, InfoZipUtf8NamesWithoutBit11ReadInCodePage936) {
  PackageByTool(std::string("zip -q -r -P ") + kPassword + " OUT T6", {{"T6/报表.txt", "x"}});
  ASSERT_TRUE(Extract());
  // The UTF-8 bytes E6 8A A5 E8 A1 A8 read as GBK are three other characters.
  EXPECT_EQ("x", ReadFile(Dest("T6/鎶ヨ〃.txt")));
  EXPECT_FALSE(fs::exists(Dest("T6/报表.txt")));
}

class Extraction1252 : public Extraction {
 protected:
  Extraction1252() : Extraction("[windows]\nansi_code_page = 1252\n") {}
};

TEST_F(Extraction1252, NamesWithoutBit11FollowTheMachinesAnsiCodePage) {
  Package(WriteZip({{.name = "caf\xE9.txt", .data = "1252"}}));
  ASSERT_TRUE(Extract());
  EXPECT_EQ("1252", ReadFile(Dest("café.txt")));
}

TEST_F(Extraction, DirectoryEntriesFirstOrMissingAndTheCounts) {
  Package(WriteZip({{.name = "a/b/", .data = ""}, {.name = "a/b/c.txt", .data = "c"}, {.name = "x/y/z.txt", .data = "z"}}));
  ASSERT_TRUE(Extract());
  EXPECT_TRUE(fs::is_directory(Dest("a/b")));
  EXPECT_EQ("c", ReadFile(Dest("a/b/c.txt")));
  EXPECT_EQ("z", ReadFile(Dest("x/y/z.txt")));
  EXPECT_EQ(3, context.nTotal.load());
  EXPECT_EQ(3, context.nDone.load());
  EXPECT_EQ(2u, recorder.paths.size()) << "one report per file entry, none for the folder";
}

TEST_F(Extraction, EmptyArchiveAndNotAZip) {
  context.nTotal = 7;
  // minizip finds no end record at the archive's very first byte: the empty archive here
  // follows a stub, as a self-extracting one does.
  Package(std::string(64, 's') + WriteZip({}));
  EXPECT_TRUE(Extract());
  EXPECT_EQ(0, context.nTotal.load());
  EXPECT_TRUE(recorder.paths.empty());

  context.nTotal = 7;
  Package(std::string(5000, 'z'));
  EXPECT_FALSE(Extract());
  EXPECT_EQ(7, context.nTotal.load()) << "untouched when the archive can't be opened";
  EXPECT_EQ(kPackageDamaged, context.nFailure);
  EXPECT_FALSE(ExtractPackage(kDest, L"c:\\pkg\\missing.hv", nullptr));
}

TEST_F(Extraction, StopBeforeTheFirstEntryExtractsNothing) {
  Package(WriteZip({{.name = "a.txt", .data = "a"}}));
  context.bStop = 1;
  context.nDone = 42;
  EXPECT_TRUE(Extract());
  EXPECT_FALSE(fs::exists(Dest("a.txt")));
  EXPECT_TRUE(recorder.paths.empty());
  EXPECT_EQ(42, context.nDone.load());
  // Without a progress record the stop request is not read.
  EXPECT_TRUE(Extract(false));
  EXPECT_EQ("a", ReadFile(Dest("a.txt")));
}

TEST_F(Extraction, AnExistingFileIsOverwrittenFromItsStart) {
  WriteHostFile(Dest("a.txt"), std::string(10000, 'o'));
  Package(WriteZip({{.name = "a.txt", .data = "new"}}));
  ASSERT_TRUE(Extract());
  EXPECT_EQ("new", ReadFile(Dest("a.txt")));
}

TEST_F(Extraction, AFileInUseFailsTheExtractionAndKeepsItsContent) {
  WriteHostFile(Dest("a.txt"), "held");
  HANDLE held = CreateFileW((kDest + L"\\a.txt").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  Package(WriteZip({{.name = "a.txt", .data = "new"}}));
  EXPECT_FALSE(Extract());
  EXPECT_EQ(kCannotWrite, context.nFailure);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), context.nFailureError);
  CloseHandle(held);
  EXPECT_EQ("held", ReadFile(Dest("a.txt")));
}

TEST_F(Extraction, AFullDiskFailsTheExtraction) {
  fs::create_directories(Dest(""));
  fs::create_symlink("/dev/full", Dest("big.bin"));
  Package(WriteZip({{.name = "big.bin", .data = std::string(100000, 'b')}, {.name = "after.txt", .data = "x"}}));
  EXPECT_FALSE(Extract());
  EXPECT_EQ(kCannotWrite, context.nFailure);
  EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), context.nFailureError);
  EXPECT_EQ(L"c:\\dest\\big.bin", context.strFailedItem);
  EXPECT_FALSE(fs::exists(Dest("after.txt")));
}

TEST_F(Extraction, FileTimesAreTheEntrysDosTimeAsLocalTime) {
  const char* saved = std::getenv("TZ");
  const std::string previous = saved ? saved : "";
  setenv("TZ", "Asia/Shanghai", 1);
  // 2021-03-04 09:17:22 in Shanghai (UTC+8) is 01:17:22 UTC.
  Package(WriteZip({{.name = "dated.txt", .data = "d", .dosDateTime = 0x52644a2b}}));
  const bool extracted = Extract();
  if (saved) setenv("TZ", previous.c_str(), 1);
  else unsetenv("TZ");
  tzset();
  ASSERT_TRUE(extracted);
  struct stat info {};
  ASSERT_EQ(0, stat(Dest("dated.txt").c_str(), &info));
  EXPECT_EQ(1614820642, info.st_mtim.tv_sec);
  EXPECT_EQ(1614820642, info.st_atim.tv_sec);
}

TEST_F(Extraction, AnArchivePathOutsideTheAnsiCodePageCannotBeOpened) {
  const std::wstring package = L"c:\\pkg\\😀\\tesl6.hv";  // no character of code page 936
  WriteHostFile(machine.HostPath(package), WriteZip({{.name = "a.txt", .data = "a"}}));
  EXPECT_FALSE(ExtractPackage(kDest, package, nullptr));
  EXPECT_FALSE(fs::exists(Dest("a.txt")));
}

}  // namespace
