// The default printer and the paper forms, kept in the emulated registry where Windows keeps
// them and read back through t6-reg.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "install/paper_forms.h"
#include "platform/files.h"
#include "platform/host/spooler.h"
#include "platform/printing.h"
#include "test_machine.h"
#include "tool_run.h"

namespace {

const char kFormsKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Forms";
// Size.cx, Size.cy, the imageable area, the flags: little-endian 32-bit numbers.
const char kHv2[] = "    HV2    REG_BINARY    5C4B0300B421020000000000000000005C4B0300B421020000000000";
const char kHv3[] = "    HV3    REG_BINARY    5C4B0300746C010000000000000000005C4B0300746C010000000000";
const char kA4[] = "    A4    REG_BINARY    50340300288804000000000000000000503403002888040001000000";

std::string Machine(const std::string& printer) { return "[printer]\ndefault = " + printer + "\n"; }

// What the install steps do with the forms.
void DefineForms() {
  std::wstring printer;
  FindDefaultPrinter(printer);
  AddPaperForm(L"HV2", printer, 2159, 1397, 0, 0, 0, 0);
  AddPaperForm(L"HV3", printer, 2159, 933, 0, 0, 0, 0);
}

// The lines of the Forms key's listing that name `form`.
std::vector<std::string> FormLines(const TestMachine& machine, const std::string& form) {
  std::istringstream lines(RunTool(machine, {"query", kFormsKey}).out);
  std::vector<std::string> found;
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("    " + form + "    ", 0) == 0) found.push_back(line);
  return found;
}

HANDLE OpenWithFullAccess(const std::wstring& name) {
  std::wstring copy = name;
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  OpenPrinterW(copy.data(), &printer, &defaults);
  return printer;
}

BOOL AddForm(HANDLE printer, const wchar_t* name, LONG cx, LONG cy) {
  std::wstring copy = name;
  FORM_INFO_1W form{FORM_USER, copy.data(), {cx, cy}, {0, 0, cx, cy}};
  return AddFormW(printer, 1, reinterpret_cast<LPBYTE>(&form));
}

TEST(PaperFormsTest, DefaultPrinterIsRecordedAsWindowsRecordsIt) {
  TestMachine machine(Machine("Office Printer"));
  host::PrepareSpooler();
  EXPECT_EQ(RunTool(machine, {"query", "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers"}).out,
            "\nHKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\n"
            "    DefaultSpoolDirectory    REG_SZ    C:\\Windows\\system32\\spool\\PRINTERS\n"
            "\nHKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office Printer\n");
  EXPECT_EQ(RunTool(machine, {"query", "HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "/v",
                              "Device"})
                .out,
            "\nHKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows\n"
            "    Device    REG_SZ    Office Printer,winspool,Ne00:\n\n");
  std::wstring printer = L"stale";
  FindDefaultPrinter(printer);
  EXPECT_EQ(printer, L"Office Printer");
}

TEST(PaperFormsTest, HV2OfOtherSizesIsUpdatedAndRunningTwiceKeepsOneOfEach) {
  TestMachine machine(Machine("Office Printer"));
  HANDLE printer = OpenWithFullAccess(L"Office Printer");
  ASSERT_NE(printer, nullptr);
  ASSERT_TRUE(AddForm(printer, L"HV2", 100000, 50000));
  ClosePrinter(printer);
  DefineForms();
  DefineForms();
  EXPECT_EQ(FormLines(machine, "HV2"), std::vector<std::string>{kHv2});
  EXPECT_EQ(FormLines(machine, "HV3"), std::vector<std::string>{kHv3});
  EXPECT_EQ(FormLines(machine, "A4"), std::vector<std::string>{kA4});
}

struct NoFormCase {
  const char* label;
  std::string machine;
};
void PrintTo(const NoFormCase& c, std::ostream* os) { *os << c.label; }

class NoFormTest : public testing::TestWithParam<NoFormCase> {};

