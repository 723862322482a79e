// Win32 platform: the framework's print dialog class, whose defaults name the default printer.
#include "platform/printing.h"

CPrintDialog::CPrintDialog(BOOL bPrintSetupOnly, DWORD dwFlags, CWnd* pParentWnd) : m_pd{} {
  m_pd.lStructSize = sizeof m_pd;
  m_pd.hwndOwner = pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr;
  m_pd.Flags = dwFlags | (bPrintSetupOnly ? PD_PRINTSETUP : PD_RETURNDC);
  m_pd.nCopies = 1;
}

BOOL CPrintDialog::GetDefaults() {
  // The system fills in the default printer's names, mode (and device context) without showing
  // the dialog; it wants no blocks of ours to start from.
  m_pd.hDevMode = nullptr;
  m_pd.hDevNames = nullptr;
  m_pd.Flags |= PD_RETURNDEFAULT;
  const BOOL found = PrintDlgW(&m_pd);
  m_pd.Flags &= ~static_cast<DWORD>(PD_RETURNDEFAULT);
  return found;
}
