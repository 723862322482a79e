// Win32 platform: the framework's internet session and HTTP file over WinINet.
#include "platform/internet.h"

#include <algorithm>
#include <string>

namespace {

// WinINet's own text for its error codes lives in wininet.dll's message table.
std::wstring TextOf(DWORD code) {
  WCHAR text[512] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      GetModuleHandleW(L"wininet.dll"), code, 0, text, 512, nullptr);
  std::wstring message(text, length);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) message.pop_back();
  return message.empty() ? L"网络错误 " + std::to_wstring(code) : message;
}

[[noreturn]] void Raise(DWORD code, const std::wstring& text = {}) {
  throw new CInternetException(code, text.empty() ? TextOf(code) : text);
}

[[noreturn]] void RaiseLastError() { Raise(GetLastError()); }

// A silent server cannot hang the installer: each receive gives up after this.
constexpr DWORD kReceiveTimeoutMs = 30000;

}  // namespace

// One GET request on an open session.
class HttpTransfer {
 public:
  explicit HttpTransfer(HINTERNET request) : m_request(request) {
    DWORD length = 0;
    DWORD size = sizeof length;
    DWORD index = 0;
    m_hasLength = HttpQueryInfoW(m_request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size,
                                 &index) != FALSE;
    // Lengths past 4 GB do not fit the numeric query; read the text instead.
    WCHAR text[32] = {};
    size = sizeof text;
    index = 0;
    if (HttpQueryInfoW(m_request, HTTP_QUERY_CONTENT_LENGTH, text, &size, &index)) {
      m_length = std::wcstoull(text, nullptr, 10);
      m_hasLength = true;
    } else {
      m_length = length;
    }
  }
  ~HttpTransfer() { InternetCloseHandle(m_request); }
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;

  bool HasLength() const { return m_hasLength; }
  std::uint64_t Length() const { return m_length; }

  UINT Read(void* buffer, UINT count) {
    DWORD read = 0;
    if (!InternetReadFile(m_request, buffer, count, &read)) RaiseLastError();
    m_received += read;
    // WinINet ends a response cut short as if it were complete: a body shorter than the
    // announced length is a broken connection, not a package.
    if (read == 0 && m_hasLength && m_received < m_length) Raise(ERROR_INTERNET_CONNECTION_ABORTED);
    return read;
  }

 private:
  HINTERNET m_request;
  bool m_hasLength = false;
  std::uint64_t m_length = 0;
  std::uint64_t m_received = 0;
};

CHttpFile::CHttpFile(std::unique_ptr<HttpTransfer> transfer) : m_transfer(std::move(transfer)) {}

CHttpFile::~CHttpFile() = default;

UINT CHttpFile::Read(void* buffer, UINT count) {
  if (!m_transfer) Raise(ERROR_INTERNET_INVALID_OPERATION, L"安装包的连接已经关闭");
  return m_transfer->Read(buffer, count);
}

std::uint64_t CHttpFile::SeekToEnd() {
  if (!m_transfer) Raise(ERROR_INTERNET_INVALID_OPERATION, L"安装包的连接已经关闭");
  if (!m_transfer->HasLength()) Raise(ERROR_INTERNET_INVALID_OPERATION, L"服务器没有告知安装包的大小");
  return m_transfer->Length();
}

void CHttpFile::SeekToBegin() {
  // Nothing has been read yet when the program asks; the position is the start already.
}

void CHttpFile::Close() { m_transfer.reset(); }

CInternetSession::CInternetSession(LPCWSTR agent, DWORD, DWORD, LPCWSTR, LPCWSTR, DWORD)
    : m_agent(agent ? agent : L"") {}

CInternetSession::~CInternetSession() { Close(); }

CHttpFile* CInternetSession::OpenURL(LPCWSTR url, DWORD, DWORD flags, LPCWSTR headers, DWORD headersLength) {
  HINTERNET& session = m_hSession;
  if (!session) {
    session = InternetOpenW(m_agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session) RaiseLastError();
    DWORD timeout = kReceiveTimeoutMs;
    InternetSetOptionW(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
  }
  // Always from the server, never from a cache on the way or on this machine.
  const DWORD requestFlags = flags | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
  HINTERNET request = InternetOpenUrlW(session, url ? url : L"", headers, headers ? headersLength : 0, requestFlags, 1);
  if (!request) RaiseLastError();
  DWORD status = 0;
  DWORD size = sizeof status;
  DWORD index = 0;
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &index)) {
    InternetCloseHandle(request);
    Raise(ERROR_HTTP_INVALID_SERVER_RESPONSE);
  }
  if (status < 200 || status > 299) {
    // An error page is no package, whatever its length.
    WCHAR reason[256] = {};
    size = sizeof reason - sizeof(WCHAR);
    index = 0;
    std::wstring text;
    if (HttpQueryInfoW(request, HTTP_QUERY_STATUS_TEXT, reason, &size, &index)) text = reason;
    InternetCloseHandle(request);
    Raise(ERROR_HTTP_INVALID_SERVER_RESPONSE,
          L"服务器答复 HTTP " + std::to_wstring(status) + (text.empty() ? L"" : L" " + text) + L"，没有提供安装包");
  }
  return new CHttpFile(std::make_unique<HttpTransfer>(request));
}

void CInternetSession::Close() {
  if (m_hSession) InternetCloseHandle(m_hSession);
  m_hSession = nullptr;
}
