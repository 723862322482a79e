// Printer paper forms through the print dialog's defaults and the spooler.
#include "paper_forms.h"

#include <vector>

#include "platform/printing.h"

void FindDefaultPrinter(std::wstring& printerName) {
  printerName.clear();
  CPrintDialog dialog(FALSE, PD_ALLPAGES | PD_USEDEVMODECOPIES | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE | PD_NOSELECTION,
                      nullptr);
  if (!dialog.GetDefaults()) return;
  if (dialog.m_pd.hDC) DeleteDC(dialog.m_pd.hDC);
  if (dialog.m_pd.hDevMode) GlobalFree(dialog.m_pd.hDevMode);
  if (!dialog.m_pd.hDevNames) return;
  if (const auto* names = static_cast<const DEVNAMES*>(GlobalLock(dialog.m_pd.hDevNames))) {
    // At most 127 characters, as the 128-character buffer of the name holds.
    constexpr std::size_t kLongestName = 127;
    const WCHAR* device = reinterpret_cast<const WCHAR*>(names) + names->wDeviceOffset;
    std::size_t length = 0;
    while (length < kLongestName && device[length] != L'\0') ++length;
    printerName.assign(device, length);
    GlobalUnlock(dialog.m_pd.hDevNames);
  }
  GlobalFree(dialog.m_pd.hDevNames);
}

bool AddPaperForm(const std::wstring& formName, const std::wstring& printerName, LONG width, LONG height,
                  LONG leftMargin, LONG topMargin, LONG rightMargin, LONG bottomMargin) {
  std::vector<WCHAR> name(formName.begin(), formName.end());
  name.push_back(L'\0');
  FORM_INFO_1W form{};
  form.Flags = FORM_USER;
  form.pName = name.data();
  form.Size = {width * 100, height * 100};
  form.ImageableArea = {leftMargin * 100, topMargin * 100, (width - rightMargin) * 100, (height - bottomMargin) * 100};

  std::vector<WCHAR> printer(printerName.begin(), printerName.end());
  printer.push_back(L'\0');
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE handle = nullptr;
  if (!OpenPrinterW(printer.data(), &handle, &defaults) || !handle) return false;
  auto* record = reinterpret_cast<LPBYTE>(&form);
  bool defined = SetFormW(handle, name.data(), 1, record) != FALSE;
  if (!defined) defined = AddFormW(handle, 1, record) != FALSE;
  ClosePrinter(handle);
  return defined;
}
