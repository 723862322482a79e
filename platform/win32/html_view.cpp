// Win32 platform: the web browser control hosted in place in the HTML dialog (client site,
// in-place site and frame, document host handler), its navigation events, and the click
// handler set on each loaded document.
#include "html_view.h"

#include <exdispid.h>

#include <map>

namespace {

std::map<HWND, HtmlViewHost*>& Views() {
  static std::map<HWND, HtmlViewHost*> views;
  return views;
}

// The sites live exactly as long as their view, which owns them: reference counts are not
// what ends them.
#define T6_FIXED_LIFETIME                                              \
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }              \
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

// IDispatch members that a late-bound sink does not need.
#define T6_NO_TYPE_INFO                                                                              \
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {                                 \
    *count = 0;                                                                                      \
    return S_OK;                                                                                     \
  }                                                                                                  \
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }     \
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {        \
    return E_NOTIMPL;                                                                                \
  }

}  // namespace

// The container side of the control: client site, in-place site and frame in one object, and
// the document host handler that keeps the control's context menu away.
class HtmlViewHost::Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame,
                           public IDocHostUIHandler {
 public:
  explicit Site(HtmlViewHost& view) : m_view(view) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IDocHostUIHandler) *out = static_cast<IDocHostUIHandler*>(this);
    else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  T6_FIXED_LIFETIME

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (for the in-place site and the frame alike)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    *window = m_view.Parent();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                             LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    *frame = static_cast<IOleInPlaceFrame*>(this);
    *document = nullptr;
    GetClientRect(m_view.Parent(), position);
    *clip = *position;
    info->fMDIApp = FALSE;
    info->hwndFrame = m_view.Parent();
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow and IOleInPlaceFrame: no menus, toolbars or status line.
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDocHostUIHandler
  HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override {
    return m_view.OnContextMenu();
  }
  HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override {
    // The pages are the whole window: no border, no scroll bars.
    info->cbSize = sizeof *info;
    info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_DIALOG;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                   IOleInPlaceUIWindow*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE HideUI() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE UpdateUI() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD) override {
    *key = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget*, IDropTarget** target) override {
    *target = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** external) override {
    *external = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override {
    *out = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject*, IDataObject** out) override {
    *out = nullptr;
    return S_FALSE;
  }

 private:
  HtmlViewHost& m_view;
};

// The control's navigation events (DWebBrowserEvents2), late bound.
class HtmlViewHost::EventSink final : public IDispatch {
 public:
  explicit EventSink(HtmlViewHost& view) : m_view(view) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
      *out = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  T6_FIXED_LIFETIME
  T6_NO_TYPE_INFO
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (id == DISPID_BEFORENAVIGATE2) {
      m_view.OnBeforeNavigate();
    } else if (id == DISPID_DOCUMENTCOMPLETE && params && params->cArgs >= 2) {
      // DocumentComplete(frame, address): automation hands the arguments over last first.
      const VARIANT& frame = params->rgvarg[1];
      const VARIANT& address = params->rgvarg[0];
      std::wstring url;
      const VARIANT* text = (address.vt == (VT_BYREF | VT_VARIANT)) ? address.pvarVal : &address;
      if (text && text->vt == VT_BSTR && text->bstrVal) url = text->bstrVal;
      m_view.OnDocumentComplete(frame.vt == VT_DISPATCH ? frame.pdispVal : nullptr, url);
    }
    return S_OK;
  }

 private:
  HtmlViewHost& m_view;
};

// The document's click handler: the page's own handlers have run when the click reaches it.
class HtmlViewHost::ClickSink final : public IDispatch {
 public:
  explicit ClickSink(HtmlViewHost& view) : m_view(view) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  T6_FIXED_LIFETIME
  T6_NO_TYPE_INFO
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    if (id == DISPID_VALUE) m_view.OnDocumentClick();
    if (result) VariantInit(result);
    return S_OK;
  }

 private:
  HtmlViewHost& m_view;
};

