// Text that the program puts into a page as HTML.
#pragma once

#include <string>

// Escapes &, <, >, " and ' so that text (a path, an error message) shows literally and never
// runs as markup or script.
std::wstring HtmlEscape(const std::wstring& text);
