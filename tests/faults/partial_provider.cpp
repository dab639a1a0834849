// A remote-API library that lacks one of the five entry points, built once
// per entry point as libcerapi.so in a folder of its own (MISSING_EXPORT
// names the one left out: 1 CeRapiInitEx ... 5 CeRegCloseKey). A library
// that is not complete must never be called, so every entry point it does
// have ends the process at once.
#include <cstdio>
#include <cstdlib>

#include "rapi/rapi_abi.h"

#define PARTIAL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
[[noreturn]] void Called(const char* name) {
  std::fprintf(stderr, "partial provider: %s was called although the library is incomplete\n", name);
  std::abort();
}
}  // namespace

#if MISSING_EXPORT != 1
PARTIAL_EXPORT HRESULT CeRapiInitEx(RAPIINIT*) { Called("CeRapiInitEx"); }
#endif
#if MISSING_EXPORT != 2
PARTIAL_EXPORT HRESULT CeRapiUninit() { Called("CeRapiUninit"); }
#endif
#if MISSING_EXPORT != 3
PARTIAL_EXPORT LONG CeRegOpenKeyEx(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY) { Called("CeRegOpenKeyEx"); }
#endif
#if MISSING_EXPORT != 4
PARTIAL_EXPORT LONG CeRegQueryValueEx(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
  Called("CeRegQueryValueEx");
}
#endif
#if MISSING_EXPORT != 5
PARTIAL_EXPORT LONG CeRegCloseKey(HKEY) { Called("CeRegCloseKey"); }
#endif
