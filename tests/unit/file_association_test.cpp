// The ".grf" association under HKEY_CLASSES_ROOT, read back through t6-reg as reg.exe shows it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "install/file_association.h"
#include "platform/registry.h"
#include "test_machine.h"
#include "tool_run.h"
#include "unprivileged.h"

namespace {

const wchar_t kDesigner[] = L"c:\\Program Files (x86)\\Tessaly\\T6\\resources\\app\\template\\Release\\grdesigner6.exe";
const std::string kDesignerUtf8 =
    "c:\\Program Files (x86)\\Tessaly\\T6\\resources\\app\\template\\Release\\grdesigner6.exe";

void RegisterGrf(const std::wstring& extension = L".grf") {
  RegisterFileAssociation(extension, kDesigner, L"grffile", std::wstring(kDesigner) + L", 0", L"GRID++报表");
}

const std::string kGrffileTree =
    "\nHKEY_CLASSES_ROOT\\grffile\n"
    "    (Default)    REG_SZ    GRID++报表\n"
    "\nHKEY_CLASSES_ROOT\\grffile\\DefaultIcon\n"
    "    (Default)    REG_SZ    " + kDesignerUtf8 + ", 0\n"
    "\nHKEY_CLASSES_ROOT\\grffile\\Shell\n"
    "    (Default)    REG_SZ    Open\n"
    "\nHKEY_CLASSES_ROOT\\grffile\\Shell\\Open\n"
    "\nHKEY_CLASSES_ROOT\\grffile\\Shell\\Open\\Command\n"
    "    (Default)    REG_SZ    " + kDesignerUtf8 + " %1\n";
const std::string kGrfKey = "\nHKEY_CLASSES_ROOT\\.grf\n    (Default)    REG_SZ    grffile\n";

TEST(FileAssociationTest, FiveKeysReadBackThroughT6Reg) {
  TestMachine machine;
  RegisterGrf();
  EXPECT_EQ(RunTool(machine, {"query", "HKCR\\grffile", "/s"}).out, kGrffileTree + "\n");
  EXPECT_EQ(RunTool(machine, {"query", "HKCR\\.grf"}).out, kGrfKey + "\n");
  // The classes root is shared by both registry views, as on Windows.
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\grffile\\Shell", 0, KEY_READ | view, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
}

TEST(FileAssociationTest, ReplacesAnotherProgramIdAndLeavesItsKeys) {
  TestMachine machine;
  ASSERT_EQ(RunTool(machine, {"add", "HKCR\\.grf", "/ve", "/d", "otherfile", "/f"}).exitCode, 0);
  ASSERT_EQ(RunTool(machine, {"add", "HKCR\\otherfile\\Shell\\Open\\Command", "/ve", "/d", "other.exe %1", "/f"})
                .exitCode,
            0);
  const std::string other = RunTool(machine, {"query", "HKCR\\otherfile", "/s"}).out;
  RegisterGrf();
  RegisterGrf();  // a second installation changes nothing
  EXPECT_EQ(RunTool(machine, {"query", "HKCR\\.grf"}).out, kGrfKey + "\n");
  EXPECT_EQ(RunTool(machine, {"query", "HKCR\\grffile", "/s"}).out, kGrffileTree + "\n");
  EXPECT_EQ(RunTool(machine, {"query", "HKCR\\otherfile", "/s"}).out, other);
}

// A key that cannot be created is skipped and the next one is still written.
TEST(FileAssociationTest, KeyThatCannotBeCreatedIsSkipped) {
  TestMachine machine;
  RegisterGrf(L"\\.grf");  // a leading backslash names no key
  EXPECT_EQ(RunTool(machine, {"query", "HKCR\\grffile", "/s"}).out, kGrffileTree + "\n");
  EXPECT_NE(RunTool(machine, {"query", "HKCR\\.grf"}).exitCode, 0);
}

TEST(FileAssociationTest, ReadOnlyRegistryWritesNothingAndDoesNotCrash) {
  TestMachine machine;
  ASSERT_EQ(RunTool(machine, {"add", "HKCR\\.txt", "/ve", "/d", "txtfile", "/f"}).exitCode, 0);
  chmod(machine.Root().c_str(), 0555);
  chmod(host::RegistryDatabasePath().c_str(), 0444);
  // 0: the child read the registry, registered and ended normally.
  const int result = RunUnprivileged([] {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L".txt", 0, KEY_READ, &key) != ERROR_SUCCESS) return 1;
    RegCloseKey(key);
    RegisterGrf();
    return 0;
  });
  chmod(machine.Root().c_str(), 0700);
  EXPECT_EQ(result, 0);
  EXPECT_NE(RunTool(machine, {"query", "HKCR\\grffile"}).exitCode, 0);
  EXPECT_NE(RunTool(machine, {"query", "HKCR\\.grf"}).exitCode, 0);
}

// RegSetValueW: the default value of the subkey (made when missing), REG_SZ only, its size taken
// from the text whatever cbData says.
TEST(FileAssociationTest, RegSetValueSetsTheDefaultValueOfItsSubkey) {
  TestMachine machine;
  HKEY root = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, L"t6test", &root), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueW(root, L"a\\b", REG_SZ, L"deep", 0), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueW(root, nullptr, REG_SZ, L"own", 1), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueW(root, L"c", REG_EXPAND_SZ, L"x", 2), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueW(root, L"c", REG_SZ, nullptr, 0), ERROR_INVALID_PARAMETER);
  RegCloseKey(root);
  EXPECT_EQ(RunTool(machine, {"query", "HKCR\\t6test", "/s"}).out,
            "\nHKEY_CLASSES_ROOT\\t6test\n    (Default)    REG_SZ    own\n"
            "\nHKEY_CLASSES_ROOT\\t6test\\a\n"
            "\nHKEY_CLASSES_ROOT\\t6test\\a\\b\n    (Default)    REG_SZ    deep\n\n");
}

}  // namespace
