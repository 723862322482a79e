// Host platform: the application object, the program's entry and message boxes on GTK.
#include <gtk/gtk.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "emulated_machine.h"
#include "message_queue.h"
#include "spooler.h"
#include "platform/framework.h"
#include "text.h"

namespace {
CWinApp* g_app = nullptr;

std::string ProgramPath() {
  char path[PATH_MAX] = {};
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

std::wstring NameWithoutExtension(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  auto dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return host::WideFromUtf8(name);
}

// The argument text as Windows keeps it: the command line after the program name.
std::wstring ArgumentText(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    std::string argument = argv[i];
    bool quote = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
    text += quote ? "\"" + argument + "\"" : argument;
  }
  return host::WideFromUtf8(text);
}
}  // namespace

CWinApp::CWinApp(LPCWSTR appName) {
  if (appName) m_strAppName = appName;
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

CWinApp* AfxGetApp() { return g_app; }

LPCWSTR AfxGetAppName() { return g_app ? g_app->m_strAppName.c_str() : L""; }

void AfxEnableControlContainer() {
  // The web view is an ordinary GTK widget; there is no control container to enable.
}

int AfxMessageBox(LPCWSTR text, UINT type, UINT helpId) {
  const std::string caption = g_app ? host::Utf8FromWide(g_app->m_strAppName) : std::string();
  const std::string message = host::Utf8FromWide(text ? text : L"");
  // Also on stderr: the host build is run from terminals and tests, where a dialog alone is
  // easy to miss.
  std::fprintf(stderr, "[%s] %s\n", caption.c_str(), message.c_str());
  GtkMessageType kind = GTK_MESSAGE_WARNING;  // the framework's default exclamation icon
  switch (type & 0xF0) {
    case MB_ICONERROR: kind = GTK_MESSAGE_ERROR; break;
    case MB_ICONINFORMATION: kind = GTK_MESSAGE_INFO; break;
    default: break;
  }
  GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, kind, GTK_BUTTONS_NONE, "%s", message.c_str());
  gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
  gtk_dialog_add_button(GTK_DIALOG(box), "确定", IDOK);
  if ((type & 0x0F) == MB_OKCANCEL) gtk_dialog_add_button(GTK_DIALOG(box), "取消", IDCANCEL);
  const int answer = gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
  return answer == IDOK || answer == IDCANCEL ? answer : IDCANCEL;
}

int RunApplication(int argc, char** argv) {
  CWinApp* app = AfxGetApp();
  const std::string programPath = ProgramPath();
  const std::wstring programName = NameWithoutExtension(programPath.empty() ? argv[0] : programPath);
  if (!app) {
    std::fprintf(stderr, "%s: no application object\n", host::Utf8FromWide(programName).c_str());
    return 1;
  }
  if (app->m_strAppName.empty()) app->m_strAppName = programName;
  app->m_strCmdLine = ArgumentText(argc, argv);
  const std::string appName = host::Utf8FromWide(app->m_strAppName);

  std::string error;
  if (!host::LoadEmulatedMachine(error)) {
    std::fprintf(stderr, "%s: %s\n", appName.c_str(), error.c_str());
    return 2;
  }
  // The machine's printer and forms are there from its first start, as on Windows.
  host::PrepareSpooler();
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "%s: cannot open the display (is DISPLAY set?)\n", appName.c_str());
    return 1;
  }
  host::SetUiThread();
  app->InitInstance();
  // The process ends here, as on Windows: workers that still run end with it, without running
  // static destructors under their feet.
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(0);
}