HtmlViewHost::HtmlViewHost(CDHtmlDialog& owner, HWND parent) : m_owner(owner), m_parent(parent) {
  m_site = new Site(*this);
  m_events = new EventSink(*this);
  m_clicks = new ClickSink(*this);
  Views()[parent] = this;
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              reinterpret_cast<void**>(&m_object)))) {
    m_object = nullptr;
    return;
  }
  m_object->SetClientSite(static_cast<IOleClientSite*>(m_site));
  RECT area{};
  GetClientRect(parent, &area);
  m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(m_site), 0, parent, &area);
  if (FAILED(m_object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser)))) m_browser = nullptr;
  IConnectionPointContainer* points = nullptr;
  if (SUCCEEDED(m_object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points)))) {
    if (SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, &m_connection)))
      m_connection->Advise(m_events, &m_cookie);
    points->Release();
  }
  if (m_browser) m_browser->put_Silent(VARIANT_TRUE);  // no script error boxes
  Resize();
}

HtmlViewHost::~HtmlViewHost() {
  Close();
  Views().erase(m_parent);
  delete m_clicks;
  delete m_events;
  delete m_site;
}

void HtmlViewHost::Close() {
  m_documentReady = false;
  if (m_document) m_document->Release();
  m_document = nullptr;
  if (m_connection) {
    m_connection->Unadvise(m_cookie);
    m_connection->Release();
    m_connection = nullptr;
  }
  if (m_browser) m_browser->Release();
  m_browser = nullptr;
  if (m_object) {
    m_object->Close(OLECLOSE_NOSAVE);
    m_object->SetClientSite(nullptr);
    m_object->Release();
    m_object = nullptr;
  }
}

std::wstring HtmlViewHost::PageAddress(unsigned htmlId) {
  WCHAR path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return L"res://" + std::wstring(path, length) + L"/" + std::to_wstring(htmlId);
}

void HtmlViewHost::Load(unsigned htmlId) {
  if (!m_browser) return;
  m_documentReady = false;
  VARIANT address;
  VariantInit(&address);
  address.vt = VT_BSTR;
  address.bstrVal = SysAllocString(PageAddress(htmlId).c_str());
  VARIANT empty;
  VariantInit(&empty);
  m_browser->Navigate2(&address, &empty, &empty, &empty, &empty);
  VariantClear(&address);
}

void HtmlViewHost::Resize() {
  IOleInPlaceObject* inPlace = nullptr;
  if (!m_object || FAILED(m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))))
    return;
  RECT area{};
  GetClientRect(m_parent, &area);
  inPlace->SetObjectRects(&area, &area);
  inPlace->Release();
}

void HtmlViewHost::OnParentSize(HWND parent) {
  auto found = Views().find(parent);
  if (found != Views().end()) found->second->Resize();
}

void HtmlViewHost::OnParentDestroy(HWND parent) {
  auto found = Views().find(parent);
  if (found != Views().end()) found->second->Close();
}

void HtmlViewHost::OnBeforeNavigate() { m_documentReady = false; }

void HtmlViewHost::OnDocumentComplete(IDispatch* frame, const std::wstring& url) {
  // Frames inside a page report their own documents; only the top one is the page.
  IUnknown* top = nullptr;
  IUnknown* reporter = nullptr;
  bool isTop = false;
  if (m_browser && frame) {
    m_browser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&top));
    frame->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&reporter));
    isTop = top && top == reporter;
  }
  if (top) top->Release();
  if (reporter) reporter->Release();
  if (!isTop) return;

  if (m_document) m_document->Release();
  m_document = nullptr;
  if (FAILED(m_browser->get_Document(&m_document)) || !m_document) return;
  VARIANT handler;
  VariantInit(&handler);
  handler.vt = VT_DISPATCH;
  handler.pdispVal = m_clicks;
  win32::PutProperty(m_document, L"onclick", handler);
  m_documentReady = true;
  m_owner.OnDocumentComplete(url.c_str());
}

