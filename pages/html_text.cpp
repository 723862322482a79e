// Text that the program puts into a page as HTML.
#include "html_text.h"

std::wstring HtmlEscape(const std::wstring& text) {
  std::wstring escaped;
  escaped.reserve(text.size());
  for (wchar_t c : text) {
    switch (c) {
      case L'&': escaped += L"&amp;"; break;
      case L'<': escaped += L"&lt;"; break;
      case L'>': escaped += L"&gt;"; break;
      case L'"': escaped += L"&quot;"; break;
      case L'\'': escaped += L"&#39;"; break;
      default: escaped += c; break;
    }
  }
  return escaped;
}