// No default printer, or one whose name does not survive the 127 characters the name is cut to:
// OpenPrinterW yields no handle and no form is defined.
TEST_P(NoFormTest, DefinesNoForm) {
  TestMachine machine(GetParam().machine);
  std::wstring printer;
  FindDefaultPrinter(printer);
  EXPECT_LE(printer.size(), 127u);
  EXPECT_FALSE(AddPaperForm(L"HV2", printer, 2159, 1397, 0, 0, 0, 0));
  EXPECT_EQ(FormLines(machine, "HV2"), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Printers, NoFormTest,
                         testing::Values(NoFormCase{"no_printer", ""},
                                         NoFormCase{"name_of_200", Machine(std::string(200, 'P'))}));

TEST(PaperFormsTest, LongPrinterNameIsCutTo127Characters) {
  const std::string name = "Printer " + std::string(192, 'x');
  TestMachine machine(Machine(name));
  std::wstring printer;
  FindDefaultPrinter(printer);
  EXPECT_EQ(printer, std::wstring(name.begin(), name.begin() + 127));
  // The printer itself works under its whole name.
  EXPECT_TRUE(AddPaperForm(L"HV2", std::wstring(name.begin(), name.end()), 2159, 1397, 0, 0, 0, 0));
}

TEST(PaperFormsTest, BuiltInFormCannotBeChanged) {
  TestMachine machine(Machine("Office Printer"));
  EXPECT_FALSE(AddPaperForm(L"A4", L"Office Printer", 2159, 1397, 0, 0, 0, 0));
  EXPECT_EQ(FormLines(machine, "A4"), std::vector<std::string>{kA4});
}

TEST(PaperFormsTest, SpoolerCallsFailAsWindowsDoes) {
  TestMachine machine(Machine("Office Printer"));
  for (const wchar_t* name : {L"", L"Missing Printer", L"Office Printer\\x"}) {
    SetLastError(0);
    EXPECT_EQ(OpenWithFullAccess(name), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  }
  HANDLE printer = OpenWithFullAccess(L"office printer");
  ASSERT_NE(printer, nullptr);
  std::wstring name = L"HV9";
  FORM_INFO_1W form{FORM_USER, name.data(), {1000, 1000}, {0, 0, 1000, 1000}};
  EXPECT_FALSE(SetFormW(printer, name.data(), 1, reinterpret_cast<LPBYTE>(&form)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FORM_NAME));
  EXPECT_TRUE(AddForm(printer, L"HV9", 1000, 1000));
  EXPECT_FALSE(AddForm(printer, L"hv9", 2000, 2000));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  form.ImageableArea.right = 1001;  // past the sheet
  EXPECT_FALSE(SetFormW(printer, name.data(), 1, reinterpret_cast<LPBYTE>(&form)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FORM_SIZE));
  EXPECT_TRUE(ClosePrinter(printer));
  EXPECT_FALSE(ClosePrinter(printer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(PaperFormsTest, FormsBelongToTheMachineNotToOnePrinter) {
  TestMachine machine(Machine("Office Printer"));
  ASSERT_EQ(RunTool(machine, {"add", "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Second", "/f"})
                .exitCode,
            0);
  ASSERT_TRUE(AddPaperForm(L"HV2", L"Second", 2159, 1397, 0, 0, 0, 0));
  EXPECT_TRUE(AddPaperForm(L"HV2", L"Office Printer", 2159, 1397, 0, 0, 0, 0));
  EXPECT_EQ(FormLines(machine, "HV2"), std::vector<std::string>{kHv2});
}

TEST(PaperFormsTest, APrinterRemovedAfterTheFirstStartStaysRemoved) {
  TestMachine machine(Machine("Office Printer"));
  host::PrepareSpooler();
  ASSERT_EQ(RunTool(machine, {"delete", "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office Printer", "/f"})
                .exitCode,
            0);
  host::PrepareSpooler();
  HANDLE printer = nullptr;
  EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(L"Office Printer"), &printer, nullptr));
  EXPECT_EQ(ERROR_INVALID_PRINTER_NAME, GetLastError());
}

TEST(PaperFormsTest, NoDefaultOnceTheUserRecordIsGone) {
  TestMachine machine(Machine("Office Printer"));
  host::PrepareSpooler();
  ASSERT_EQ(RunTool(machine, {"delete", "HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "/v",
                              "Device", "/f"})
                .exitCode,
            0);
  std::wstring printer = L"stale";
  FindDefaultPrinter(printer);
  EXPECT_EQ(printer, L"");
  CPrintDialog dialog(FALSE);
  EXPECT_FALSE(dialog.GetDefaults());
  EXPECT_EQ(dialog.m_pd.hDevNames, nullptr);
}

}  // namespace
