// The registry as the program relies on it: the two views of a 64-bit machine, value sizes in
// bytes with the terminator, and which deletions and enumerations fail how.
#include <string>
#include <vector>

#include <cwctype>

#include "platform/registry.h"
#include "platform/system_info.h"
#include "system_test.h"

namespace {

using RegistryTest = SystemTest;

enum View { kDefault = 0, kView64 = KEY_WOW64_64KEY, kView32 = KEY_WOW64_32KEY };

// A key of its own per test under HKLM\Software, the part of the registry that has two views.
std::wstring KeyFor(const std::wstring& leaf) {
  static const std::wstring test = L"Software\\T6PlatformTest" + UniqueSuffix() + L"\\";
  return test + leaf;
}

bool Exists(const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

HKEY Create(HKEY root, const std::wstring& path, REGSAM view = kView64, DWORD* disposition = nullptr) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS | view, nullptr, &key, disposition));
  return key;
}

TEST_F(RegistryTest, ThisProcessIsAThirtyTwoBitProgramOnASixtyFourBitMachineOnlyWhenItIsOne) {
  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_EQ(kThirtyTwoBitProcess, wow64 != FALSE);
  // What the system tells the process about the processor: on Windows a 32-bit process on a
  // 64-bit machine is told x86 (only GetNativeSystemInfo tells it the truth). The host answers
  // what the machine description says, so that the identification table's x64 rows can be
  // shown; a default machine says AMD64.
  SYSTEM_INFO processor{};
  GetSystemInfo(&processor);
#ifdef _WIN32
  EXPECT_EQ(kThirtyTwoBitProcess ? PROCESSOR_ARCHITECTURE_INTEL : PROCESSOR_ARCHITECTURE_AMD64,
            processor.wProcessorArchitecture);
#else
  EXPECT_EQ(PROCESSOR_ARCHITECTURE_AMD64, processor.wProcessorArchitecture);
#endif
}

TEST_F(RegistryTest, EachViewSeesOnlyWhatWasWrittenToIt) {
  // The default view of a 32-bit process on a 64-bit machine is the 32-bit one.
  const View defaultView = kThirtyTwoBitProcess ? kView32 : kView64;
  auto effective = [&](View v) { return v == kDefault ? defaultView : v; };
  for (View written : {kDefault, kView64, kView32}) {
    const std::wstring path = KeyFor(L"Written" + std::to_wstring(written));
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, path, written));
    for (View read : {kDefault, kView64, kView32})
      EXPECT_EQ(effective(written) == effective(read), Exists(path, read))
          << "written with " << written << ", read with " << read;
    // The 32-bit view is the WOW6432Node branch of the 64-bit one.
    const std::wstring redirected = L"Software\\WOW6432Node" + path.substr(8);
    EXPECT_EQ(effective(written) == kView32, Exists(redirected, kView64)) << "written with " << written;
  }
}

TEST_F(RegistryTest, StringsAreSizedInBytesWithTheirTerminator) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, KeyFor(L"Values"));
  const std::wstring text = L"c:\\Program Files (x86)\\Tessaly\\T6\\";
  const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes));

  DWORD type = 0;
  DWORD size = 0;
  // Asking for the size alone, in any case of the name.
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"PATH", nullptr, &type, nullptr, &size));
  EXPECT_EQ(REG_SZ, type);
  EXPECT_EQ(bytes, size);
  // Too small a buffer: the needed size comes back.
  std::vector<WCHAR> small(4, L'#');
  size = static_cast<DWORD>(small.size() * sizeof(WCHAR));
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, L"Path", nullptr, &type, reinterpret_cast<LPBYTE>(small.data()), &size));
  EXPECT_EQ(bytes, size);
  std::vector<WCHAR> buffer(text.size() + 1);
  size = bytes;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"Path", nullptr, &type, reinterpret_cast<LPBYTE>(buffer.data()), &size));
  EXPECT_EQ(text, std::wstring(buffer.data()));

  // A four-byte number does not fit a two-byte buffer.
  const DWORD tick = 1700000000;
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"InstallTick", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&tick), 4));
  WORD half = 0;
  size = sizeof half;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, L"InstallTick", nullptr, &type, reinterpret_cast<LPBYTE>(&half), &size));
  EXPECT_EQ(4u, size);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, L"Missing", nullptr, &type, nullptr, &size));
  RegCloseKey(key);
}

TEST_F(RegistryTest, KeysAreFoundInAnyCaseAndCreatedOnce) {
  const std::wstring path = KeyFor(L"Mixed\\Case");
  DWORD disposition = 0;
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, path, kView64, &disposition));
  EXPECT_EQ(REG_CREATED_NEW_KEY, disposition);
  std::wstring upper = path;
  for (WCHAR& c : upper) c = static_cast<WCHAR>(towupper(c));
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, upper, kView64, &disposition));
  EXPECT_EQ(REG_OPENED_EXISTING_KEY, disposition);
  EXPECT_TRUE(Exists(upper, kView64));
  HKEY missing = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, (path + L"\\Nowhere").c_str(), 0,
                                                KEY_READ | kView64, &missing));
}

TEST_F(RegistryTest, AKeyWithSubkeysIsDeletedOnlyAsATree) {
  const std::wstring path = KeyFor(L"Tree");
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, path + L"\\Child\\Grandchild"));
  HKEY parent = Create(HKEY_LOCAL_MACHINE, path.substr(0, path.rfind(L'\\')));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyExW(parent, L"Tree", KEY_WOW64_64KEY, 0));
  EXPECT_TRUE(Exists(path + L"\\Child\\Grandchild", kView64));
  HKEY tree = Create(HKEY_LOCAL_MACHINE, path);
  // The tree call on a key's own handle empties it, the key itself stays.
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(tree, nullptr));
  RegCloseKey(tree);
  EXPECT_TRUE(Exists(path, kView64));
  EXPECT_FALSE(Exists(path + L"\\Child", kView64));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyExW(parent, L"Tree", KEY_WOW64_64KEY, 0));
  EXPECT_FALSE(Exists(path, kView64));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyExW(parent, L"Tree", KEY_WOW64_64KEY, 0));
  RegCloseKey(parent);
}

TEST_F(RegistryTest, EnumerationCountsCharactersAndEnds) {
  const std::wstring path = KeyFor(L"Enum");
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, path + L"\\LongerSubkeyName"));
  HKEY key = Create(HKEY_LOCAL_MACHINE, path);
  WCHAR name[64] = {};
  DWORD chars = 4;
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
  chars = 64;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(16u, chars);
  EXPECT_EQ(std::wstring(L"LongerSubkeyName"), name);
  chars = 64;
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExW(key, 1, name, &chars, nullptr, nullptr, nullptr, nullptr));
  RegCloseKey(key);
}

}  // namespace
