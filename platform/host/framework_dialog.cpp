// Host platform: modal dialogs and the HTML dialog on GTK.
#include <gtk/gtk.h>

#include <cstdio>

#include "host_window.h"
#include "html_view.h"
#include "message_queue.h"
#include "text.h"

namespace {
gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer dialog) {
  // Closing from outside (window manager, Alt+F4) is a cancel, as on Windows.
  auto* owner = static_cast<CDialog*>(dialog);
  host::PostUiTask([owner] { owner->OnCancel(); });
  return TRUE;
}
}  // namespace

CDialog::CDialog(UINT templateId, CWnd*) : m_nIDTemplate(templateId) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
  auto* handle = new HWND__;  // never freed: workers may still post to it after the dialog
  handle->owner = this;
  handle->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* window = GTK_WINDOW(handle->window);
  // The popup style of the dialog template: no caption bar, but a taskbar button.
  gtk_window_set_decorated(window, FALSE);
  gtk_window_set_skip_taskbar_hint(window, FALSE);
  gtk_window_set_default_size(window, 604, 386);
  g_signal_connect(handle->window, "delete-event", G_CALLBACK(OnDeleteEvent), this);
  m_hWnd = handle;
  host::OpenUiQueue();
  m_bEnded = false;
  m_nModalResult = -1;
  gtk_widget_realize(handle->window);

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  m_pModalLoop = loop;
  // Its result only says who sets the focus; the web view takes it by itself.
  OnInitDialog();
  if (!m_bEnded) {
    gtk_widget_show_all(handle->window);
    g_main_loop_run(loop);
  }
  m_pModalLoop = nullptr;
  g_main_loop_unref(loop);

  // The only way out of the loop is EndDialog, which has closed the window to messages.
  gtk_widget_destroy(handle->window);
  handle->window = nullptr;
  m_hWnd = nullptr;
  return m_nModalResult;
}

BOOL CDialog::OnInitDialog() { return TRUE; }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int result) {
  m_nModalResult = result;
  m_bEnded = true;
  // Once the dialog has ended it takes no more messages: what still waits in the queue (a
  // report behind the close, a second click) is dropped and its senders are answered.
  if (m_hWnd) m_hWnd->destroyed = true;
  host::ShutDownUiQueue();
  if (m_pModalLoop) g_main_loop_quit(static_cast<GMainLoop*>(m_pModalLoop));
}

CDHtmlDialog::CDHtmlDialog(UINT templateId, UINT htmlResourceId, CWnd* parent)
    : CDialog(templateId, parent), m_nHtmlResID(htmlResourceId) {}

CDHtmlDialog::~CDHtmlDialog() = default;

BOOL CDHtmlDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  m_pHtmlView = std::make_unique<HtmlViewHost>(*this, m_hWnd->window);
  if (m_nHtmlResID) LoadFromResource(m_nHtmlResID);
  return TRUE;
}

void CDHtmlDialog::LoadFromResource(UINT htmlResourceId) {
  if (m_pHtmlView) m_pHtmlView->Load(htmlResourceId);
}

void CDHtmlDialog::OnDocumentComplete(LPCWSTR) {}

void CDHtmlDialog::OnHtmlElementClick(IHTMLElement*) {}

HRESULT CDHtmlDialog::ShowContextMenu() { return S_FALSE; }

namespace {

// Converts a script result into a VARIANT as the web browser control hands it out.
VARIANT VariantFromScript(JSCValue* value) {
  VARIANT result;
  if (!value || jsc_value_is_undefined(value)) return result;
  if (jsc_value_is_null(value)) {
    result.vt = VT_NULL;
  } else if (jsc_value_is_boolean(value)) {
    result.vt = VT_BOOL;
    result.boolVal = jsc_value_to_boolean(value);
  } else if (jsc_value_is_number(value)) {
    result.vt = VT_R8;
    result.dblVal = jsc_value_to_double(value);
  } else {
    result.vt = VT_BSTR;
    char* text = jsc_value_to_string(value);
    result.bstrVal = host::WideFromUtf8(text ? text : "");
    g_free(text);
  }
  return result;
}

GVariant* Arguments(std::initializer_list<std::pair<const char*, GVariant*>> entries) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
  for (const auto& [name, value] : entries) g_variant_builder_add(&builder, "{sv}", name, value);
  return g_variant_builder_end(&builder);
}

