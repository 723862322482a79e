// The emulated registry behaves as the Windows registry API does, and keeps its data as
// Windows does (strings as UTF-16LE with their terminator).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry.h"
#include "test_machine.h"

namespace {

const char kMachine32[] = "[windows]\nprocessor_architecture = 0\n";

bool IsRegistryFailure(LONG result) {
  return result == ERROR_BADDB || result == ERROR_CANTOPEN || result == ERROR_CANTREAD || result == ERROR_CANTWRITE;
}

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
  return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

LONG SetDword(HKEY key, const wchar_t* name, DWORD number) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

HKEY CreateKey(HKEY root, const wchar_t* path, REGSAM sam = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  return key;
}

bool KeyOpens(HKEY root, const wchar_t* path, REGSAM sam) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_READ | sam, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Reads the database directly, past the API under test.
class Database {
 public:
  Database() { sqlite3_open(host::RegistryDatabasePath().c_str(), &m_db); }
  ~Database() { sqlite3_close(m_db); }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  std::vector<BYTE> StoredData(const char* keyName, const char* valueName) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(m_db,
                       "SELECT v.data FROM registry_values v JOIN registry_keys k ON k.id = v.key"
                       " WHERE k.name = ?1 AND v.name = ?2",
                       -1, &statement, nullptr);
    sqlite3_bind_text(statement, 1, keyName, -1, SQLITE_STATIC);
    sqlite3_bind_text(statement, 2, valueName, -1, SQLITE_STATIC);
    std::vector<BYTE> data;
    if (sqlite3_step(statement) == SQLITE_ROW) {
      auto bytes = static_cast<const BYTE*>(sqlite3_column_blob(statement, 0));
      data.assign(bytes, bytes + sqlite3_column_bytes(statement, 0));
    }
    sqlite3_finalize(statement);
    return data;
  }

  // Walks key names from HKEY_LOCAL_MACHINE, ignoring case as Windows does.
  bool MachineKeyExists(const std::vector<std::string>& path) {
    sqlite3_int64 id = 1;
    for (const std::string& name : path) {
      sqlite3_stmt* statement = nullptr;
      sqlite3_prepare_v2(m_db, "SELECT id FROM registry_keys WHERE parent = ?1 AND name = ?2 COLLATE NOCASE", -1,
                         &statement, nullptr);
      sqlite3_bind_int64(statement, 1, id);
      sqlite3_bind_text(statement, 2, name.c_str(), -1, SQLITE_STATIC);
      bool found = sqlite3_step(statement) == SQLITE_ROW;
      if (found) id = sqlite3_column_int64(statement, 0);
      sqlite3_finalize(statement);
      if (!found) return false;
    }
    return true;
  }

  int Count(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr);
    int count = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
    sqlite3_finalize(statement);
    return count;
  }

  int Execute(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }

 private:
  sqlite3* m_db = nullptr;
};

