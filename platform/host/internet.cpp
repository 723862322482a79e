// Host platform: the internet session and HTTP file over libcurl, read in caller-sized pieces.
#include <curl/curl.h>
#include <glib.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "platform/internet.h"
#include "overridable.h"
#include "text.h"

namespace {

using Clock = std::chrono::steady_clock;

// WinINet's default: a server that does not accept the connection is given up on after this.
constexpr long kConnectTimeoutMs = 30000;
// Data buffered ahead of the reader before the transfer is held back.
constexpr std::size_t kBufferHighWater = 1 << 20;
constexpr long kMaxRedirects = 10;
constexpr long kReceiveBuffer = 512 * 1024;

struct ErrorText {
  DWORD code;
  const wchar_t* text;
};

// The program's own texts for the internet errors it can meet.
constexpr ErrorText kErrorTexts[] = {
    {ERROR_INTERNET_TIMEOUT, L"连接服务器超时"},
    {ERROR_INTERNET_INTERNAL_ERROR, L"网络组件内部出错"},
    {ERROR_INTERNET_INVALID_URL, L"下载地址无效"},
    {ERROR_INTERNET_UNRECOGNIZED_SCHEME, L"无法识别下载地址的协议"},
    {ERROR_INTERNET_NAME_NOT_RESOLVED, L"无法解析服务器的名称"},
    {ERROR_INTERNET_INVALID_OPERATION, L"服务器没有告知安装包的大小"},
    {ERROR_INTERNET_CANNOT_CONNECT, L"无法连接到服务器"},
    {ERROR_INTERNET_CONNECTION_ABORTED, L"与服务器的连接意外中断，数据不完整"},
    {ERROR_INTERNET_CONNECTION_RESET, L"与服务器的连接被重置"},
    {ERROR_HTTP_INVALID_SERVER_RESPONSE, L"服务器的答复无效"},
    {ERROR_HTTP_REDIRECT_FAILED, L"服务器的转向无法跟随"},
};

// What a few transfer failures mean here, in the words the user reads.
const wchar_t* const kTooManyRedirects = L"服务器转向的次数过多（超过 10 次），可能转向成了循环";
const wchar_t* const kRedirectToOtherProtocol = L"服务器把下载转向了 HTTP 和 HTTPS 以外的协议，没有跟随";
const wchar_t* const kRedirectToHttp = L"服务器把 HTTPS 下载转向了不加密的 HTTP，没有跟随";
const wchar_t* const kHeadersTooLarge = L"服务器答复的头部过大，无法处理";
const wchar_t* const kNoHttpStatus = L"服务器的答复没有 HTTP 状态行（不是 HTTP/1.x 的答复）";
const wchar_t* const kLengthsDisagree = L"服务器答复的长度（Content-Length）前后矛盾，安装包不可信";

std::wstring TextOf(DWORD code) {
  for (const ErrorText& entry : kErrorTexts)
    if (entry.code == code) return entry.text;
  return L"网络错误 " + std::to_wstring(code);
}

[[noreturn]] void Raise(DWORD code, const std::wstring& text = {}) {
  throw new CInternetException(code, text.empty() ? TextOf(code) : text);
}

DWORD ErrorOf(CURLcode result) {
  switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_PARTIAL_FILE: return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    default: return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

// One GET request, driven by whoever reads: the transfer moves on only inside Open and Read,
// holding at most a little more than kBufferHighWater bytes ahead of the reader.
class HttpTransfer {
 public:
  HttpTransfer(const std::string& url, const std::string& agent) {
    InitialiseCurlOnce();
    m_firstUrl = url;
    m_easy = curl_easy_init();
    m_multi = curl_multi_init();
    if (!m_easy || !m_multi) Raise(ERROR_INTERNET_INTERNAL_ERROR);
    curl_easy_setopt(m_easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(m_easy, CURLOPT_USERAGENT, agent.c_str());
    // An HTTP request, and redirects to HTTP or HTTPS only: a redirect must not turn the
    // package into an FTP, file or any other download.
    // An HTTPS package is never redirected to plain HTTP, as WinINet refuses it by default.
    curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(m_easy, CURLOPT_REDIR_PROTOCOLS_STR, IsHttps(url) ? "https" : "http,https");
    curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, m_curlError);
    curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(m_easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    // Large receives: a 16 KB buffer took a system call and a pass through the transfer per 16 KB.
    curl_easy_setopt(m_easy, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    // Always from the server, never from a cache on the way.
    curl_easy_setopt(m_easy, CURLOPT_FRESH_CONNECT, 1L);
    m_noCache = curl_slist_append(nullptr, "Cache-Control: no-cache");
    m_noCache = curl_slist_append(m_noCache, "Pragma: no-cache");
    curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_noCache);
    curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &HttpTransfer::OnHeader);
    curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &HttpTransfer::OnData);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    curl_multi_add_handle(m_multi, m_easy);
  }

  ~HttpTransfer() {
    if (m_multi && m_easy) curl_multi_remove_handle(m_multi, m_easy);
    if (m_easy) curl_easy_cleanup(m_easy);
    if (m_multi) curl_multi_cleanup(m_multi);
    curl_slist_free_all(m_noCache);
  }

  // Sends the request and waits for the response headers.
  void AwaitHeaders() {
    auto lastProgress = Clock::now();
    while (!m_headersDone && !m_finished) Pump(lastProgress);
    if (!m_headersDone && m_result != CURLE_OK) RaiseTransferError();
    if (m_lengthsDisagree) Raise(ERROR_HTTP_INVALID_SERVER_RESPONSE, kLengthsDisagree);
    long status = 0;
    curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) {
      // An error page is no package, whatever its length.
      std::wstring reason = host::WideFromUtf8(m_reason);
      Raise(ERROR_HTTP_INVALID_SERVER_RESPONSE,
            L"服务器答复 HTTP " + std::to_wstring(status) + (reason.empty() ? L"" : L" " + reason) + L"，没有提供安装包");
    }
  }

