// Host platform: the registry database on SQLite (schema, transactions, error mapping).
#include "registry_store.h"

#include <locale.h>
#include <sqlite3.h>
#include <wctype.h>

#include "emulated_machine.h"
#include "text.h"

namespace host {

namespace {

// A lock held by another process is waited for this long before the call fails, so a busy
// machine does not hang the installer's page.
constexpr int kBusyTimeoutMs = 1000;

const char kCreateSchema[] =
    "CREATE TABLE registry_keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"  // never reused: a stale handle stays stale
    "  parent INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  folded TEXT NOT NULL,"
    "  UNIQUE(parent, folded));"
    "CREATE TABLE registry_values("
    "  key INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  folded TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  PRIMARY KEY(key, folded)) WITHOUT ROWID;"
    "INSERT INTO registry_keys(id, parent, name, folded) VALUES"
    "  (1, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),"
    "  (2, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'),"
    "  (3, 0, 'HKEY_USERS', 'HKEY_USERS');"
    // Every Windows machine has these; HKEY_CLASSES_ROOT shows HKLM\\Software\\Classes.
    "INSERT INTO registry_keys(parent, name, folded) VALUES (1, 'Software', 'SOFTWARE');"
    "INSERT INTO registry_keys(parent, name, folded) VALUES (last_insert_rowid(), 'Classes', 'CLASSES');"
    "INSERT INTO registry_keys(parent, name, folded) VALUES (2, 'Software', 'SOFTWARE');";
// A 64-bit Windows keeps the 32-bit view of HKLM\Software here from the start.
const char kCreateWow64Node[] =
    "INSERT INTO registry_keys(parent, name, folded)"
    " SELECT id, 'WOW6432Node', 'WOW6432NODE' FROM registry_keys WHERE parent = 1 AND folded = 'SOFTWARE'";

// The values, then the keys, below key ?1 (its own values included, the key itself kept).
const char kDeleteSubtreeValues[] =
    "WITH RECURSIVE subtree(id) AS (SELECT ?1 UNION ALL"
    " SELECT k.id FROM registry_keys k JOIN subtree s ON k.parent = s.id)"
    " DELETE FROM registry_values WHERE key IN (SELECT id FROM subtree)";
const char kDeleteSubtreeKeys[] =
    "WITH RECURSIVE subtree(id) AS (SELECT ?1 UNION ALL"
    " SELECT k.id FROM registry_keys k JOIN subtree s ON k.parent = s.id)"
    " DELETE FROM registry_keys WHERE id IN (SELECT id FROM subtree) AND id <> ?1";

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : m_result(sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr)) {}
  ~Statement() { sqlite3_finalize(m_stmt); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, std::int64_t number) {
    if (m_result == SQLITE_OK) m_result = sqlite3_bind_int64(m_stmt, index, number);
    return *this;
  }
  Statement& Bind(int index, const std::wstring& text) {
    std::string utf8 = Utf8FromWide(text);
    if (m_result == SQLITE_OK)
      m_result = sqlite3_bind_text(m_stmt, index, utf8.c_str(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Bind(int index, const std::vector<BYTE>& bytes) {
    // An empty value is still a value: bind a zero-length blob, never NULL.
    if (m_result == SQLITE_OK)
      m_result = sqlite3_bind_blob(m_stmt, index, bytes.empty() ? "" : static_cast<const void*>(bytes.data()),
                                   static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or the error.
  int Step() { return m_result == SQLITE_OK ? sqlite3_step(m_stmt) : m_result; }

  std::int64_t Number(int column) { return sqlite3_column_int64(m_stmt, column); }
  std::wstring Text(int column) {
    auto text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return text ? WideFromUtf8(std::string(text, sqlite3_column_bytes(m_stmt, column))) : std::wstring();
  }
  std::vector<BYTE> Blob(int column) {
    auto bytes = static_cast<const BYTE*>(sqlite3_column_blob(m_stmt, column));
    int size = sqlite3_column_bytes(m_stmt, column);
    return bytes ? std::vector<BYTE>(bytes, bytes + size) : std::vector<BYTE>();
  }

 private:
  sqlite3_stmt* m_stmt = nullptr;
  int m_result;
};

StoredValue ValueFromRow(Statement& row) {
  StoredValue value;
  value.name = row.Text(0);
  value.type = static_cast<DWORD>(row.Number(1));
  value.data = row.Blob(2);
  return value;
}

}  // namespace

std::wstring FoldRegistryName(const std::wstring& name) {
  // Windows upper-cases names with the Unicode tables, not only ASCII.
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  std::wstring folded(name);
  for (wchar_t& c : folded) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    else if (c >= 0x80 && unicode) c = static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), unicode));
  }
  return folded;
}

