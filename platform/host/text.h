// Host platform: conversions between the core's wide strings (UTF-32 wchar_t) and the UTF-8 and
// UTF-16LE that GTK, SQLite and the registry store use.
#pragma once

#include <string>

namespace host {

std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);
std::u16string Utf16FromWide(const std::wstring& text);
std::wstring WideFromUtf16(const std::u16string& text);

}  // namespace host
