// Host platform: the emulated machine's registry database (SQLite), one connection and
// transaction per registry call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/windows_types.h"

struct sqlite3;

namespace host {

using RegistryKeyId = std::int64_t;

// The hive roots have fixed rows. HKEY_CLASSES_ROOT has none: it is HKLM\Software\Classes.
constexpr RegistryKeyId kLocalMachineKeyId = 1;
constexpr RegistryKeyId kCurrentUserKeyId = 2;
constexpr RegistryKeyId kUsersKeyId = 3;

// Key and value names compare as Windows compares them: upper-cased, so "Software" and
// "SOFTWARE" are one key.
std::wstring FoldRegistryName(const std::wstring& name);

struct StoredValue {
  std::wstring name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;  // exactly the bytes Windows would keep: strings as UTF-16LE
};

// One connection with one open transaction. Every method returns an ERROR_* code; nothing
// throws. A database that is corrupt, foreign or locked by another process yields an error
// and is never written to.
class RegistryTransaction {
 public:
  RegistryTransaction() = default;
  ~RegistryTransaction();
  RegistryTransaction(const RegistryTransaction&) = delete;
  RegistryTransaction& operator=(const RegistryTransaction&) = delete;

  // Opens the database at `path`, creating file and schema when there is none, and begins a
  // read transaction or (forWriting) a write transaction.
  LONG Begin(const std::string& path, bool forWriting);
  // Makes the changes durable (synchronous=FULL, rollback journal).
  LONG Commit();

  LONG KeyExists(RegistryKeyId key, bool& exists);
  LONG FindSubkey(RegistryKeyId parent, const std::wstring& name, std::optional<RegistryKeyId>& found);
  LONG CreateSubkey(RegistryKeyId parent, const std::wstring& name, RegistryKeyId& created);
  LONG HasSubkeys(RegistryKeyId key, bool& any);
  // Subkeys and values in a stable order: by folded name.
  LONG SubkeyNameAt(RegistryKeyId key, DWORD index, std::optional<std::wstring>& name);
  LONG ValueAt(RegistryKeyId key, DWORD index, std::optional<StoredValue>& value);
  LONG FindValue(RegistryKeyId key, const std::wstring& name, std::optional<StoredValue>& value);
  LONG SetValue(RegistryKeyId key, const std::wstring& name, DWORD type, const std::vector<BYTE>& data);
  LONG DeleteValue(RegistryKeyId key, const std::wstring& name, bool& existed);
  // Removes the key with all its subkeys and values.
  LONG DeleteKeyTree(RegistryKeyId key);
  // Removes the values and subkeys of a key, keeping the key.
  LONG DeleteKeyContents(RegistryKeyId key);

 private:
  LONG EnsureSchema();
  LONG Execute(const char* sql);
  // Maps an SQLite result to the registry error Windows gives in the same situation.
  LONG Failure(int sqliteResult) const;

  sqlite3* m_db = nullptr;
  bool m_open = false;  // a transaction is in progress
  bool m_writing = false;
};

}  // namespace host
