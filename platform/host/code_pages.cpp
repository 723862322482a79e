// Host platform: WideCharToMultiByte / MultiByteToWideChar through iconv, with the emulated
// machine's ANSI code page for CP_ACP.
#include "platform/code_pages.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "code_pages_host.h"
#include "emulated_machine.h"
#include "platform/files.h"

namespace {

// The wide character type of this host, as iconv names it.
constexpr const char* kWide = "WCHAR_T";

std::string IconvName(UINT codePage) {
  if (codePage == CP_UTF8) return "UTF-8";
  return "CP" + std::to_string(codePage);
}

UINT Resolve(UINT codePage) { return codePage == CP_ACP ? GetACP() : codePage; }

class Converter {
 public:
  Converter(const std::string& to, const std::string& from) : m_cd(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (ok()) iconv_close(m_cd);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
  // Converts what it can; in and left advance past what was taken. Returns the result of iconv.
  std::size_t Run(char*& in, std::size_t& left, char*& out, std::size_t& room) {
    return iconv(m_cd, &in, &left, &out, &room);
  }
  void Reset() { iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

 private:
  iconv_t m_cd;
};

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

}  // namespace

namespace host {
bool CodePageKnown(std::uint32_t codePage) {
  if (codePage == CP_ACP) return false;
  Converter probe(IconvName(codePage), kWide);
  return probe.ok();
}
}  // namespace host

UINT GetACP() { return host::Machine().ansiCodePage; }

int WideCharToMultiByte(UINT CodePage, DWORD, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar) {
  const UINT codePage = Resolve(CodePage);
  if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 || (cbMultiByte > 0 && !lpMultiByteStr))
    return Fail(ERROR_INVALID_PARAMETER);
  // UTF-8 has every character: Windows refuses a default character for it.
  if (codePage == CP_UTF8 && (lpDefaultChar || lpUsedDefaultChar)) return Fail(ERROR_INVALID_PARAMETER);
  const std::size_t count = cchWideChar < 0 ? std::wcslen(lpWideCharStr) + 1 : static_cast<std::size_t>(cchWideChar);
  Converter converter(IconvName(codePage), kWide);
  if (!converter.ok()) return Fail(ERROR_INVALID_PARAMETER);
  const char defaultChar = lpDefaultChar ? *lpDefaultChar : '?';
  bool usedDefault = false;
  std::string out;
  char unit[16];
  for (std::size_t i = 0; i < count; ++i) {
    wchar_t c = lpWideCharStr[i];
    // Lone surrogate halves and values beyond Unicode are no characters: U+FFFD in UTF-8.
    const bool character = !(c >= 0xD800 && c <= 0xDFFF) && static_cast<std::uint32_t>(c) <= 0x10FFFF;
    if (!character && codePage == CP_UTF8) c = 0xFFFD;
    char* in = reinterpret_cast<char*>(&c);
    std::size_t left = sizeof c;
    char* end = unit;
    std::size_t room = sizeof unit;
    if (character || codePage == CP_UTF8) {
      if (converter.Run(in, left, end, room) != static_cast<std::size_t>(-1)) {
        out.append(unit, static_cast<std::size_t>(end - unit));
        continue;
      }
      converter.Reset();
    }
    out += defaultChar;
    usedDefault = true;
  }
  if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
  if (cbMultiByte == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<std::size_t>(cbMultiByte)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(lpMultiByteStr, out.data(), out.size());
  return static_cast<int>(out.size());
}

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar) {
  const UINT codePage = Resolve(CodePage);
  if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || (cchWideChar > 0 && !lpWideCharStr))
    return Fail(ERROR_INVALID_PARAMETER);
  const std::size_t count = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<std::size_t>(cbMultiByte);
  Converter converter(kWide, IconvName(codePage));
  if (!converter.ok()) return Fail(ERROR_INVALID_PARAMETER);
  const wchar_t replacement = codePage == CP_UTF8 ? L'\uFFFD' : L'?';
  std::wstring out;
  std::string input(lpMultiByteStr, count);
  char* in = input.data();
  std::size_t left = input.size();
  wchar_t chunk[256];
  while (left > 0) {
    char* end = reinterpret_cast<char*>(chunk);
    std::size_t room = sizeof chunk;
    const std::size_t result = converter.Run(in, left, end, room);
    out.append(chunk, static_cast<std::size_t>(reinterpret_cast<wchar_t*>(end) - chunk));
    if (result != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ (no character) or EINVAL (a sequence cut off at the end): one byte is skipped.
    if (dwFlags & MB_ERR_INVALID_CHARS) return Fail(ERROR_NO_UNICODE_TRANSLATION);
    out += replacement;
    ++in;
    --left;
    converter.Reset();
  }
  if (cchWideChar == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<std::size_t>(cchWideChar)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::wmemcpy(lpWideCharStr, out.data(), out.size());
  return static_cast<int>(out.size());
}