namespace {

std::wstring TextOf(IDispatch* object, LPCWSTR name) {
  VARIANT value;
  VariantInit(&value);
  std::wstring text;
  if (SUCCEEDED(win32::GetProperty(object, name, value)) && value.vt == VT_BSTR && value.bstrVal) text = value.bstrVal;
  VariantClear(&value);
  return text;
}

// The clicked element as it stands: id, tag and every attribute as written.
IHTMLElement Describe(IDispatch* element) {
  IHTMLElement description;
  description.id = TextOf(element, L"id");
  description.tagName = TextOf(element, L"tagName");
  IDispatch* attributes = win32::GetChildObject(element, L"attributes");
  if (!attributes) return description;
  VARIANT count;
  VariantInit(&count);
  if (SUCCEEDED(win32::GetProperty(attributes, L"length", count)) && SUCCEEDED(VariantChangeType(&count, &count, 0, VT_I4))) {
    for (LONG i = 0; i < count.lVal; ++i) {
      VARIANT index;
      VariantInit(&index);
      index.vt = VT_I4;
      index.lVal = i;
      VARIANT item;
      VariantInit(&item);
      if (SUCCEEDED(win32::CallMethod(attributes, L"item", {index}, &item)) && item.vt == VT_DISPATCH && item.pdispVal) {
        VARIANT specified;
        VariantInit(&specified);
        win32::GetProperty(item.pdispVal, L"specified", specified);
        if (specified.vt == VT_BOOL && specified.boolVal == VARIANT_TRUE)
          description.attributes[TextOf(item.pdispVal, L"nodeName")] = TextOf(item.pdispVal, L"nodeValue");
        VariantClear(&specified);
      }
      VariantClear(&item);
    }
  }
  VariantClear(&count);
  attributes->Release();
  return description;
}

}  // namespace

void HtmlViewHost::OnDocumentClick() {
  IDispatch* document = Document();
  if (!document) return;
  IDispatch* window = win32::GetChildObject(document, L"parentWindow");
  IDispatch* event = window ? win32::GetChildObject(window, L"event") : nullptr;
  IDispatch* source = event ? win32::GetChildObject(event, L"srcElement") : nullptr;
  if (source) {
    IHTMLElement element = Describe(source);
    source->Release();
    m_owner.OnHtmlElementClick(&element);
  }
  if (event) event->Release();
  if (window) window->Release();
}

namespace win32 {

namespace {
HRESULT Call(IDispatch* object, LPCWSTR name, WORD kind, DISPPARAMS& params, VARIANT* result) {
  if (!object || !name) return E_POINTER;
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, nullptr, nullptr);
}
}  // namespace

HRESULT GetProperty(IDispatch* object, LPCWSTR name, VARIANT& value) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VariantInit(&value);
  return Call(object, name, DISPATCH_PROPERTYGET, none, &value);
}

HRESULT PutProperty(IDispatch* object, LPCWSTR name, const VARIANT& value) {
  DISPID named = DISPID_PROPERTYPUT;
  VARIANT argument = value;
  DISPPARAMS params{&argument, &named, 1, 1};
  return Call(object, name, DISPATCH_PROPERTYPUT, params, nullptr);
}

HRESULT CallMethod(IDispatch* object, LPCWSTR name, const std::vector<VARIANT>& arguments, VARIANT* result) {
  std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if (result) VariantInit(result);
  return Call(object, name, DISPATCH_METHOD, params, result);
}

IDispatch* GetChildObject(IDispatch* object, LPCWSTR name) {
  VARIANT value;
  if (FAILED(GetProperty(object, name, value))) return nullptr;
  if (value.vt == VT_DISPATCH && value.pdispVal) return value.pdispVal;  // the reference passes on
  VariantClear(&value);
  return nullptr;
}

}  // namespace win32
