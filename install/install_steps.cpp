// The installation worker and the install steps: record, COM servers, shortcuts, association,
// package deletion, paper forms, completion report.
#include "install_steps.h"

#include "app/installer_dialog.h"
#include "install/com_registration.h"
#include "install/extraction.h"
#include "install/installation_record.h"
#include "platform/files.h"
#include "platform/framework.h"
#include "platform/registry.h"
#include "platform/shell.h"

UINT InstallThreadProc(LPVOID param) {
  auto& dialog = *static_cast<CInternetInstallerDlg*>(param);
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

  // STEPS 9-10 (shortcuts and their record values) come with the shortcut operations.

  if (record) CloseRecordKey(record);

  // STEP 12 (file association) comes with the association operation.

  const std::wstring package = m_workerContext.strInstallDir + m_workerContext.strFileName;
  DeleteFileW(package.c_str());

  // STEPS 14-15 (paper forms on the default printer) come with the paper form operations.

  m_workerContext.strInstallDir = productDir;
  PostMessageW(GetSafeHwnd(), WM_WORKER_PROGRESS, kInstallFinished, 0);
}
