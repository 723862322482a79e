// Win32 platform: the web browser control behind an HTML dialog, hosted in place over the
// dialog's client area, and the dispatch calls by name that reach into its document.
#pragma once

#include <exdisp.h>
#include <mshtmhst.h>

#include <string>
#include <vector>

#include "platform/framework.h"

class HtmlViewHost {
 public:
  HtmlViewHost(CDHtmlDialog& owner, HWND parent);
  ~HtmlViewHost();
  HtmlViewHost(const HtmlViewHost&) = delete;
  HtmlViewHost& operator=(const HtmlViewHost&) = delete;

  // Starts loading HTML resource htmlId; the owner's OnDocumentComplete follows.
  void Load(unsigned htmlId);
  // The loaded page's document, or null while no page is loaded or one is loading. Not added
  // to: the caller borrows it.
  IDispatch* Document() const { return m_documentReady ? m_document : nullptr; }

  // The page address: "res://" + the program file's full path + "/" + the id.
  static std::wstring PageAddress(unsigned htmlId);

  // From the dialog procedure: the client area changed, or the window is going away.
  static void OnParentSize(HWND parent);
  static void OnParentDestroy(HWND parent);

  // Called by the control's event sink and the document's click handler.
  void OnBeforeNavigate();
  void OnDocumentComplete(IDispatch* frame, const std::wstring& url);
  void OnDocumentClick();
  HRESULT OnContextMenu() { return m_owner.ShowContextMenu(); }
  HWND Parent() const { return m_parent; }

 private:
  void Resize();
  void Close();

  class Site;
  class EventSink;
  class ClickSink;

  CDHtmlDialog& m_owner;
  HWND m_parent;
  Site* m_site = nullptr;
  EventSink* m_events = nullptr;
  ClickSink* m_clicks = nullptr;
  IOleObject* m_object = nullptr;
  IWebBrowser2* m_browser = nullptr;
  IConnectionPoint* m_connection = nullptr;
  DWORD m_cookie = 0;
  IDispatch* m_document = nullptr;
  bool m_documentReady = false;
};

// Late-bound calls on a script object by member name.
namespace win32 {
HRESULT GetProperty(IDispatch* object, LPCWSTR name, VARIANT& value);
HRESULT PutProperty(IDispatch* object, LPCWSTR name, const VARIANT& value);
// Arguments in their natural order (reversed into the call as automation wants them).
HRESULT CallMethod(IDispatch* object, LPCWSTR name, const std::vector<VARIANT>& arguments, VARIANT* result);
// The object a property holds (an element, the window, the event), added to; null if none.
IDispatch* GetChildObject(IDispatch* object, LPCWSTR name);
}  // namespace win32
