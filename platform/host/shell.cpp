// Host platform: ShellExecuteW on the emulated machine's files, and the clock.
#include "platform/shell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtk/gtk.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "emulated_machine.h"
#include "item_id_list.h"
#include "overridable.h"
#include "text.h"

extern char** environ;

namespace {
constexpr std::uintptr_t kSeErrFileNotFound = 2;
constexpr std::uintptr_t kSeErrNoAssociation = 31;
constexpr std::uintptr_t kSuccess = 42;

HINSTANCE ShellResult(std::uintptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

bool Spawn(const std::vector<std::string>& argv, const std::string& directory) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  pid_t child = 0;
  const int failed = posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0;
}
}  // namespace

HINSTANCE ShellExecuteW(HWND, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, int) {
  if (!file || (operation && std::wstring(operation) != L"open")) return ShellResult(kSeErrNoAssociation);
  auto path = host::HostPathFromWindows(file);
  struct stat info {};
  if (!path || stat(path->c_str(), &info) != 0) return ShellResult(kSeErrFileNotFound);
  std::string workingDir;
  if (directory && *directory) workingDir = host::HostPathFromWindows(directory).value_or("");
  const bool executable = S_ISREG(info.st_mode) && access(path->c_str(), X_OK) == 0;
  std::vector<std::string> argv;
  if (executable) {
    argv.push_back(*path);
    // Parameters are passed as one argument text, as Windows hands them to the program.
    if (parameters && *parameters) argv.push_back(host::Utf8FromWide(parameters));
  } else {
    argv = {"xdg-open", *path};
  }
  return ShellResult(Spawn(argv, workingDir) ? kSuccess : kSeErrNoAssociation);
}

std::int64_t _time64(std::int64_t* timer) {
  const std::int64_t now = host::Overridable().wallClockSeconds();
  if (timer) *timer = now;
  return now;
}

PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* lpbi) {
  const std::string title = host::Utf8FromWide(lpbi && lpbi->lpszTitle ? lpbi->lpszTitle : L"");
  GtkWidget* chooser = gtk_file_chooser_dialog_new(title.c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER,
                                                   "取消", GTK_RESPONSE_CANCEL, "确定", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
  // Start on the machine's drives: they are the only folders with a Windows path.
  const std::string driveC = host::MachineRoot() + "/drive_c";
  gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), driveC.c_str());
  if (GDir* root = g_dir_open(host::MachineRoot().c_str(), 0, nullptr)) {
    while (const char* name = g_dir_read_name(root)) {
      if (std::strncmp(name, "drive_", 6) == 0 && std::strlen(name) == 7)
        gtk_file_chooser_add_shortcut_folder(GTK_FILE_CHOOSER(chooser), (host::MachineRoot() + "/" + name).c_str(),
                                             nullptr);
    }
    g_dir_close(root);
  }
  PIDLIST_ABSOLUTE item = nullptr;
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    if (char* picked = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
      item = new ITEMIDLIST{picked};
      g_free(picked);
    }
  }
  gtk_widget_destroy(chooser);
  return item;
}

BOOL SHGetPathFromIDListW(PIDLIST_ABSOLUTE pidl, LPWSTR pszPath) {
  if (!pidl || !pszPath) return FALSE;
  pszPath[0] = L'\0';
  auto windowsPath = host::WindowsPathFromHost(pidl->hostPath);
  if (!windowsPath || windowsPath->size() >= MAX_PATH) return FALSE;
  std::wcscpy(pszPath, windowsPath->c_str());
  return TRUE;
}

void CoTaskMemFree(void* pv) { delete static_cast<ITEMIDLIST*>(pv); }