std::string JsonStringArray(const std::vector<std::wstring>& items) {
  std::string json = "[";
  for (const std::wstring& item : items) {
    if (json.size() > 1) json += ',';
    json += '"';
    for (char c : host::Utf8FromWide(item)) {
      if (c == '"' || c == '\\') {
        json += '\\';
        json += c;
      } else if (static_cast<unsigned char>(c) < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
        json += escaped;
      } else {
        json += c;
      }
    }
    json += '"';
  }
  return json + "]";
}

GVariant* Utf8Variant(LPCWSTR text) { return g_variant_new_string(host::Utf8FromWide(text ? text : L"").c_str()); }

// Runs body in the page; the body answers an object {ok, value} so that "the element or
// function is missing" stays apart from a value that happens to be null.
HRESULT CallInPage(HtmlViewHost* view, const char* body, GVariant* arguments, VARIANT* answer) {
  if (!view) {
    g_variant_unref(g_variant_ref_sink(arguments));
    return E_FAIL;
  }
  std::string error;
  JSCValue* result = view->CallInPage(body, arguments, error);
  if (!result) return DISP_E_EXCEPTION;
  HRESULT hr = E_FAIL;
  if (jsc_value_is_object(result)) {
    JSCValue* ok = jsc_value_object_get_property(result, "ok");
    if (ok && jsc_value_to_boolean(ok)) {
      hr = S_OK;
      if (answer) {
        JSCValue* value = jsc_value_object_get_property(result, "value");
        *answer = VariantFromScript(value);
        if (value) g_object_unref(value);
      }
    }
    if (ok) g_object_unref(ok);
  }
  g_object_unref(result);
  return hr;
}

}  // namespace

HRESULT CDHtmlDialog::GetElementInnerText(LPCWSTR elementId, std::wstring& text) {
  VARIANT value;
  HRESULT hr = CallInPage(m_pHtmlView.get(),
                          "var e = document.getElementById(id);"
                          "return e ? {ok: true, value: e.innerText} : {ok: false};",
                          Arguments({{"id", Utf8Variant(elementId)}}), &value);
  if (SUCCEEDED(hr)) text = value.bstrVal;
  return hr;
}

HRESULT CDHtmlDialog::PutElementInnerHtml(LPCWSTR elementId, LPCWSTR html) {
  return CallInPage(m_pHtmlView.get(),
                    "var e = document.getElementById(id);"
                    "if (!e) return {ok: false};"
                    "e.innerHTML = html; return {ok: true};",
                    Arguments({{"id", Utf8Variant(elementId)}, {"html", Utf8Variant(html)}}), nullptr);
}

HRESULT CDHtmlDialog::InvokePageScript(LPCWSTR functionName, const std::vector<std::wstring>& arguments,
                                       VARIANT& result) {
  // The arguments travel as one JSON array of strings: named call arguments take no lists.
  return CallInPage(m_pHtmlView.get(),
                    "var f = window[name];"
                    "if (typeof f !== 'function') return {ok: false};"
                    "return {ok: true, value: f.apply(window, JSON.parse(args))};",
                    Arguments({{"name", Utf8Variant(functionName)},
                               {"args", g_variant_new_string(JsonStringArray(arguments).c_str())}}),
                    &result);
}

HRESULT CDHtmlDialog::ExecutePageScript(LPCWSTR functionBody, VARIANT& result) {
  // The body becomes the web view's own function, which the page's policy does not govern.
  const std::string body = "return {ok: true, value: (function () {\n" +
                           host::Utf8FromWide(functionBody ? functionBody : L"") + "\n})()};";
  return CallInPage(m_pHtmlView.get(), body.c_str(), nullptr, &result);
}

HRESULT CDHtmlDialog::GetElementAttribute(const IHTMLElement* element, LPCWSTR name, VARIANT& value) {
  if (!element || !name) return E_FAIL;
  auto found = element->attributes.find(name);
  if (found == element->attributes.end()) {
    // A missing attribute reads as null, as getAttribute answers.
    value = VARIANT{};
    value.vt = VT_NULL;
    return S_OK;
  }
  value = VARIANT{};
  value.vt = VT_BSTR;
  value.bstrVal = found->second;
  return S_OK;
}