TEST(RegistryTest, CreateSetQueryFlushRoundTripStoresUtf16WithTerminator) {
  TestMachine machine;
  ASSERT_FALSE(std::filesystem::exists(host::RegistryDatabasePath()));
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\T6\\Installer", 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  ASSERT_EQ(SetString(key, L"Version", L"1.0.0"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, L"Size", 100000000), ERROR_SUCCESS);
  EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);

  WCHAR text[16] = {};
  DWORD type = 0, size = sizeof text;
  ASSERT_EQ(RegQueryValueExW(key, L"Version", nullptr, &type, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 6 * sizeof(WCHAR));
  EXPECT_EQ(std::wstring(text), L"1.0.0");
  DWORD number = 0;
  size = sizeof number;
  ASSERT_EQ(RegQueryValueExW(key, L"Size", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(number, 100000000u);
  RegCloseKey(key);

  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\T6\\Installer", 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ, nullptr, &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  RegCloseKey(again);

  Database database;
  EXPECT_EQ(database.StoredData("Installer", "Version"),
            (std::vector<BYTE>{'1', 0, '.', 0, '0', 0, '.', 0, '0', 0, 0, 0}));
  EXPECT_EQ(database.StoredData("Installer", "Size"), (std::vector<BYTE>{0x00, 0xE1, 0xF5, 0x05}));
}

TEST(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  TestMachine machine;
  HKEY key = CreateKey(HKEY_CURRENT_USER, L"Software\\Vendor");
  ASSERT_EQ(SetString(key, L"DisplayName", L"first"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(key, L"DISPLAYNAME", L"second"), ERROR_SUCCESS);
  RegCloseKey(key);

  HKEY other = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\vendor", 0, KEY_READ, &other), ERROR_SUCCESS);
  WCHAR name[32];
  WCHAR data[32];
  DWORD nameLength = 32, size = sizeof data, type = 0;
  ASSERT_EQ(RegEnumValueW(other, 0, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(name, nameLength), L"DisplayName");
  EXPECT_EQ(std::wstring(data), L"second");
  nameLength = 32;
  EXPECT_EQ(RegEnumValueW(other, 1, name, &nameLength, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(other);

  HKEY software = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"software", 0, KEY_READ, &software), ERROR_SUCCESS);
  nameLength = 32;
  ASSERT_EQ(RegEnumKeyExW(software, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(name, nameLength), L"Vendor");
  RegCloseKey(software);
}

struct LengthCase {
  std::size_t characters;
  LONG expected;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.characters << " characters"; }

class RegistryStringLengthTest : public testing::TestWithParam<LengthCase> {};

// A string of 511 characters and its terminator fills a 512-character buffer exactly.
TEST_P(RegistryStringLengthTest, FitsOnlyWithRoomForTheTerminator) {
  TestMachine machine;
  HKEY key = CreateKey(HKEY_CURRENT_USER, L"Software\\T6");
  const std::wstring text(GetParam().characters, L'x');
  ASSERT_EQ(SetString(key, L"Path", text), ERROR_SUCCESS);
  WCHAR buffer[512];
  DWORD size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExW(key, L"Path", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
            GetParam().expected);
  EXPECT_EQ(size, (text.size() + 1) * sizeof(WCHAR));
  if (GetParam().expected == ERROR_SUCCESS) {
    EXPECT_EQ(std::wstring(buffer), text);
  }
  RegCloseKey(key);
}

INSTANTIATE_TEST_SUITE_P(Lengths, RegistryStringLengthTest,
                         testing::Values(LengthCase{511, ERROR_SUCCESS}, LengthCase{512, ERROR_MORE_DATA}));

struct SizeCase {
  const char* label;
  DWORD type;
  std::vector<BYTE> data;  // as passed to RegSetValueEx
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.label; }

class RegistryDataSizeTest : public testing::TestWithParam<SizeCase> {};

// No buffer asks for the size; a buffer one byte short gets ERROR_MORE_DATA and the size.
TEST_P(RegistryDataSizeTest, ReportsTheSizeItNeeds) {
  TestMachine machine;
  HKEY key = CreateKey(HKEY_CURRENT_USER, L"Software\\T6");
  const SizeCase& c = GetParam();
  ASSERT_EQ(RegSetValueExW(key, L"Item", 0, c.type, c.data.data(), static_cast<DWORD>(c.data.size())), ERROR_SUCCESS);
  const auto needed = static_cast<DWORD>(c.data.size());

  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(key, L"Item", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, c.type);
  EXPECT_EQ(size, needed);

  std::vector<BYTE> buffer(needed);
  size = needed - 1;
  EXPECT_EQ(RegQueryValueExW(key, L"Item", nullptr, nullptr, buffer.data(), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, needed);

  WCHAR name[8];
  DWORD nameLength = 8;
  size = needed - 1;
  EXPECT_EQ(RegEnumValueW(key, 0, name, &nameLength, nullptr, nullptr, buffer.data(), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, needed);
  size = needed;
  nameLength = 8;
  EXPECT_EQ(RegEnumValueW(key, 0, name, &nameLength, nullptr, nullptr, buffer.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(buffer, c.data);

  nameLength = 4;  // "Item" needs 5 with its terminator
  EXPECT_EQ(RegEnumValueW(key, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(RegQueryValueExW(key, L"Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

std::vector<BYTE> HostString(const std::wstring& text) {
  const auto* begin = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(begin, begin + (text.size() + 1) * sizeof(WCHAR));
}

INSTANTIATE_TEST_SUITE_P(Types, RegistryDataSizeTest,
                         testing::Values(SizeCase{"String", REG_SZ, HostString(L"abc")},
                                         SizeCase{"Dword", REG_DWORD, {0x10, 0, 0, 0}},
                                         SizeCase{"Binary", REG_BINARY, {0x0A, 0xFF, 0x10}}),
                         [](const testing::TestParamInfo<SizeCase>& tested) { return tested.param.label; });

struct ViewCase {
  const char* label;
  const char* machine;  // machine.ini text; empty: a 64-bit machine
  const wchar_t* path;
  REGSAM sam;
  std::vector<std::string> stored;   // where the key must end up
  std::vector<std::string> avoided;  // where it must not
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ViewCase& c, std::ostream* os) { *os << c.label; }

class RegistryWow64Test : public testing::TestWithParam<ViewCase> {};

TEST_P(RegistryWow64Test, StoresTheKeyInTheViewItWasCreatedIn) {
  const ViewCase& c = GetParam();
  TestMachine machine(c.machine);
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, c.path, KEY_ALL_ACCESS | c.sam);
  RegCloseKey(key);
  Database database;
  EXPECT_TRUE(database.MachineKeyExists(c.stored));
  if (!c.avoided.empty()) {
    EXPECT_FALSE(database.MachineKeyExists(c.avoided));
  }
  EXPECT_TRUE(KeyOpens(HKEY_LOCAL_MACHINE, c.path, c.sam));
}

INSTANTIATE_TEST_SUITE_P(
    Views, RegistryWow64Test,
    testing::Values(
        ViewCase{"Default64", "", L"Software\\T6", 0, {"Software", "WOW6432Node", "T6"}, {"Software", "T6"}},
        ViewCase{"Explicit32", "", L"Software\\T6", KEY_WOW64_32KEY, {"Software", "WOW6432Node", "T6"},
                 {"Software", "T6"}},
        ViewCase{"Explicit64", "", L"Software\\T6", KEY_WOW64_64KEY, {"Software", "T6"},
                 {"Software", "WOW6432Node", "T6"}},
        ViewCase{"ClassesShared", "", L"Software\\Classes\\.t6", 0, {"Software", "Classes", ".t6"},
                 {"Software", "WOW6432Node", "Classes", ".t6"}},
        ViewCase{"Machine32Default", kMachine32, L"Software\\T6", 0, {"Software", "T6"},
                 {"Software", "WOW6432Node", "T6"}},
        ViewCase{"Machine32Flag", kMachine32, L"Software\\T6", KEY_WOW64_32KEY, {"Software", "T6"},
                 {"Software", "WOW6432Node", "T6"}}),
    [](const testing::TestParamInfo<ViewCase>& tested) { return tested.param.label; });

TEST(RegistryTest, AValueInOneViewIsAbsentFromTheOther) {
  TestMachine machine;
  HKEY key64 = CreateKey(HKEY_LOCAL_MACHINE, L"Software\\T6", KEY_ALL_ACCESS | KEY_WOW64_64KEY);
  ASSERT_EQ(SetString(key64, L"InstallPath", L"C:\\T6"), ERROR_SUCCESS);
  RegCloseKey(key64);
  EXPECT_FALSE(KeyOpens(HKEY_LOCAL_MACHINE, L"Software\\T6", KEY_WOW64_32KEY));
  EXPECT_FALSE(KeyOpens(HKEY_LOCAL_MACHINE, L"Software\\T6", 0));
  EXPECT_TRUE(KeyOpens(HKEY_LOCAL_MACHINE, L"Software\\T6", KEY_WOW64_64KEY));
}

TEST(RegistryTest, SubkeysOpenedThroughAHandleStayInItsView) {
  TestMachine machine;
  HKEY software64 = nullptr, software32 = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &software64),
            ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_ALL_ACCESS, &software32), ERROR_SUCCESS);
  RegCloseKey(CreateKey(software64, L"Native"));
  RegCloseKey(CreateKey(software32, L"Redirected"));
  RegCloseKey(software64);
  RegCloseKey(software32);
  Database database;
  EXPECT_TRUE(database.MachineKeyExists({"Software", "Native"}));
  EXPECT_TRUE(database.MachineKeyExists({"Software", "WOW6432Node", "Redirected"}));
  EXPECT_FALSE(database.MachineKeyExists({"Software", "WOW6432Node", "Native"}));
  EXPECT_FALSE(database.MachineKeyExists({"Software", "Redirected"}));
}

// A string's size is its UTF-16 size in WCHARs: a non-BMP character takes two, and a buffer
// whose WCHARs hold the units takes the value whole.
TEST(RegistryTest, StringSizesCountUtf16Units) {
  TestMachine machine;
  HKEY key = CreateKey(HKEY_CURRENT_USER, L"Software\\T6");
  const std::wstring text = L"a\U0001F600b";  // 4 units and the terminator
  ASSERT_EQ(SetString(key, L"Mixed", text), ERROR_SUCCESS);
  DWORD size = 0;
  ASSERT_EQ(RegQueryValueExW(key, L"Mixed", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(5 * sizeof(WCHAR), size);
  WCHAR buffer[5] = {};
  size = 4 * sizeof(WCHAR);
  EXPECT_EQ(RegQueryValueExW(key, L"Mixed", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size), ERROR_MORE_DATA);
  EXPECT_EQ(5 * sizeof(WCHAR), size);
  size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExW(key, L"Mixed", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
  EXPECT_EQ(text, std::wstring(buffer));
  // "1" and its terminator fill two WCHARs exactly.
  ASSERT_EQ(SetString(key, L"One", L"1"), ERROR_SUCCESS);
  WCHAR two[2];
  size = sizeof two;
  ASSERT_EQ(RegQueryValueExW(key, L"One", nullptr, nullptr, reinterpret_cast<BYTE*>(two), &size), ERROR_SUCCESS);
  EXPECT_EQ(L'1', two[0]);
  EXPECT_EQ(L'\0', two[1]);
  RegCloseKey(key);
}

// Key names hold at most 255 characters; a longer one is refused and leaves the tree readable.
TEST(RegistryTest, KeyNamesOfMoreThan255CharactersAreRefused) {
  TestMachine machine;
  const struct {
    std::wstring name;
    LONG expected;
  } cases[] = {
      {std::wstring(255, L'k'), ERROR_SUCCESS},
      {std::wstring(256, L'k'), ERROR_INVALID_PARAMETER},
      {std::wstring(128, L'\U0001F600'), ERROR_INVALID_PARAMETER},  // 256 UTF-16 units
  };
  for (const auto& c : cases) {
    HKEY key = nullptr;
    const std::wstring path = L"Software\\Long\\" + c.name;
    EXPECT_EQ(c.expected, RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                          &key, nullptr));
    if (key) RegCloseKey(key);
  }
  HKEY parent = CreateKey(HKEY_CURRENT_USER, L"Software\\Long");
  WCHAR name[256];
  DWORD length = 256;
  EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExW(parent, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(255u, length);
  length = 256;
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExW(parent, 1, name, &length, nullptr, nullptr, nullptr, nullptr));
  RegCloseKey(parent);
}

TEST(RegistryTest, EnumeratesByNameIgnoringCase) {
  TestMachine machine;
  HKEY key = CreateKey(HKEY_CURRENT_USER, L"Software\\T6");
  for (const wchar_t* name : {L"gamma", L"Alpha", L"beta", L"ALPHA2"}) {
    RegCloseKey(CreateKey(key, name));
    ASSERT_EQ(SetDword(key, name, 1), ERROR_SUCCESS);
  }
  std::vector<std::wstring> keys, values;
  WCHAR name[16];
  DWORD length = 16;
  for (DWORD i = 0; RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, length = 16)
    keys.emplace_back(name, length);
  for (DWORD i = 0; RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, length = 16)
    values.emplace_back(name, length);
  const std::vector<std::wstring> expected = {L"Alpha", L"ALPHA2", L"beta", L"gamma"};
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(values, expected);
  RegCloseKey(key);
}

TEST(RegistryTest, DeletesTreesAndReportsDeletedKeys) {
  TestMachine machine;
  HKEY top = CreateKey(HKEY_CURRENT_USER, L"Software\\T6");
  HKEY leaf = CreateKey(top, L"A\\B\\C");
  ASSERT_EQ(SetString(leaf, L"Leaf", L"x"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(top, L"Top", L"y"), ERROR_SUCCESS);
  RegCloseKey(CreateKey(top, L"Other"));

  EXPECT_EQ(RegDeleteKeyExW(top, L"A", 0, 0), ERROR_ACCESS_DENIED);  // it still has subkeys
  ASSERT_EQ(RegDeleteTreeW(top, L"A"), ERROR_SUCCESS);
  EXPECT_FALSE(KeyOpens(top, L"A", 0));
  EXPECT_TRUE(KeyOpens(top, L"Other", 0));
  EXPECT_EQ(RegQueryValueExW(leaf, L"Leaf", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(SetString(leaf, L"Leaf", L"z"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegFlushKey(leaf), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(leaf), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(leaf), ERROR_INVALID_HANDLE);

  ASSERT_EQ(RegDeleteTreeW(top, nullptr), ERROR_SUCCESS);  // everything below, the key stays
  EXPECT_EQ(RegQueryValueExW(top, L"Top", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(KeyOpens(top, L"Other", 0));
  EXPECT_EQ(RegFlushKey(top), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyExW(HKEY_CURRENT_USER, L"Software\\T6", 0, 0), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\T6"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(top);

  Database database;
  EXPECT_EQ(database.Count("SELECT count(*) FROM registry_values"), 0);  // nothing left behind
}

TEST(RegistryTest, ConcurrentWritersLoseNothing) {
  TestMachine machine;
  RegCloseKey(CreateKey(HKEY_CURRENT_USER, L"Software\\T6"));
  constexpr int kThreads = 4, kValues = 10;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      HKEY key = nullptr;
      if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\T6", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
      for (int v = 0; v < kValues; ++v) SetDword(key, (L"V" + std::to_wstring(t * kValues + v)).c_str(), 1);
      RegCloseKey(key);
    });
  }
  for (std::thread& thread : threads) thread.join();
  Database database;
  EXPECT_EQ(database.Count("SELECT count(*) FROM registry_values"), kThreads * kValues);
}

// The calls a damaged or busy database must refuse, each with a registry error.
void ExpectEveryCallFails() {
  HKEY key = nullptr;
  EXPECT_PRED1(IsRegistryFailure, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_READ, &key));
  EXPECT_PRED1(IsRegistryFailure, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\T6", 0, nullptr, 0, KEY_ALL_ACCESS,
                                                  nullptr, &key, nullptr));
  EXPECT_PRED1(IsRegistryFailure, SetString(HKEY_CURRENT_USER, L"Value", L"x"));
  EXPECT_PRED1(IsRegistryFailure, RegDeleteTreeW(HKEY_CURRENT_USER, L"Software"));
}

TEST(RegistryDatabaseTest, CorruptDatabaseIsReportedAndLeftAlone) {
  TestMachine machine;
  const std::string path = host::RegistryDatabasePath();
  {
    std::ofstream junk(path, std::ios::binary);
    for (int i = 0; i < 512; ++i) junk << "not a registry ";
  }
  const std::string before = FileBytes(path);
  ExpectEveryCallFails();
  EXPECT_EQ(FileBytes(path), before);
}

TEST(RegistryDatabaseTest, LockedDatabaseIsReportedAndLeftAlone) {
  TestMachine machine;
  HKEY key = CreateKey(HKEY_CURRENT_USER, L"Software\\T6");
  ASSERT_EQ(SetString(key, L"Version", L"1.0.0"), ERROR_SUCCESS);
  const std::string path = host::RegistryDatabasePath();
  const std::string before = FileBytes(path);
  {
    Database other;  // another process's connection, holding the exclusive lock
    ASSERT_EQ(other.Execute("BEGIN EXCLUSIVE"), SQLITE_OK);
    ExpectEveryCallFails();
    EXPECT_PRED1(IsRegistryFailure, RegQueryValueExW(key, L"Version", nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(FileBytes(path), before);
    other.Execute("ROLLBACK");
  }
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, L"Version", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 6 * sizeof(WCHAR));
  RegCloseKey(key);
}

}  // namespace
