// The installation record: view rule, string reader limits, writer.
#include "install/installation_record.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "test_machine.h"

namespace {

TEST(InstallationRecord, LivesInThe64BitViewOn64BitWindowsAndInTheOnlyViewOn32Bit) {
  for (const char* architecture : {"9", "0"}) {
    TestMachine machine(std::string("[windows]\nprocessor_architecture = ") + architecture + "\n");
    HKEY key = CreateRecordKey();
    ASSERT_NE(nullptr, key);
    EXPECT_TRUE(SetRecordString(key, L"Version", L"1.0.0"));
    CloseRecordKey(key);
    EXPECT_EQ(nullptr, key);

    HKEY view = nullptr;
    const bool is64 = std::string(architecture) == "9";
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecordKeyPath, 0, KEY_READ | KEY_WOW64_64KEY, &view));
    RegCloseKey(view);
    EXPECT_EQ(is64 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecordKeyPath, 0, KEY_READ | KEY_WOW64_32KEY, &view))
        << "architecture " << architecture;
    if (view) RegCloseKey(view);

    HKEY reopened = nullptr;
    ASSERT_TRUE(OpenRecordKey(HKEY_LOCAL_MACHINE, kRecordKeyPath, reopened));
    std::wstring version;
    EXPECT_TRUE(QueryRecordString(version, reopened, L"Version"));
    EXPECT_EQ(L"1.0.0", version);
    CloseRecordKey(reopened);
  }
}

TEST(InstallationRecord, StringsAreStoredWithTheirTerminator) {
  TestMachine machine;
  HKEY key = CreateRecordKey();
  ASSERT_TRUE(SetRecordString(key, L"Path", L"c:\\Program Files (x86)\\Tessaly\\T6\\"));
  ASSERT_TRUE(SetRecordDword(key, L"InstallTick", 0x5f5e100));
  DWORD type = 0, size = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"Path", nullptr, &type, nullptr, &size));
  EXPECT_EQ(REG_SZ, type);
  EXPECT_EQ((34u + 1) * sizeof(WCHAR), size);
  DWORD tick = 0;
  size = sizeof tick;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"InstallTick", nullptr, &type, reinterpret_cast<BYTE*>(&tick), &size));
  EXPECT_EQ(REG_DWORD, type);
  EXPECT_EQ(0x5f5e100u, tick);
  CloseRecordKey(key);
}

TEST(InstallationRecord, ReaderTakesAtMost511CharactersAndIgnoresTheType) {
  TestMachine machine;
  const std::wstring longest(511, L'x');
  const std::wstring tooLong(512, L'y');
  HKEY key = CreateRecordKey();
  ASSERT_TRUE(SetRecordString(key, L"Fits", longest));
  ASSERT_TRUE(SetRecordString(key, L"TooLong", tooLong));
  const DWORD number = 0x00000041;  // reads as "A": the type is not looked at
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4));
  // Binary data without any NUL, longer than a character: read up to the returned size only.
  const WCHAR unterminated[3] = {L'a', L'b', L'c'};
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Raw", 0, REG_BINARY, reinterpret_cast<const BYTE*>(unterminated),
                                          sizeof unterminated));

  std::wstring text = L"stale";
  EXPECT_TRUE(QueryRecordString(text, key, L"Fits"));
  EXPECT_EQ(longest, text);
  EXPECT_FALSE(QueryRecordString(text, key, L"TooLong"));
  EXPECT_EQ(L"", text);
  EXPECT_TRUE(QueryRecordString(text, key, L"Number"));
  EXPECT_EQ(L"A", text);
  EXPECT_TRUE(QueryRecordString(text, key, L"Raw"));
  EXPECT_EQ(L"abc", text);
  // Characters outside the BMP count twice, as their UTF-16 does: 255 of them and the
  // terminator fill the 1024 bytes, 300 (1,204 bytes) do not fit.
  const std::wstring emoji255(255, L'\U0001F600'), emoji300(300, L'\U0001F600');
  ASSERT_TRUE(SetRecordString(key, L"Emoji255", emoji255));
  ASSERT_TRUE(SetRecordString(key, L"Emoji300", emoji300));
  EXPECT_TRUE(QueryRecordString(text, key, L"Emoji255"));
  EXPECT_EQ(emoji255, text);
  EXPECT_FALSE(QueryRecordString(text, key, L"Emoji300"));
  EXPECT_EQ(L"", text);
  text = L"stale";
  EXPECT_FALSE(QueryRecordString(text, key, L"Missing"));
  EXPECT_EQ(L"", text);
  CloseRecordKey(key);
}

TEST(InstallationRecord, OpeningAMissingRecordFailsWithANullKey) {
  TestMachine machine;
  HKEY key = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(1));
  EXPECT_FALSE(OpenRecordKey(HKEY_LOCAL_MACHINE, kRecordKeyPath, key));
  EXPECT_EQ(nullptr, key);
}

}  // namespace
