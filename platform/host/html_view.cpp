// Host platform: WebKitGTK web view, "res" resource scheme, navigation guard and automation.
#include "html_view.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "message_queue.h"
#include "resources.h"
#include "text.h"

namespace {

bool AutomationRequested() {
  const char* value = std::getenv("T6_AUTOMATION");
  return value && std::strcmp(value, "1") == 0;
}

std::string ProgramFilePath() {
  char path[PATH_MAX] = {};
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string("/T6InternetInstaller");
}

struct ResourceAddress {
  std::string type;
  unsigned id = 0;
  bool valid = false;
};

bool ParseId(const std::string& text, unsigned& id) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  id = static_cast<unsigned>(std::stoul(text));
  return true;
}

// "res:/png/#144" names resource type PNG, id 144 (the fragment holds the id); a page address
// "res://<program>/132" names HTML resource 132.
ResourceAddress ParseResourceAddress(const char* uri) {
  ResourceAddress address;
  GUri* parsed = g_uri_parse(uri, G_URI_FLAGS_NONE, nullptr);
  if (!parsed) return address;
  const std::string path = g_uri_get_path(parsed) ? g_uri_get_path(parsed) : "";
  const char* fragment = g_uri_get_fragment(parsed);
  if (fragment && *fragment) {
    std::string type = path;
    type.erase(0, type.find_first_not_of('/'));
    if (!type.empty() && type.back() == '/') type.pop_back();
    for (char& c : type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string id = fragment[0] == '#' ? fragment + 1 : fragment;
    address.type = type;
    address.valid = !type.empty() && type.find('/') == std::string::npos && ParseId(id, address.id);
  } else {
    address.type = "HTML";
    address.valid = ParseId(path.substr(path.find_last_of('/') + 1), address.id);
  }
  g_uri_unref(parsed);
  return address;
}

// Reports every click to the program after the page's own handlers have run: the listener sits
// on the document, where a click arrives last while bubbling up from the element clicked.
constexpr const char* kClickListener = R"JS(
document.addEventListener('click', function (event) {
  if (event.button !== 0) return;  // the program reacts to the primary button only
  var target = event.target;
  if (!target || target.nodeType !== 1) return;
  var attributes = {};
  for (var i = 0; i < target.attributes.length; i++)
    attributes[target.attributes[i].name] = target.attributes[i].value;
  window.webkit.messageHandlers.t6click.postMessage(
      {id: target.id || '', tag: target.tagName, attributes: attributes});
}, false);
)JS";

std::wstring StringProperty(JSCValue* object, const char* name) {
  JSCValue* value = jsc_value_object_get_property(object, name);
  std::wstring text;
  if (value && jsc_value_is_string(value)) {
    char* utf8 = jsc_value_to_string(value);
    text = host::WideFromUtf8(utf8);
    g_free(utf8);
  }
  if (value) g_object_unref(value);
  return text;
}

// How long a page call may take before the program gives up on it rather than freeze.
constexpr guint kPageCallTimeoutMs = 5000;

struct PendingCall {
  bool done = false;
  bool timedOut = false;
  JSCValue* value = nullptr;
  std::string error;
};

const char* ContentType(const std::string& type) {
  if (type == "HTML") return "text/html; charset=utf-8";
  if (type == "CSS") return "text/css; charset=utf-8";
  if (type == "PNG") return "image/png";
  return "application/octet-stream";
}

}  // namespace