  // The announced length, or -1 when the server announced none.
  curl_off_t Length() const {
    curl_off_t length = -1;
    curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    return length;
  }

  UINT Read(void* buffer, UINT count) {
    auto lastProgress = Clock::now();
    while (Buffered() == 0 && !m_finished) {
      if (m_paused) {
        m_paused = false;
        curl_easy_pause(m_easy, CURLPAUSE_CONT);
      }
      Pump(lastProgress);
    }
    if (Buffered() == 0) {
      if (m_result != CURLE_OK) RaiseTransferError();
      return 0;
    }
    const std::size_t n = std::min<std::size_t>(count, Buffered());
    std::memcpy(buffer, m_buffer.data() + m_readPos, n);
    m_readPos += n;
    if (m_readPos == m_buffer.size()) {
      m_buffer.clear();
      m_readPos = 0;
    }
    return static_cast<UINT>(n);
  }

 private:
  std::size_t Buffered() const { return m_buffer.size() - m_readPos; }

  // The failed transfer's error, with a text that says what the server did where curl's code
  // alone would only say "internal error".
  [[noreturn]] void RaiseTransferError() const {
    switch (m_result) {
      case CURLE_TOO_MANY_REDIRECTS: Raise(ERROR_HTTP_REDIRECT_FAILED, kTooManyRedirects);
      case CURLE_UNSUPPORTED_PROTOCOL:
        // An answer without a status line (HTTP/0.9, also after a redirect); a redirect whose
        // address curl refused to follow; otherwise the address itself is not HTTP.
        if (std::strstr(m_curlError, "HTTP/0.9")) Raise(ERROR_HTTP_INVALID_SERVER_RESPONSE, kNoHttpStatus);
        if (m_lastStatus >= 300 && m_lastStatus < 400) {
          Raise(ERROR_HTTP_REDIRECT_FAILED, IsHttps(m_firstUrl) && IsHttp(m_location) ? kRedirectToHttp
                                                                                      : kRedirectToOtherProtocol);
        }
        Raise(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
      case CURLE_OUT_OF_MEMORY:
        // curl gives up on a header block beyond its limit this way.
        if (!m_headersDone) Raise(ERROR_HTTP_INVALID_SERVER_RESPONSE, kHeadersTooLarge);
        Raise(ERROR_INTERNET_INTERNAL_ERROR);
      default: Raise(ErrorOf(m_result));
    }
  }

  static bool IsHttp(const std::string& url) { return g_ascii_strncasecmp(url.c_str(), "http://", 7) == 0; }
  static bool IsHttps(const std::string& url) { return g_ascii_strncasecmp(url.c_str(), "https://", 8) == 0; }

  // Content-Length as the header gives it (a list of equal values is one value); false when it
  // is no number or the list disagrees with itself or with an earlier header.
  bool TakeLength(const std::string& value) {
    std::size_t pos = 0;
    while (pos <= value.size()) {
      std::size_t end = value.find(',', pos);
      if (end == std::string::npos) end = value.size();
      std::string item = value.substr(pos, end - pos);
      while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.erase(item.begin());
      while (!item.empty() && (item.back() == ' ' || item.back() == '\t' || item.back() == '\r' || item.back() == '\n'))
        item.pop_back();
      if (item.empty() || item.find_first_not_of("0123456789") != std::string::npos) return false;
      if (!m_announcedLength.empty() && m_announcedLength != item) return false;
      m_announcedLength = item;
      pos = end + 1;
    }
    return true;
  }

  // Moves the transfer on once; raises the receive time-out when nothing arrives for too long.
  void Pump(Clock::time_point& lastProgress) {
    const std::size_t before = m_progressBytes;
    int running = 0;
    curl_multi_perform(m_multi, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &queued)) {
      if (message->msg == CURLMSG_DONE) {
        m_finished = true;
        m_result = message->data.result;
      }
    }
    if (m_progressBytes != before) lastProgress = Clock::now();
    if (m_finished || m_paused) return;
    // The receive time-out: a silent server cannot hang the installer.
    if (Clock::now() - lastProgress > std::chrono::milliseconds(host::Overridable().receiveTimeoutMs))
      Raise(ERROR_INTERNET_TIMEOUT);
    curl_multi_poll(m_multi, nullptr, 0, 200, nullptr);
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* transfer = static_cast<HttpTransfer*>(self);
    transfer->m_progressBytes += size * count;
    const std::string line(data, size * count);
    if (line.rfind("HTTP/", 0) == 0) {
      // A new response (after a redirect or an interim answer): its own headers count.
      transfer->m_announcedLength.clear();
      transfer->m_lengthsDisagree = false;
      // "HTTP/1.1 404 Not Found": keep the reason phrase for the error text.
      auto space = line.find(' ', line.find(' ') + 1);
      transfer->m_reason = space == std::string::npos ? "" : line.substr(space + 1);
      while (!transfer->m_reason.empty() && (transfer->m_reason.back() == '\r' || transfer->m_reason.back() == '\n'))
        transfer->m_reason.pop_back();
    } else if (line == "\r\n" || line == "\n") {
      long status = 0;
      curl_easy_getinfo(transfer->m_easy, CURLINFO_RESPONSE_CODE, &status);
      transfer->m_lastStatus = status;
      // Interim answers and redirects that curl follows are not the response yet.
      if (status >= 200 && (status < 300 || status >= 400)) transfer->m_headersDone = true;
    } else if (line.size() > 9 && g_ascii_strncasecmp(line.c_str(), "location:", 9) == 0) {
      transfer->m_location = line.substr(9);
      while (!transfer->m_location.empty() && std::isspace(static_cast<unsigned char>(transfer->m_location.front())))
        transfer->m_location.erase(transfer->m_location.begin());
    } else if (line.size() > 15 && g_ascii_strncasecmp(line.c_str(), "content-length:", 15) == 0) {
      if (!transfer->TakeLength(line.substr(15))) transfer->m_lengthsDisagree = true;
    }
    return size * count;
  }

