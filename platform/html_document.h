// Platform layer: what the program sees of a loaded page: elements, script values and results.
#pragma once

#include <map>
#include <string>

#include "com.h"
#include "windows_types.h"

#ifndef _WIN32
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);

using VARTYPE = WORD;
constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_NULL = 1;
constexpr VARTYPE VT_R8 = 5;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_ERROR = 10;
constexpr VARTYPE VT_BOOL = 11;

// A script value crossing the page boundary: empty, null, a number, a string, a boolean or an
// error code.
struct VARIANT {
  VARTYPE vt = VT_EMPTY;
  double dblVal = 0;
  std::wstring bstrVal;
  bool boolVal = false;
  HRESULT scode = S_OK;
};

inline void VariantInit(VARIANT* value) { *value = VARIANT{}; }
inline void VariantClear(VARIANT* value) { *value = VARIANT{}; }
#endif

// The element that raised an event, as it stood when its own handlers had run: its id and every
// attribute as written in the page (or as last set by script), never resolved into addresses.
class IHTMLElement {
 public:
  std::wstring id;
  std::wstring tagName;
  std::map<std::wstring, std::wstring> attributes;
};
