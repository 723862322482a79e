// The application object.
#include "installer_app.h"

#include "installer_dialog.h"
#include "platform/instance_count.h"


BOOL CInternetInstallerApp::InitInstance() {
  // Every start counts, refused ones included, so a start is refused while any process of
  // this program file is alive.
  if (ReadAndIncrementInstanceCount() != 0) {
    AfxMessageBox(L"您已打开了一个安装程序，请不要同时打开多个安装程序！", MB_OK, 0);
    return FALSE;
  }
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  CWinApp::InitInstance();
  AfxEnableControlContainer();

  // On the heap: a worker that has not ended when the dialog closes (one stuck in a read, or
  // one the window was closed under) still borrows the dialog's records until the process
  // ends, so the dialog is only destroyed when no worker runs any more.
  auto* dialog = new CInternetInstallerDlg;
  m_pMainWnd = dialog;
  dialog->DoModal();
  m_pMainWnd = nullptr;
  if (!dialog->WorkerRunning()) delete dialog;
  return FALSE;
}
