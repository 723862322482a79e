// The uninstall steps: the record's registrations undone, then the product folder handed to
// the deletion worker.
#include "uninstall_steps.h"

#include <cwctype>

#include "app/installer_dialog.h"
#include "install/com_registration.h"
#include "install/installation_record.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "recursive_delete.h"
#include "resources/resource_ids.h"

namespace {

constexpr const WCHAR* kShortcutValues[] = {L"lnkPath1", L"lnkPath2", L"lnkPath3", L"lnkPath4"};
constexpr const WCHAR* kProgramId = L"grffile";

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i]))) return false;
  return true;
}

// True when the key holds neither subkeys nor values.
bool IsEmptyKey(HKEY key) {
  WCHAR name[256];
  DWORD length = 256;
  if (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_NO_MORE_ITEMS) return false;
  length = 256;
  BYTE data[4];
  DWORD size = sizeof data;
  return RegEnumValueW(key, 0, name, &length, nullptr, nullptr, data, &size) == ERROR_NO_MORE_ITEMS;
}

// The product's record goes; the vendor key only when no other product (or anything else of
// the vendor's) is left in it.
void DeleteProductKeys() {
  HKEY software = nullptr;
  if (!OpenRecordKey(HKEY_LOCAL_MACHINE, L"Software", software)) return;
  RegDeleteTreeW(software, L"Halvexo\\TessalyT6");
  HKEY vendor = nullptr;
  if (OpenRecordKey(software, L"Halvexo", vendor)) {
    const bool empty = IsEmptyKey(vendor);
    CloseRecordKey(vendor);
    if (empty) RegDeleteKeyExW(software, L"Halvexo", RecordAccessMask() & KEY_WOW64_64KEY, 0);
  }
  CloseRecordKey(software);
}

// Our program id goes; the extension only while it still names our program id, so that a
// program which has taken ".grf" over since keeps it.
void DeleteFileAssociation() {
  HKEY classes = nullptr;
  if (!OpenRecordKey(HKEY_CLASSES_ROOT, nullptr, classes)) return;
  HKEY extension = nullptr;
  if (OpenRecordKey(classes, L".grf", extension)) {
    std::wstring programId;
    const bool ours = QueryRecordString(programId, extension, nullptr) && EqualsIgnoringCase(programId, kProgramId);
    CloseRecordKey(extension);
    if (ours) RegDeleteTreeW(classes, L".grf");
  }
  RegDeleteTreeW(classes, kProgramId);
  CloseRecordKey(classes);
}

}  // namespace

namespace {
bool IsVolumeRoot(const std::wstring& folder) {
  if (folder.size() >= MAX_PATH) return false;
  WCHAR root[MAX_PATH] = {};
  folder.copy(root, folder.size());
  if (!PathStripToRootW(root)) return false;
  std::wstring a = root, b = folder;
  while (!a.empty() && a.back() == L'\\') a.pop_back();
  while (!b.empty() && b.back() == L'\\') b.pop_back();
  return a == b;
}
}  // namespace

void CInternetInstallerDlg::RunUninstall() {
  LoadFromResource(IDR_HTML_REMOVING);
  HKEY record = nullptr;
  if (!OpenRecordKey(HKEY_LOCAL_MACHINE, kRecordKeyPath, record)) return;
  std::wstring productFolder;
  if (!QueryRecordString(productFolder, record, L"Path")) {
    CloseRecordKey(record);
    return;
  }
  // The servers go before their files: each removes its own classes while it still can.
  for (const WCHAR* value : {L"ComDllPath1", L"ComDllPath2"}) {
    std::wstring server;
    if (QueryRecordString(server, record, value)) CallComServerEntry(server, "DllUnregisterServer");
  }
  for (const WCHAR* value : kShortcutValues) {
    std::wstring shortcut;
    if (QueryRecordString(shortcut, record, value)) DeletePath(shortcut.c_str());
  }
  CloseRecordKey(record);
  DeleteProductKeys();
  DeleteFileAssociation();

  // A record that names a drive or share root ("C:\") names no product folder: deleting it would
  // take everything on the drive. Nothing is deleted, as when the folder is gone.
  if (!PathFileExistsW(productFolder.c_str()) || IsVolumeRoot(productFolder)) {
    LoadFromResource(IDR_HTML_REMOVED);
    return;
  }
  m_workerContext.fTotal = static_cast<float>(CountFiles(productFolder));
  m_workerContext.strInstallDir = productFolder;
  m_workerContext.nProgress = 0;
  m_pWorkerThread = AfxBeginThread(DeleteThreadProc, &m_workerContext, THREAD_PRIORITY_NORMAL, 0, 0, nullptr);
}

UINT DeleteThreadProc(LPVOID param) {
  auto* context = static_cast<WorkerContext*>(param);
  const std::wstring folder = context->strInstallDir;
  DeleteTree(folder, context);
  return 0;
}