RegistryTransaction::~RegistryTransaction() {
  if (m_open) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close_v2(m_db);
}

LONG RegistryTransaction::Failure(int sqliteResult) const {
  switch (sqliteResult & 0xFF) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
      return ERROR_BADDB;
    case SQLITE_CANTOPEN:
      return ERROR_CANTOPEN;
    case SQLITE_NOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:  // busy, locked, I/O, full, read-only
      return m_writing ? ERROR_CANTWRITE : ERROR_CANTREAD;
  }
}

LONG RegistryTransaction::Execute(const char* sql) {
  int result = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
  return result == SQLITE_OK ? ERROR_SUCCESS : Failure(result);
}

LONG RegistryTransaction::Begin(const std::string& path, bool forWriting) {
  m_writing = forWriting;
  int result = sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (result != SQLITE_OK) return ERROR_CANTOPEN;
  sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
  // A registry change must survive a power cut the moment the call returns.
  if (LONG error = Execute("PRAGMA synchronous=FULL")) return error;
  if (LONG error = EnsureSchema()) return error;
  if (LONG error = Execute(forWriting ? "BEGIN IMMEDIATE" : "BEGIN")) return error;
  m_open = true;
  return ERROR_SUCCESS;
}

LONG RegistryTransaction::EnsureSchema() {
  const char* probe =
      "SELECT (SELECT count(*) FROM sqlite_master),"
      " (SELECT count(*) FROM sqlite_master WHERE type = 'table'"
      "  AND name IN ('registry_keys', 'registry_values'))";
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::int64_t objects = 0, ours = 0;
    {
      Statement statement(m_db, probe);
      int result = statement.Step();
      if (result != SQLITE_ROW) return Failure(result);
      objects = statement.Number(0);
      ours = statement.Number(1);
    }
    if (ours == 2) return attempt == 0 ? ERROR_SUCCESS : Execute("COMMIT");
    // Some other database: refuse it rather than add our tables to it.
    if (objects != 0) return ERROR_BADDB;
    if (attempt == 1) {
      if (LONG error = Execute(kCreateSchema)) return error;
      if (Is64BitMachine()) {
        if (LONG error = Execute(kCreateWow64Node)) return error;
      }
      return Execute("COMMIT");
    }
    // Take the write lock, then look again: another process may have just created it.
    if (LONG error = Execute("BEGIN IMMEDIATE")) return error;
  }
  return ERROR_BADDB;
}

LONG RegistryTransaction::Commit() {
  LONG error = Execute("COMMIT");
  if (error == ERROR_SUCCESS) m_open = false;
  return error;
}

LONG RegistryTransaction::KeyExists(RegistryKeyId key, bool& exists) {
  Statement statement(m_db, "SELECT 1 FROM registry_keys WHERE id = ?1");
  int result = statement.Bind(1, key).Step();
  if (result != SQLITE_ROW && result != SQLITE_DONE) return Failure(result);
  exists = result == SQLITE_ROW;
  return ERROR_SUCCESS;
}

LONG RegistryTransaction::FindSubkey(RegistryKeyId parent, const std::wstring& name,
                                     std::optional<RegistryKeyId>& found) {
  Statement statement(m_db, "SELECT id FROM registry_keys WHERE parent = ?1 AND folded = ?2");
  int result = statement.Bind(1, parent).Bind(2, FoldRegistryName(name)).Step();
  if (result == SQLITE_ROW) found = statement.Number(0);
  else if (result == SQLITE_DONE) found.reset();
  else return Failure(result);
  return ERROR_SUCCESS;
}

LONG RegistryTransaction::CreateSubkey(RegistryKeyId parent, const std::wstring& name, RegistryKeyId& created) {
  Statement statement(m_db, "INSERT INTO registry_keys(parent, name, folded) VALUES (?1, ?2, ?3)");
  int result = statement.Bind(1, parent).Bind(2, name).Bind(3, FoldRegistryName(name)).Step();
  if (result != SQLITE_DONE) return Failure(result);
  created = sqlite3_last_insert_rowid(m_db);
  return ERROR_SUCCESS;
}

