// Win32 platform: modal dialogs from the program's dialog templates, and the HTML dialog's
// document calls.
#include <string>

#include "html_view.h"

namespace {

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    dialog->m_hWnd = window;
    return dialog->OnInitDialog();
  }
  auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!dialog) return FALSE;
  switch (message) {
    case WM_SIZE: HtmlViewHost::OnParentSize(window); return FALSE;
    case WM_DESTROY: HtmlViewHost::OnParentDestroy(window); return FALSE;
    case WM_COMMAND:
      // Escape and the window's close command (Alt+F4, the taskbar) are a cancel.
      if (LOWORD(wParam) == IDCANCEL) {
        dialog->OnCancel();
        return TRUE;
      }
      return FALSE;
    default: break;
  }
  // The program's own messages go to the message map; the dialog manager handles the rest.
  if (message >= WM_USER && message <= 0xBFFF) {
    SetWindowLongPtrW(window, DWLP_MSGRESULT, dialog->WindowProc(message, wParam, lParam));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

INT_PTR CDialog::DoModal() {
  m_bEnded = false;
  m_nModalResult = -1;
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate), nullptr,
                                         &DialogProc, reinterpret_cast<LPARAM>(this));
  m_hWnd = nullptr;
  return result;
}

void CDialog::EndDialog(int result) {
  m_nModalResult = result;
  m_bEnded = true;
  // The window goes away with the modal loop; posts that arrive later find no window.
  if (m_hWnd) ::EndDialog(m_hWnd, result);
}

CDHtmlDialog::CDHtmlDialog(UINT templateId, UINT htmlResourceId, CWnd* parent)
    : CDialog(templateId, parent), m_nHtmlResID(htmlResourceId) {}

CDHtmlDialog::~CDHtmlDialog() = default;

BOOL CDHtmlDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  m_pHtmlView = std::make_unique<HtmlViewHost>(*this, m_hWnd);
  if (m_nHtmlResID) LoadFromResource(m_nHtmlResID);
  return TRUE;
}

void CDHtmlDialog::LoadFromResource(UINT htmlResourceId) {
  if (m_pHtmlView) m_pHtmlView->Load(htmlResourceId);
}

namespace {

VARIANT Text(LPCWSTR text) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(text ? text : L"");
  return value;
}

IDispatch* FindElement(HtmlViewHost* view, LPCWSTR elementId) {
  IDispatch* document = view ? view->Document() : nullptr;
  if (!document) return nullptr;
  VARIANT id = Text(elementId);
  VARIANT found;
  HRESULT hr = win32::CallMethod(document, L"getElementById", {id}, &found);
  VariantClear(&id);
  if (SUCCEEDED(hr) && found.vt == VT_DISPATCH && found.pdispVal) return found.pdispVal;
  VariantClear(&found);
  return nullptr;
}

}  // namespace

HRESULT CDHtmlDialog::GetElementInnerText(LPCWSTR elementId, std::wstring& text) {
  IDispatch* element = FindElement(m_pHtmlView.get(), elementId);
  if (!element) return E_FAIL;
  VARIANT value;
  HRESULT hr = win32::GetProperty(element, L"innerText", value);
  if (SUCCEEDED(hr)) text = value.vt == VT_BSTR && value.bstrVal ? value.bstrVal : L"";
  VariantClear(&value);
  element->Release();
  return hr;
}

HRESULT CDHtmlDialog::PutElementInnerHtml(LPCWSTR elementId, LPCWSTR html) {
  IDispatch* element = FindElement(m_pHtmlView.get(), elementId);
  if (!element) return E_FAIL;
  VARIANT value = Text(html);
  HRESULT hr = win32::PutProperty(element, L"innerHTML", value);
  VariantClear(&value);
  element->Release();
  return hr;
}

HRESULT CDHtmlDialog::InvokePageScript(LPCWSTR functionName, const std::vector<std::wstring>& arguments,
                                       VARIANT& result) {
  IDispatch* document = m_pHtmlView ? m_pHtmlView->Document() : nullptr;
  if (!document) return E_FAIL;
  // Page functions are members of the document's script object.
  IDispatch* script = win32::GetChildObject(document, L"Script");
  if (!script) return E_FAIL;
  std::vector<VARIANT> values;
  for (const std::wstring& argument : arguments) values.push_back(Text(argument.c_str()));
  HRESULT hr = win32::CallMethod(script, functionName, values, &result);
  for (VARIANT& value : values) VariantClear(&value);
  script->Release();
  return hr;
}

HRESULT CDHtmlDialog::ExecutePageScript(LPCWSTR functionBody, VARIANT& result) {
  IDispatch* document = m_pHtmlView ? m_pHtmlView->Document() : nullptr;
  if (!document) return E_FAIL;
  IDispatch* window = win32::GetChildObject(document, L"parentWindow");
  if (!window) return E_FAIL;
  // The program's own script runs in the window as a function, its value left in a property
  // of the window for us to read back.
  const std::wstring code = L"window.__t6Result = (function () {\n" + std::wstring(functionBody ? functionBody : L"") +
                            L"\n})();";
  VARIANT script = Text(code.c_str());
  VARIANT language = Text(L"JScript");
  VARIANT ignored;
  HRESULT hr = win32::CallMethod(window, L"execScript", {script, language}, &ignored);
  VariantClear(&ignored);
  VariantClear(&script);
  VariantClear(&language);
  if (SUCCEEDED(hr)) hr = win32::GetProperty(window, L"__t6Result", result);
  window->Release();
  return hr;
}

HRESULT CDHtmlDialog::GetElementAttribute(const IHTMLElement* element, LPCWSTR name, VARIANT& value) {
  VariantInit(&value);
  if (!element || !name) return E_FAIL;
  auto found = element->attributes.find(name);
  if (found == element->attributes.end()) {
    // A missing attribute reads as null, as getAttribute answers.
    value.vt = VT_NULL;
    return S_OK;
  }
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(found->second.c_str());
  return S_OK;
}
