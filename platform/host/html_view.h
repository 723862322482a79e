// Host platform: the web view behind an HTML dialog (WebKitGTK), with the "res" scheme that
// serves the program's resources and the hooks for automation.
#pragma once

#include <webkit2/webkit2.h>

#include <string>

#include "platform/framework.h"

class HtmlViewHost {
 public:
  HtmlViewHost(CDHtmlDialog& owner, GtkWidget* window);
  ~HtmlViewHost();
  HtmlViewHost(const HtmlViewHost&) = delete;
  HtmlViewHost& operator=(const HtmlViewHost&) = delete;

  // Starts loading HTML resource htmlId; the owner's OnDocumentComplete follows.
  void Load(unsigned htmlId);

  // Runs a function body in the loaded page with named arguments and waits for its result,
  // spinning the main loop while queued messages, clicks and loads wait. Returns null (and
  // sets error) when no page is ready, the script failed or the page did not answer in time.
  JSCValue* CallInPage(const char* body, GVariant* arguments, std::string& error);

  // The address of a page: "res://" + the program file's full path + "/" + the id.
  static std::string PageAddress(unsigned htmlId);

 private:
  static void ServeResource(WebKitURISchemeRequest* request, gpointer self);
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static gboolean OnLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* uri, GError* error, gpointer self);
  static gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static void OnClose(WebKitWebView* view, gpointer self);
  static void OnClickMessage(WebKitUserContentManager* manager, WebKitJavascriptResult* message, gpointer self);
  static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer);
  static void OnAutomationStarted(WebKitWebContext* context, WebKitAutomationSession* session, gpointer self);
  static WebKitWebView* OnAutomationCreateWebView(WebKitAutomationSession* session, gpointer self);

  CDHtmlDialog& m_owner;
  WebKitWebContext* m_context = nullptr;
  WebKitWebView* m_view = nullptr;
  // A page is ready from the end of its load until the next load begins.
  bool m_documentReady = false;
  // The load that counts: the page last asked for. A load that failed, or was cancelled by a
  // newer one, reports no page.
  std::string m_pendingAddress;
  bool m_loadFailed = false;
  // Counts the documents shown; a click reported from an earlier one is dropped.
  unsigned m_document = 0;
};
