// Host platform: COM apartments per thread, identifiers and object creation for the one
// in-process class the program uses (the shell link).
#include <cstring>

#include "platform/com.h"
#include "platform/shell_link.h"
#include "shell_link_object.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IPersist = {0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

bool IsEqualGUID(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

namespace {

// The calling thread's apartment: how often it was entered, and in which model.
struct Apartment {
  unsigned entered = 0;
  DWORD model = 0;
};
thread_local Apartment t_apartment;

}  // namespace

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
  if (pvReserved) return E_INVALIDARG;
  const DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
  if (t_apartment.entered == 0) {
    t_apartment = {1, model};
    return S_OK;
  }
  if (t_apartment.model != model) return RPC_E_CHANGED_MODE;
  ++t_apartment.entered;
  return S_FALSE;
}

HRESULT CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize() {
  if (t_apartment.entered > 0) --t_apartment.entered;
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  // As on Windows, a thread that has not entered an apartment creates nothing.
  if (t_apartment.entered == 0) return CO_E_NOTINITIALIZED;
  if (!IsEqualGUID(rclsid, CLSID_ShellLink) || !(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  if (pUnkOuter) return CLASS_E_NOAGGREGATION;
  return host::CreateShellLinkObject(riid, ppv);
}
