// The installation worker and the install steps: record, COM servers, shortcuts, association,
// package deletion, paper forms, completion report.
#include "install_steps.h"

#include "app/installer_dialog.h"
#include "install/com_apartment.h"
#include "install/com_registration.h"
#include "install/extraction.h"
#include "install/file_association.h"
#include "install/installation_record.h"
#include "install/paper_forms.h"
#include "install/shortcuts.h"
#include "platform/files.h"
#include "platform/framework.h"
#include "platform/modules.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace {

// Creates the shortcut, then records where its file is, whether or not it could be made.
void MakeShortcut(HKEY record, LPCWSTR valueName, const ShortcutDefinition& shortcut) {
  CreateShortcut(shortcut);
  SetRecordString(record, valueName, ShortcutFilePath(shortcut.folder, shortcut.name));
}

}  // namespace

UINT InstallThreadProc(LPVOID param) {
  auto& dialog = *static_cast<CInternetInstallerDlg*>(param);
  // The shortcuts are shell links: the thread that makes them lives in a COM apartment.
  ComApartment apartment;
  const bool extracted = dialog.ExtractStep();
  // The user is leaving: nothing more is installed, and nobody is left to be told.
  if (dialog.m_extractContext.bStop != 0) return 0;
  if (!extracted) {
    PostMessageW(dialog.m_extractContext.hWnd, WM_WORKER_PROGRESS, kExtractFailed, 0);
    return 0;
  }
  dialog.InstallSteps();
  return 0;
}

bool CInternetInstallerDlg::ExtractStep() {
  const std::wstring package = m_workerContext.strInstallDir + m_workerContext.strFileName;
  return ExtractPackage(m_workerContext.strInstallDir, package, &m_extractContext);
}

void CInternetInstallerDlg::InstallSteps() {
  const std::wstring productDir = m_workerContext.strInstallDir + L"T6\\";
  const std::int64_t installTime = _time64(nullptr);
  HKEY record = CreateRecordKey();
  SetRecordString(record, L"Version", L"1.0.0");
  SetRecordDword(record, L"InstallTick", static_cast<DWORD>(installTime & 0xFFFFFFFF));
  SetRecordString(record, L"Path", productDir);
  const std::wstring server1 = productDir + kComServer1;
  CallComServerEntry(server1, "DllRegisterServer");
  SetRecordString(record, L"ComDllPath1", server1);
  const std::wstring server2 = productDir + kComServer2;
  CallComServerEntry(server2, "DllRegisterServer");
  SetRecordString(record, L"ComDllPath2", server2);

  std::wstring desktop;
  if (GetCommonDesktopFolder(desktop)) MakeShortcut(record, L"lnkPath1", DesktopProductShortcut(desktop, productDir));
  std::wstring programs;
  if (GetCommonProgramsFolder(programs)) {
    const std::wstring group = programs + L"\\Tessaly";
    if (!PathFileExistsW(group.c_str())) SHCreateDirectoryExW(nullptr, group.c_str(), nullptr);
    MakeShortcut(record, L"lnkPath2", StartMenuProductShortcut(group, productDir));
    MakeShortcut(record, L"lnkPath3", HomePageShortcut(group, productDir));
    WCHAR installer[261] = {};
    GetModuleFileNameW(nullptr, installer, 261);
    WCHAR installerFolder[261];
    std::wcscpy(installerFolder, installer);
    PathRemoveFileSpecW(installerFolder);
    MakeShortcut(record, L"lnkPath4", UninstallShortcut(group, installer, installerFolder));
  }
  if (record) CloseRecordKey(record);

  const std::wstring designer = productDir + L"resources\\app\\template\\Release\\grdesigner6.exe";
  RegisterFileAssociation(L".grf", designer, L"grffile", designer + L", 0", L"GRID++报表");

  const std::wstring package = m_workerContext.strInstallDir + m_workerContext.strFileName;
  DeleteFileW(package.c_str());

  std::wstring printer;
  FindDefaultPrinter(printer);
  AddPaperForm(L"HV2", printer, 2159, 1397, 0, 0, 0, 0);
  AddPaperForm(L"HV3", printer, 2159, 933, 0, 0, 0, 0);

  m_workerContext.strInstallDir = productDir;
  PostMessageW(GetSafeHwnd(), WM_WORKER_PROGRESS, kInstallFinished, 0);
}
