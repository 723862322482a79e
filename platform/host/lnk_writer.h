// Host platform: the bytes of a shell link file in the public MS-SHLLINK format.
#pragma once

#include <cstdint>
#include <string>

#include "platform/windows_types.h"

namespace host {

struct ShellLinkContents {
  std::wstring target;  // a Windows path, or a web address when targetIsAddress
  bool targetIsAddress = false;
  std::wstring description;
  std::wstring workingDirectory;
  std::wstring arguments;
  std::wstring iconLocation;
  int iconIndex = 0;
  int showCommand = SW_SHOWNORMAL;
  WORD hotkey = 0;
  // What the target file looked like when the link was saved (all zero when it does not exist).
  DWORD fileAttributes = 0;
  DWORD fileSize = 0;
  std::uint64_t creationTime = 0;  // FILETIME: 100 ns since 1601-01-01 UTC
  std::uint64_t accessTime = 0;
  std::uint64_t writeTime = 0;
};

// A local target ("C:\..."): header, link info (volume and local base path, in the machine's
// ANSI code page and in UTF-16), string data. A web address: header, a target item list of the
// Internet folder and the address, string data. Every text is stored in UTF-16. Empty when the
// link cannot be written (an address too long for its item).
std::string ShellLinkBytes(const ShellLinkContents& link);

// The emulated machine's ANSI code page (936, simplified Chinese); characters it cannot hold
// become '?', as the system's conversion with its default character does.
std::string AnsiFromWide(const std::wstring& text);

}  // namespace host
