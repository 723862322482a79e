// The installation record: its registry view rule, reader and writer.
#include "installation_record.h"

#include <cstring>
#include <vector>

#include "platform/registry.h"
#include "platform/system_info.h"

REGSAM RecordAccessMask() {
  BOOL wow64 = FALSE;
  if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) return KEY_ALL_ACCESS | KEY_WOW64_64KEY;
  return KEY_ALL_ACCESS;
}

bool OpenRecordKey(HKEY root, LPCWSTR subKey, HKEY& key) {
  if (RegOpenKeyExW(root, subKey, 0, RecordAccessMask(), &key) == ERROR_SUCCESS) return true;
  key = nullptr;
  return false;
}

bool QueryRecordString(std::wstring& text, HKEY key, LPCWSTR valueName) {
  // 512 characters: a value of 511 characters and its terminator fits, 512 do not.
  constexpr DWORD kCharacters = 512;
  std::vector<WCHAR> buffer(kCharacters, L'\0');
  DWORD type = 0;
  DWORD size = kCharacters * sizeof(WCHAR);
  if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(buffer.data()), &size) !=
      ERROR_SUCCESS) {
    text.clear();
    return false;
  }
  // Whatever the value's type, take the text up to the first NUL within the returned data.
  const std::size_t returned = std::min<std::size_t>(size / sizeof(WCHAR), kCharacters);
  std::size_t length = 0;
  while (length < returned && buffer[length] != L'\0') ++length;
  text.assign(buffer.data(), length);
  return true;
}

LONG CloseRecordKey(HKEY& key) {
  LONG result = RegCloseKey(key);
  key = nullptr;
  return result;
}

HKEY CreateRecordKey() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRecordKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, RecordAccessMask(),
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

namespace {
bool SetAndFlush(HKEY key, LPCWSTR valueName, DWORD type, const BYTE* data, DWORD size) {
  if (RegSetValueExW(key, valueName, 0, type, data, size) != ERROR_SUCCESS) return false;
  RegFlushKey(key);
  return true;
}
}  // namespace

bool SetRecordString(HKEY key, LPCWSTR valueName, const std::wstring& text) {
  const auto size = static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
  return SetAndFlush(key, valueName, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), size);
}

bool SetRecordDword(HKEY key, LPCWSTR valueName, DWORD value) {
  return SetAndFlush(key, valueName, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}
