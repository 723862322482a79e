// Host platform: PathCompactPathExW, as the shell shortens paths for display.
#include <string>

#include "platform/files.h"

BOOL PathCompactPathExW(LPWSTR pszOut, LPCWSTR pszSrc, UINT cchMax, DWORD) {
  if (!pszOut || !pszSrc || cchMax == 0) return FALSE;
  const std::wstring source = pszSrc;
  const std::size_t room = cchMax - 1;  // visible characters
  std::wstring result;
  if (source.size() <= room) {
    result = source;
  } else {
    const std::wstring ellipsis = L"...";
    const auto separator = source.find_last_of(L"\\/");
    // The last component, with its separator when there is one: it is kept whole if it fits.
    const std::wstring last = separator == std::wstring::npos ? source : source.substr(separator);
    if (separator == std::wstring::npos || last.size() + ellipsis.size() > room) {
      const std::wstring name = separator == std::wstring::npos ? source : source.substr(separator + 1);
      result = room > ellipsis.size() ? name.substr(0, room - ellipsis.size()) + ellipsis : ellipsis.substr(0, room);
    } else {
      // As much of the path's beginning as fits, then the ellipsis, then the last component.
      result = source.substr(0, room - ellipsis.size() - last.size()) + ellipsis + last;
    }
  }
  result.copy(pszOut, result.size());
  pszOut[result.size()] = L'\0';
  return TRUE;
}
