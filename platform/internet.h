// Platform layer: the framework's internet classes over WinINet (host: libcurl), the local file
// class and the WinINet error codes the program meets.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "windows_types.h"

#ifndef _WIN32
constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
constexpr DWORD INTERNET_FLAG_TRANSFER_BINARY = 0x00000002;

constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_EXTENDED_ERROR = 12003;
constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_INVALID_OPERATION = 12016;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr DWORD ERROR_HTTP_REDIRECT_FAILED = 12156;
#endif

// Raised (thrown by pointer, freed with Delete) by the internet classes.
class CInternetException {
 public:
  CInternetException(DWORD error, std::wstring message);
  // Copies the message text into buffer, cut to maxChars - 1 characters and a terminator.
  BOOL GetErrorMessage(LPWSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const;
  void Delete() { delete this; }

  DWORD m_dwError;

 private:
  std::wstring m_message;
};

class HttpTransfer;  // the platform's request behind an open remote file

// An open remote file: read in caller-sized pieces.
class CHttpFile {
 public:
  explicit CHttpFile(std::unique_ptr<HttpTransfer> transfer);
  ~CHttpFile();
  CHttpFile(const CHttpFile&) = delete;
  CHttpFile& operator=(const CHttpFile&) = delete;

  // Reads up to count bytes; 0 at the end of the data. Throws CInternetException*.
  UINT Read(void* buffer, UINT count);
  // From the end: the announced length; needs the server to have announced it. Throws
  // CInternetException* otherwise.
  std::uint64_t SeekToEnd();
  void SeekToBegin();
  void Close();

 private:
  std::unique_ptr<HttpTransfer> m_transfer;
};

class CInternetSession {
 public:
  CInternetSession(LPCWSTR agent = nullptr, DWORD context = 1, DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG,
                   LPCWSTR proxyName = nullptr, LPCWSTR proxyBypass = nullptr, DWORD flags = 0);
  ~CInternetSession();
  CInternetSession(const CInternetSession&) = delete;
  CInternetSession& operator=(const CInternetSession&) = delete;

  // Sends the request and reads the response headers. A status other than 2xx is a failure.
  // Throws CInternetException*. The caller owns the file.
  CHttpFile* OpenURL(LPCWSTR url, DWORD context = 1, DWORD flags = INTERNET_FLAG_TRANSFER_BINARY,
                     LPCWSTR headers = nullptr, DWORD headersLength = 0);
  void Close();

 private:
  std::wstring m_agent;
};