HtmlViewHost::HtmlViewHost(CDHtmlDialog& owner, GtkWidget* window) : m_owner(owner) {
  const bool automation = AutomationRequested();
  m_context = webkit_web_context_new();
  webkit_web_context_register_uri_scheme(m_context, "res", &HtmlViewHost::ServeResource, this, nullptr);
  WebKitSecurityManager* security = webkit_web_context_get_security_manager(m_context);
  webkit_security_manager_register_uri_scheme_as_local(security, "res");
  webkit_security_manager_register_uri_scheme_as_secure(security, "res");
  if (automation) {
    // Lets WebKitWebDriver attach to this view; never on unless asked for in the environment.
    webkit_web_context_set_automation_allowed(m_context, TRUE);
    g_signal_connect(m_context, "automation-started", G_CALLBACK(&HtmlViewHost::OnAutomationStarted), this);
  }
  WebKitUserContentManager* content = webkit_user_content_manager_new();
  WebKitUserScript* listener = webkit_user_script_new(kClickListener, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                                      WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(content, listener);
  webkit_user_script_unref(listener);
  webkit_user_content_manager_register_script_message_handler(content, "t6click");
  g_signal_connect(content, "script-message-received::t6click", G_CALLBACK(&HtmlViewHost::OnClickMessage), this);
  m_view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", m_context, "user-content-manager",
                                        content, "is-controlled-by-automation", automation ? TRUE : FALSE, nullptr));
  g_object_unref(content);
  WebKitSettings* settings = webkit_web_view_get_settings(m_view);
  webkit_settings_set_enable_developer_extras(settings, FALSE);
  webkit_settings_set_enable_back_forward_navigation_gestures(settings, FALSE);
  // Seven small pages need no GPU compositing; without a GPU it is emulated in software and
  // costs a processor core for the turning ring of the download page, which the download
  // itself needs.
  webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  g_signal_connect(m_view, "load-changed", G_CALLBACK(&HtmlViewHost::OnLoadChanged), this);
  g_signal_connect(m_view, "load-failed", G_CALLBACK(&HtmlViewHost::OnLoadFailed), this);
  g_signal_connect(m_view, "decide-policy", G_CALLBACK(&HtmlViewHost::OnDecidePolicy), this);
  g_signal_connect(m_view, "context-menu", G_CALLBACK(&HtmlViewHost::OnContextMenu), this);
  g_signal_connect(m_view, "close", G_CALLBACK(&HtmlViewHost::OnClose), this);
  gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(m_view));
}

HtmlViewHost::~HtmlViewHost() {
  if (m_context) g_object_unref(m_context);
}

std::string HtmlViewHost::PageAddress(unsigned htmlId) {
  return "res://" + ProgramFilePath() + "/" + std::to_string(htmlId);
}

void HtmlViewHost::Load(unsigned htmlId) {
  // The old page is no longer the one to talk to, even before the web view reports the start.
  m_documentReady = false;
  ++m_document;
  m_loadFailed = false;
  m_pendingAddress = PageAddress(htmlId);
  webkit_web_view_load_uri(m_view, m_pendingAddress.c_str());
}

JSCValue* HtmlViewHost::CallInPage(const char* body, GVariant* arguments, std::string& error) {
  if (!m_documentReady) {
    if (arguments) g_variant_unref(g_variant_ref_sink(arguments));
    error = "no page is ready";
    return nullptr;
  }
  host::DispatchHold hold;
  // Shared with the callbacks, which may outlive this call when the page does not answer.
  auto* pending = new std::shared_ptr<PendingCall>(std::make_shared<PendingCall>());
  auto call = *pending;
  webkit_web_view_call_async_javascript_function(
      m_view, body, -1, arguments, nullptr, nullptr, nullptr,
      [](GObject* view, GAsyncResult* result, gpointer data) {
        auto* state = static_cast<std::shared_ptr<PendingCall>*>(data);
        GError* failure = nullptr;
        JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(view), result, &failure);
        if (failure) {
          (*state)->error = failure->message;
          g_error_free(failure);
        }
        if ((*state)->timedOut) {
          if (value) g_object_unref(value);
        } else {
          (*state)->value = value;
        }
        (*state)->done = true;
        delete state;
      },
      pending);
  auto* timer = new std::shared_ptr<PendingCall>(call);
  const guint timeout = g_timeout_add_full(
      G_PRIORITY_DEFAULT, kPageCallTimeoutMs,
      [](gpointer data) {
        (*static_cast<std::shared_ptr<PendingCall>*>(data))->timedOut = true;
        return G_SOURCE_REMOVE;
      },
      timer, [](gpointer data) { delete static_cast<std::shared_ptr<PendingCall>*>(data); });
  while (!call->done && !call->timedOut) g_main_context_iteration(nullptr, TRUE);
  if (!call->timedOut) g_source_remove(timeout);
  if (!call->done) {
    error = "the page did not answer";
    return nullptr;
  }
  if (!call->value) error = call->error.empty() ? "no result" : call->error;
  return call->value;
}

void HtmlViewHost::ServeResource(WebKitURISchemeRequest* request, gpointer) {
  const ResourceAddress address = ParseResourceAddress(webkit_uri_scheme_request_get_uri(request));
  auto data = address.valid ? host::FindResourceData(address.type, address.id) : std::nullopt;
  if (!data) {
    GError* error = g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "the program has no resource %s",
                                webkit_uri_scheme_request_get_uri(request));
    webkit_uri_scheme_request_finish_error(request, error);
    g_error_free(error);
    return;
  }
  GBytes* bytes = g_bytes_new(data->data(), data->size());
  GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
  WebKitURISchemeResponse* response = webkit_uri_scheme_response_new(stream, static_cast<gint64>(data->size()));
  webkit_uri_scheme_response_set_content_type(response, ContentType(address.type));
  webkit_uri_scheme_request_finish_with_response(request, response);
  g_object_unref(response);
  g_object_unref(stream);
  g_bytes_unref(bytes);
}

