// The pages' content policy on the real web view: script on a page reaches nothing but the
// program's own resources.
#include <arpa/inet.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "dialog_probe.h"
#include "resources/resource_ids.h"
#include "unit/test_machine.h"

namespace {

// A loopback port that only counts who connects to it.
class ConnectionCounter {
 public:
  ConnectionCounter() {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_fd, 16);
    socklen_t size = sizeof address;
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
    m_port = ntohs(address.sin_port);
  }
  ~ConnectionCounter() { close(m_fd); }
  int Port() const { return m_port; }
  int Accepted() {
    for (int client; (client = accept(m_fd, nullptr, nullptr)) >= 0;) {
      close(client);
      ++m_accepted;
    }
    return m_accepted;
  }

 private:
  int m_fd = -1;
  int m_port = 0;
  int m_accepted = 0;
};

void RunTheLoopFor(unsigned ms) {
  const gint64 end = g_get_monotonic_time() + ms * 1000;
  while (g_get_monotonic_time() < end) g_main_context_iteration(nullptr, FALSE), g_usleep(2000);
}

TEST(PagePolicy, ScriptOnAPageCannotReachTheNetwork) {
  TestMachine machine("[drive.c]\nfree_bytes = 53687091200\n");
  SetTestArguments(L"");
  ConnectionCounter remote;
  const std::wstring base = L"http://127.0.0.1:" + std::to_wstring(remote.Port());
  // Control: the same loopback port is reachable from the test itself.
  {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(remote.Port()));
    ASSERT_EQ(0, connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address));
    close(probe);
    RunTheLoopFor(100);
    ASSERT_EQ(1, remote.Accepted());
  }
  std::vector<std::wstring> pages;
  std::wstring ownImages;
  DialogProbe dialog([&](DialogProbe& d, const std::wstring& page) {
    pages.push_back(page);
    const std::wstring script =
        L"var i = document.createElement('img'); i.src = '" + base + L"/image.png'; document.body.appendChild(i);"
        L"var l = document.createElement('link'); l.rel = 'stylesheet'; l.href = '" + base + L"/style.css';"
        L"document.head.appendChild(l);"
        L"try { fetch('" + base + L"/fetch').catch(function () {}); } catch (e) {}"
        L"try { var x = new XMLHttpRequest(); x.open('GET', '" + base + L"/xhr'); x.send(); } catch (e) {}"
        L"try { new WebSocket('ws://127.0.0.1:" + std::to_wstring(remote.Port()) + L"/ws'); } catch (e) {}"
        L"document.body.style.backgroundImage = 'url(" + base + L"/background.png)';";
    d.Run(script);
    RunTheLoopFor(800);
    // The program's own images still load under the policy.
    ownImages += d.Eval(L"String(Array.prototype.every.call(document.images, function (i) {"
                        L"  return i.src.indexOf('res:') != 0 || i.naturalWidth > 0; }))");
    if (page == L"132") d.LoadFromResource(IDR_HTML_INSTALLED);
    else d.EndDialog(IDOK);
  });
  dialog.DoModal();
  EXPECT_FALSE(dialog.TimedOut());
  EXPECT_EQ((std::vector<std::wstring>{L"132", L"136"}), pages);
  EXPECT_EQ(L"truetrue", ownImages);
  EXPECT_EQ(1, remote.Accepted()) << "a page reached a remote address";
}

}  // namespace
