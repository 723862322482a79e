// Host platform: the in-process class behind CLSID_ShellLink.
#pragma once

#include "platform/com.h"

namespace host {

// Makes a new shell link object and asks it for riid; S_OK and one reference in *ppv, or the
// error and null.
HRESULT CreateShellLinkObject(REFIID riid, void** ppv);

}  // namespace host
