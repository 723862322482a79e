// Host platform: resource lookup in the GResource bundle linked into the program.
#include "resources.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gio/gio.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "host_window.h"
#include "text.h"

extern "C" void t6_register_resource(void);  // generated with the bundle

namespace host {

namespace {
void RegisterBundleOnce() {
  static std::once_flag once;
  std::call_once(once, [] { t6_register_resource(); });
}
}  // namespace

std::optional<std::string> FindResourceData(const std::string& type, unsigned id) {
  RegisterBundleOnce();
  const std::string path = "/t6/" + type + "/" + std::to_string(id);
  GBytes* bytes = g_resources_lookup_data(path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  if (!bytes) return std::nullopt;
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  std::string content(data ? data : "", size);
  g_bytes_unref(bytes);
  return content;
}

}  // namespace host

namespace {
// Any non-null value serves: the host has one module, the program itself.
HINSTANCE ProgramModule() { return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x400000)); }
}  // namespace

HINSTANCE AfxFindStringResourceHandle(UINT id) {
  return host::FindResourceData("STRING", id) ? ProgramModule() : nullptr;
}

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
  if (!instance || !buffer || bufferMax <= 0) return 0;
  auto data = host::FindResourceData("STRING", id);
  if (!data) {
    buffer[0] = L'\0';
    return 0;
  }
  std::wstring text = host::WideFromUtf8(*data);
  const int count = static_cast<int>(std::min<std::size_t>(text.size(), static_cast<std::size_t>(bufferMax - 1)));
  std::wmemcpy(buffer, text.data(), static_cast<std::size_t>(count));
  buffer[count] = L'\0';
  return count;
}

HICON CWinApp::LoadIcon(UINT resourceId) const {
  auto data = host::FindResourceData("ICON", resourceId);
  if (!data) return nullptr;
  GBytes* bytes = g_bytes_new(data->data(), data->size());
  GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_stream(stream, nullptr, nullptr);
  g_object_unref(stream);
  g_bytes_unref(bytes);
  return pixbuf ? new HICON__{pixbuf} : nullptr;
}