  static size_t OnData(char* data, size_t size, size_t count, void* self) {
    auto* transfer = static_cast<HttpTransfer*>(self);
    transfer->m_headersDone = true;
    if (transfer->Buffered() >= kBufferHighWater) {
      transfer->m_paused = true;
      return CURL_WRITEFUNC_PAUSE;  // delivered again once the reader has caught up
    }
    transfer->m_buffer.insert(transfer->m_buffer.end(), data, data + size * count);
    transfer->m_progressBytes += size * count;
    return size * count;
  }

  CURL* m_easy = nullptr;
  CURLM* m_multi = nullptr;
  curl_slist* m_noCache = nullptr;
  std::vector<char> m_buffer;
  std::size_t m_readPos = 0;
  std::size_t m_progressBytes = 0;  // header and body bytes so far: the time-out's measure
  std::string m_reason;
  std::string m_firstUrl;
  std::string m_location;         // the last redirect's address, as the server wrote it
  char m_curlError[CURL_ERROR_SIZE] = {};
  std::string m_announcedLength;  // this response's Content-Length, as written
  long m_lastStatus = 0;
  bool m_lengthsDisagree = false;
  bool m_headersDone = false;
  bool m_paused = false;
  bool m_finished = false;
  CURLcode m_result = CURLE_OK;
};

