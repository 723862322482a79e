// t6-reg, run as a program: reg.exe's output layout, messages and exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "test_machine.h"
#include "tool_run.h"

namespace {

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

// HKLM\Software\T6 (no values) with Installer (values) below it, which has Empty and Sub.
void CreateSampleKeys() {
  HKEY installer = nullptr, sub = nullptr, empty = nullptr;
  const REGSAM sam = KEY_ALL_ACCESS | KEY_WOW64_64KEY;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\T6\\Installer", 0, nullptr, 0, sam, nullptr, &installer,
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(SetString(installer, L"Version", L"1.0.0"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(installer, L"", L"T6 Installer"), ERROR_SUCCESS);
  DWORD size = 100000000;
  ASSERT_EQ(RegSetValueExW(installer, L"Size", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&size), sizeof size),
            ERROR_SUCCESS);
  const BYTE blob[] = {0x0A, 0xFF, 0x10};
  ASSERT_EQ(RegSetValueExW(installer, L"Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyExW(installer, L"Sub", 0, nullptr, 0, sam, nullptr, &sub, nullptr), ERROR_SUCCESS);
  ASSERT_EQ(SetString(sub, L"Version", L"2"), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyExW(installer, L"Empty", 0, nullptr, 0, sam, nullptr, &empty, nullptr), ERROR_SUCCESS);
  RegCloseKey(empty);
  RegCloseKey(sub);
  RegCloseKey(installer);
}

const std::string kInstaller = "HKEY_LOCAL_MACHINE\\Software\\T6\\Installer";
const std::string kInstallerValues =
    "    (Default)    REG_SZ    T6 Installer\n"
    "    Blob    REG_BINARY    0AFF10\n"
    "    Size    REG_DWORD    0x5f5e100\n"
    "    Version    REG_SZ    1.0.0\n";

struct LayoutCase {
  const char* label;
  std::vector<std::string> args;
  std::string expected;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.label; }

class RegToolQueryTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(RegToolQueryTest, PrintsTheLayoutOfRegQuery) {
  TestMachine machine;
  CreateSampleKeys();
  ToolRun run = RunTool(machine, GetParam().args);
  EXPECT_EQ(run.out, GetParam().expected);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exitCode, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, RegToolQueryTest,
    testing::Values(
        LayoutCase{"ValuesThenSubkeys",
                   {"query", "HKLM\\Software\\T6\\Installer"},
                   "\n" + kInstaller + "\n" + kInstallerValues + "\n" + kInstaller + "\\Empty\n" + kInstaller +
                       "\\Sub\n"},
        LayoutCase{"KeyWithoutValuesListsOnlySubkeys",
                   {"query", "hklm\\Software\\T6\\"},
                   "\nHKEY_LOCAL_MACHINE\\Software\\T6\\Installer\n"},
        LayoutCase{"Recursive",
                   {"QUERY", "HKEY_LOCAL_MACHINE\\Software\\T6", "/s"},
                   "\n" + kInstaller + "\n" + kInstallerValues + "\n" + kInstaller + "\\Empty\n\n" + kInstaller +
                       "\\Sub\n    Version    REG_SZ    2\n\n"},
        LayoutCase{"OneValue",
                   {"query", "HKLM\\Software\\T6\\Installer", "/v", "Size"},
                   "\n" + kInstaller + "\n    Size    REG_DWORD    0x5f5e100\n\n"},
        LayoutCase{"DefaultValue",
                   {"query", "HKLM\\Software\\T6\\Installer", "/ve", "/reg:64"},
                   "\n" + kInstaller + "\n    (Default)    REG_SZ    T6 Installer\n\n"},
        LayoutCase{"OneValueEverywhere",
                   {"query", "HKLM\\Software\\T6", "/v", "Version", "/s"},
                   "\n" + kInstaller + "\n    Version    REG_SZ    1.0.0\n\n" + kInstaller +
                       "\\Sub\n    Version    REG_SZ    2\n\nEnd of search: 2 match(es) found.\n"}),
    [](const testing::TestParamInfo<LayoutCase>& tested) { return tested.param.label; });

TEST(RegToolTest, AddsQueriesAndDeletes) {
  TestMachine machine;
  const std::string key = "HKLM\\Software\\T6";
  const std::string done = "The operation completed successfully.\n";
  EXPECT_EQ(RunTool(machine, {"add", key, "/v", "Version", "/t", "REG_SZ", "/d", "1.0.0", "/f"}).out, done);
  EXPECT_EQ(RunTool(machine, {"add", key, "/v", "Hex", "/t", "REG_DWORD", "/d", "0x1F", "/f"}).out, done);
  EXPECT_EQ(RunTool(machine, {"add", key, "/v", "Decimal", "/t", "REG_DWORD", "/d", "31", "/f"}).out, done);
  EXPECT_EQ(RunTool(machine, {"query", key}).out,
            "\nHKEY_LOCAL_MACHINE\\Software\\T6\n"
            "    Decimal    REG_DWORD    0x1f\n"
            "    Hex    REG_DWORD    0x1f\n"
            "    Version    REG_SZ    1.0.0\n\n");

  ToolRun deleted = RunTool(machine, {"delete", key, "/v", "Hex", "/f"});
  EXPECT_EQ(deleted.out, done);
  EXPECT_EQ(deleted.exitCode, 0);
  ToolRun gone = RunTool(machine, {"query", key, "/v", "Hex"});
  EXPECT_EQ(gone.err, "ERROR: The system was unable to find the specified registry key or value.\n");
  EXPECT_EQ(gone.exitCode, 1);

  EXPECT_EQ(RunTool(machine, {"delete", key, "/f"}).out, done);
  EXPECT_EQ(RunTool(machine, {"query", key}).exitCode, 1);
}

TEST(RegToolTest, ValueAddedIn64BitViewIsAbsentFrom32BitView) {
  TestMachine machine;
  ASSERT_EQ(RunTool(machine, {"add", "HKLM\\Software\\T6", "/v", "Version", "/d", "1.0.0", "/reg:64", "/f"}).exitCode,
            0);
  ToolRun in32 = RunTool(machine, {"query", "HKLM\\Software\\T6", "/v", "Version", "/reg:32"});
  EXPECT_EQ(in32.err, "ERROR: The system was unable to find the specified registry key or value.\n");
  EXPECT_EQ(in32.exitCode, 1);
  EXPECT_EQ(RunTool(machine, {"query", "HKLM\\Software\\T6", "/v", "Version"}).exitCode, 0);

  ASSERT_EQ(RunTool(machine, {"add", "HKLM\\Software\\T6", "/v", "Only32", "/d", "x", "/reg:32", "/f"}).exitCode, 0);
  EXPECT_EQ(RunTool(machine, {"query", "HKLM\\Software\\WOW6432Node\\T6", "/v", "Only32"}).out,
            "\nHKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\T6\n    Only32    REG_SZ    x\n\n");
}

struct AnswerCase {
  const char* label;
  std::string input;
  std::string expectedOut;
  std::string expectedValue;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.label; }

class RegToolOverwriteTest : public testing::TestWithParam<AnswerCase> {};

// Without /f an existing value is only replaced after a yes; no answer counts as No.
TEST_P(RegToolOverwriteTest, AsksBeforeReplacingAValue) {
  TestMachine machine;
  const std::string key = "HKCU\\Software\\T6";
  ASSERT_EQ(RunTool(machine, {"add", key, "/v", "Version", "/d", "1.0.0", "/f"}).exitCode, 0);
  ToolRun run = RunTool(machine, {"add", key, "/v", "Version", "/d", "2.0.0"}, GetParam().input);
  EXPECT_EQ(run.out, GetParam().expectedOut);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(RunTool(machine, {"query", key, "/v", "Version"}).out,
            "\nHKEY_CURRENT_USER\\Software\\T6\n    Version    REG_SZ    " + GetParam().expectedValue + "\n\n");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RegToolOverwriteTest,
    testing::Values(AnswerCase{"NoAnswer", "",
                               "Value Version exists, overwrite(Yes/No)? \nThe operation was canceled by the user.\n",
                               "1.0.0"},
                    AnswerCase{"No", "No\n",
                               "Value Version exists, overwrite(Yes/No)? The operation was canceled by the user.\n",
                               "1.0.0"},
                    AnswerCase{"Yes", "Yes\n",
                               "Value Version exists, overwrite(Yes/No)? The operation completed successfully.\n",
                               "2.0.0"}),
    [](const testing::TestParamInfo<AnswerCase>& tested) { return tested.param.label; });

struct ErrorCase {
  const char* label;
  std::vector<std::string> args;
  std::string expectedErr;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.label; }

class RegToolErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(RegToolErrorTest, ReportsOnStandardErrorAndExitsWithOne) {
  TestMachine machine;
  ToolRun run = RunTool(machine, GetParam().args);
  EXPECT_EQ(run.err, GetParam().expectedErr);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.exitCode, 1);
}

const std::string kNotFound = "ERROR: The system was unable to find the specified registry key or value.\n";

INSTANTIATE_TEST_SUITE_P(
    Errors, RegToolErrorTest,
    testing::Values(
        ErrorCase{"NoOperation", {}, "ERROR: Invalid syntax.\nType \"REG /?\" for usage.\n"},
        ErrorCase{"NoKey", {"query"}, "ERROR: Invalid syntax.\nType \"REG QUERY /?\" for usage.\n"},
        ErrorCase{"TwoViews",
                  {"query", "HKLM\\Software", "/reg:32", "/reg:64"},
                  "ERROR: Invalid syntax.\nType \"REG QUERY /?\" for usage.\n"},
        ErrorCase{"BadNumber",
                  {"add", "HKCU\\Software\\T6", "/v", "Size", "/t", "REG_DWORD", "/d", "12abc", "/f"},
                  "ERROR: Invalid syntax.\nType \"REG ADD /?\" for usage.\n"},
        ErrorCase{"DeleteWithoutKey", {"delete"}, "ERROR: Invalid syntax.\nType \"REG DELETE /?\" for usage.\n"},
        ErrorCase{"UnknownRoot",
                  {"query", "HKXX\\Software"},
                  "ERROR: Invalid key name.\nType \"REG QUERY /?\" for usage.\n"},
        ErrorCase{"MissingKey", {"query", "HKLM\\Software\\Missing"}, kNotFound},
        ErrorCase{"MissingValue", {"query", "HKLM\\Software", "/v", "Missing"}, kNotFound},
        ErrorCase{"DeleteMissingKey", {"delete", "HKCU\\Software\\Missing", "/f"}, kNotFound}),
    [](const testing::TestParamInfo<ErrorCase>& tested) { return tested.param.label; });

TEST(RegToolTest, CorruptDatabaseIsReportedAndLeftAlone) {
  TestMachine machine;
  const std::string path = host::RegistryDatabasePath();
  std::ofstream(path, std::ios::binary) << std::string(4096, 'x');
  const std::string before = ReadFile(path);
  ToolRun run = RunTool(machine, {"add", "HKCU\\Software\\T6", "/v", "Version", "/d", "1", "/f"});
  EXPECT_EQ(run.err, "ERROR: The configuration registry database is corrupt.\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFile(path), before);
}

TEST(RegToolTest, UnloadableMachineIsReported) {
  TestMachine machine;
  ToolRun run = RunTool(machine, {"query", "HKLM"}, "", "T6_HOST_ROOT=" + Quoted(machine.Root() + "/missing"));
  EXPECT_NE(run.err.find(machine.Root() + "/missing"), std::string::npos) << run.err;
  EXPECT_EQ(run.exitCode, 1);
}

}  // namespace
