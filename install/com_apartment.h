// The installation thread's COM apartment: shell links can only be made on a thread that has
// entered one, and the installation thread is the only one that makes them.
#pragma once

#include "platform/com.h"

// Enters a single-threaded apartment for the calling thread for as long as it lives, and leaves
// it again only if entering succeeded.
class ComApartment {
 public:
  ComApartment() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(m_result)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  HRESULT Result() const { return m_result; }

 private:
  HRESULT m_result;
};