CInternetException::CInternetException(DWORD error, std::wstring message)
    : m_dwError(error), m_message(std::move(message)) {}

BOOL CInternetException::GetErrorMessage(LPWSTR buffer, UINT maxChars, UINT* helpContext) const {
  if (helpContext) *helpContext = 0;
  if (!buffer || maxChars == 0) return FALSE;
  const std::size_t length = std::min<std::size_t>(m_message.size(), maxChars - 1);
  m_message.copy(buffer, length);
  buffer[length] = L'\0';
  return TRUE;
}

CHttpFile::CHttpFile(std::unique_ptr<HttpTransfer> transfer) : m_transfer(std::move(transfer)) {}

CHttpFile::~CHttpFile() = default;

UINT CHttpFile::Read(void* buffer, UINT count) {
  if (!m_transfer) Raise(ERROR_INTERNET_INVALID_OPERATION, L"安装包的连接已经关闭");
  return m_transfer->Read(buffer, count);
}

std::uint64_t CHttpFile::SeekToEnd() {
  if (!m_transfer) Raise(ERROR_INTERNET_INVALID_OPERATION, L"安装包的连接已经关闭");
  const curl_off_t length = m_transfer->Length();
  if (length < 0) Raise(ERROR_INTERNET_INVALID_OPERATION);
  return static_cast<std::uint64_t>(length);
}

void CHttpFile::SeekToBegin() {
  // Nothing has been read yet when the program asks; the position is the start already.
}

void CHttpFile::Close() { m_transfer.reset(); }

CInternetSession::CInternetSession(LPCWSTR agent, DWORD, DWORD, LPCWSTR, LPCWSTR, DWORD)
    : m_agent(agent ? agent : L"") {}

CInternetSession::~CInternetSession() = default;

CHttpFile* CInternetSession::OpenURL(LPCWSTR url, DWORD, DWORD, LPCWSTR, DWORD) {
  auto transfer = std::make_unique<HttpTransfer>(host::Utf8FromWide(url ? url : L""), host::Utf8FromWide(m_agent));
  transfer->AwaitHeaders();
  return new CHttpFile(std::move(transfer));
}

void CInternetSession::Close() {}
