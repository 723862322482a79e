// The file association, written with the registry's old default-value calls.
#include "file_association.h"

#include "platform/registry.h"

namespace {

void SetClassDefault(const std::wstring& key, const std::wstring& text, DWORD length) {
  HKEY handle = nullptr;
  if (RegCreateKeyW(HKEY_CLASSES_ROOT, key.c_str(), &handle) != ERROR_SUCCESS) return;
  RegSetValueW(handle, nullptr, REG_SZ, text.c_str(), length);
  RegCloseKey(handle);
}

DWORD LengthWithTerminator(const std::wstring& text) { return static_cast<DWORD>(text.size() + 1); }

}  // namespace

void RegisterFileAssociation(const std::wstring& extension, const std::wstring& program,
                             const std::wstring& programId, const std::wstring& icon,
                             const std::wstring& description) {
  const std::wstring command = program + L" %1";
  SetClassDefault(extension, programId, LengthWithTerminator(programId));
  SetClassDefault(programId, description, LengthWithTerminator(description));
  SetClassDefault(programId + L"\\DefaultIcon", icon, LengthWithTerminator(icon));
  SetClassDefault(programId + L"\\Shell", L"Open", 5);
  SetClassDefault(programId + L"\\Shell\\Open\\Command", command, LengthWithTerminator(command));
}
