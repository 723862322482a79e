// The page bridge: reading and writing the loaded page through the web view's document.
#include "app/installer_dialog.h"

bool CInternetInstallerDlg::GetPageElementText(LPCWSTR elementId, std::wstring& text) {
  if (FAILED(GetElementInnerText(elementId, text))) {
    text.clear();
    return false;
  }
  return true;
}

bool CInternetInstallerDlg::SetPageElementHtml(LPCWSTR elementId, const std::wstring& html) {
  return SUCCEEDED(PutElementInnerHtml(elementId, html.c_str()));
}

bool CInternetInstallerDlg::CallPageFunction(LPCWSTR functionName, const std::vector<std::wstring>& arguments,
                                             VARIANT* result) {
  VARIANT local;
  VariantInit(&local);
  if (FAILED(InvokePageScript(functionName, arguments, local))) return false;
  if (result) *result = local;
  return true;
}

bool CInternetInstallerDlg::GetSourceAttribute(const IHTMLElement* element, LPCWSTR attributeName,
                                               std::wstring& text) {
  VARIANT value;
  if (FAILED(GetElementAttribute(element, attributeName, value))) return false;
  // An attribute the element lacks reads as null, which has no text: reported as a failed
  // read rather than raised as an error.
  if (value.vt != VT_BSTR) return false;
  text = value.bstrVal;
  return true;
}