void HtmlViewHost::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self) {
  auto* host = static_cast<HtmlViewHost*>(self);
  const char* uri = webkit_web_view_get_uri(view);
  if (event == WEBKIT_LOAD_STARTED) {
    host->m_documentReady = false;
    if (host->m_pendingAddress.empty()) {
      // A navigation the program did not ask for (an automation client's).
      host->m_loadFailed = false;
      ++host->m_document;
    }
  }
  if (event != WEBKIT_LOAD_FINISHED) return;
  // The view's address is already the newest request's while an older load still ends, so the
  // page that ended is told by its document, the main resource.
  WebKitWebResource* document = webkit_web_view_get_main_resource(view);
  uri = document ? webkit_web_resource_get_uri(document) : nullptr;
  // While the program waits for a page, only that page counts: the end of an older load (one
  // the newer request cancelled, or one that ended just after it) is no page.
  if (!uri || (!host->m_pendingAddress.empty() && host->m_pendingAddress != uri)) return;
  host->m_pendingAddress.clear();
  if (host->m_loadFailed) return;
  host->m_documentReady = true;
  std::wstring address = host::WideFromUtf8(uri);
  CDHtmlDialog* owner = &host->m_owner;
  // Through the queue, so a load never completes in the middle of another handler.
  host::PostUiTask([owner, address] { owner->OnDocumentComplete(address.c_str()); });
}

gboolean HtmlViewHost::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer self) {
  auto* host = static_cast<HtmlViewHost*>(self);
  // A load cancelled by a newer one says nothing about the newer one, which reports itself.
  const bool cancelled = g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED);
  if (!cancelled && uri && (host->m_pendingAddress.empty() || host->m_pendingAddress == uri))
    host->m_loadFailed = true;
  return FALSE;
}

gboolean HtmlViewHost::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                      gpointer) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  // The wizard shows only the program's own pages; a link elsewhere goes nowhere.
  if (!uri || std::strncmp(uri, "res:", 4) != 0) {
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  return FALSE;
}

void HtmlViewHost::OnClose(WebKitWebView*, gpointer self) {
  // The page's window.close() or an automation client closing the window: a cancel, as when
  // the window is closed from outside.
  CDHtmlDialog* owner = &static_cast<HtmlViewHost*>(self)->m_owner;
  host::PostUiTask([owner] { owner->OnCancel(); });
}

gboolean HtmlViewHost::OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                     gpointer self) {
  return static_cast<HtmlViewHost*>(self)->m_owner.ShowContextMenu() == S_OK ? TRUE : FALSE;
}

void HtmlViewHost::OnClickMessage(WebKitUserContentManager*, WebKitJavascriptResult* message, gpointer self) {
  JSCValue* value = webkit_javascript_result_get_js_value(message);
  if (!value || !jsc_value_is_object(value)) return;
  auto element = std::make_shared<IHTMLElement>();
  element->id = StringProperty(value, "id");
  element->tagName = StringProperty(value, "tag");
  if (JSCValue* attributes = jsc_value_object_get_property(value, "attributes")) {
    if (jsc_value_is_object(attributes)) {
      gchar** names = jsc_value_object_enumerate_properties(attributes);
      for (gchar** name = names; name && *name; ++name)
        element->attributes[host::WideFromUtf8(*name)] = StringProperty(attributes, *name);
      g_strfreev(names);
    }
    g_object_unref(attributes);
  }
  auto* view = static_cast<HtmlViewHost*>(self);
  const unsigned document = view->m_document;
  // A click that waited while the program moved to another page belongs to no page now.
  host::PostUiTask([view, element, document] {
    if (view->m_document == document) view->m_owner.OnHtmlElementClick(element.get());
  });
}

void HtmlViewHost::OnAutomationStarted(WebKitWebContext*, WebKitAutomationSession* session, gpointer self) {
  g_signal_connect(session, "create-web-view", G_CALLBACK(&HtmlViewHost::OnAutomationCreateWebView), self);
}

WebKitWebView* HtmlViewHost::OnAutomationCreateWebView(WebKitAutomationSession*, gpointer self) {
  return static_cast<HtmlViewHost*>(self)->m_view;
}