LONG RegistryTransaction::HasSubkeys(RegistryKeyId key, bool& any) {
  Statement statement(m_db, "SELECT 1 FROM registry_keys WHERE parent = ?1 LIMIT 1");
  int result = statement.Bind(1, key).Step();
  if (result != SQLITE_ROW && result != SQLITE_DONE) return Failure(result);
  any = result == SQLITE_ROW;
  return ERROR_SUCCESS;
}

LONG RegistryTransaction::SubkeyNameAt(RegistryKeyId key, DWORD index, std::optional<std::wstring>& name) {
  Statement statement(m_db, "SELECT name FROM registry_keys WHERE parent = ?1 ORDER BY folded LIMIT 1 OFFSET ?2");
  int result = statement.Bind(1, key).Bind(2, static_cast<std::int64_t>(index)).Step();
  if (result == SQLITE_ROW) name = statement.Text(0);
  else if (result == SQLITE_DONE) name.reset();
  else return Failure(result);
  return ERROR_SUCCESS;
}

LONG RegistryTransaction::ValueAt(RegistryKeyId key, DWORD index, std::optional<StoredValue>& value) {
  Statement statement(m_db,
                      "SELECT name, type, data FROM registry_values WHERE key = ?1 ORDER BY folded LIMIT 1 OFFSET ?2");
  int result = statement.Bind(1, key).Bind(2, static_cast<std::int64_t>(index)).Step();
  if (result == SQLITE_ROW) value = ValueFromRow(statement);
  else if (result == SQLITE_DONE) value.reset();
  else return Failure(result);
  return ERROR_SUCCESS;
}

LONG RegistryTransaction::FindValue(RegistryKeyId key, const std::wstring& name, std::optional<StoredValue>& value) {
  Statement statement(m_db, "SELECT name, type, data FROM registry_values WHERE key = ?1 AND folded = ?2");
  int result = statement.Bind(1, key).Bind(2, FoldRegistryName(name)).Step();
  if (result == SQLITE_ROW) value = ValueFromRow(statement);
  else if (result == SQLITE_DONE) value.reset();
  else return Failure(result);
  return ERROR_SUCCESS;
}

LONG RegistryTransaction::SetValue(RegistryKeyId key, const std::wstring& name, DWORD type,
                                   const std::vector<BYTE>& data) {
  // An existing value keeps the case of its name, as on Windows.
  Statement statement(m_db,
                      "INSERT INTO registry_values(key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5) "
                      "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data");
  int result = statement.Bind(1, key)
                   .Bind(2, name)
                   .Bind(3, FoldRegistryName(name))
                   .Bind(4, static_cast<std::int64_t>(type))
                   .Bind(5, data)
                   .Step();
  return result == SQLITE_DONE ? ERROR_SUCCESS : Failure(result);
}

LONG RegistryTransaction::DeleteValue(RegistryKeyId key, const std::wstring& name, bool& existed) {
  Statement statement(m_db, "DELETE FROM registry_values WHERE key = ?1 AND folded = ?2");
  int result = statement.Bind(1, key).Bind(2, FoldRegistryName(name)).Step();
  if (result != SQLITE_DONE) return Failure(result);
  existed = sqlite3_changes(m_db) > 0;
  return ERROR_SUCCESS;
}

LONG RegistryTransaction::DeleteKeyTree(RegistryKeyId key) {
  if (LONG error = DeleteKeyContents(key)) return error;
  Statement statement(m_db, "DELETE FROM registry_keys WHERE id = ?1");
  int result = statement.Bind(1, key).Step();
  return result == SQLITE_DONE ? ERROR_SUCCESS : Failure(result);
}

LONG RegistryTransaction::DeleteKeyContents(RegistryKeyId key) {
  {
    Statement values(m_db, kDeleteSubtreeValues);
    int result = values.Bind(1, key).Step();
    if (result != SQLITE_DONE) return Failure(result);
  }
  Statement keys(m_db, kDeleteSubtreeKeys);
  int result = keys.Bind(1, key).Step();
  return result == SQLITE_DONE ? ERROR_SUCCESS : Failure(result);
}

}  // namespace host
