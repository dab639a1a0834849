// A remote-API library for the loader's tests, built twice as libcerapi.so:
// complete, and (TEST_PROVIDER_INIT_ONLY) with CeRapiInitEx alone.
#include <cstdint>

#include "rapi/rapi_abi.h"

#define TEST_PROVIDER_EXPORT extern "C" __attribute__((visibility("default")))

TEST_PROVIDER_EXPORT HRESULT CeRapiInitEx(RAPIINIT* record) {
  if (record == nullptr) return E_INVALIDARG;
  record->heRapiInit = reinterpret_cast<HANDLE>(std::intptr_t{-1});
  record->hrRapiInit = 0x5EED;
  return S_OK;
}

#ifndef TEST_PROVIDER_INIT_ONLY
TEST_PROVIDER_EXPORT HRESULT CeRapiUninit() { return 0x0BED; }

TEST_PROVIDER_EXPORT LONG CeRegOpenKeyEx(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY result) {
  *result = 0xC0DE;
  return ERROR_SUCCESS;
}

TEST_PROVIDER_EXPORT LONG CeRegQueryValueEx(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
  return ERROR_MORE_DATA;
}

TEST_PROVIDER_EXPORT LONG CeRegCloseKey(HKEY key) {
  return key == 0xC0DE ? static_cast<LONG>(ERROR_SUCCESS) : static_cast<LONG>(ERROR_INVALID_HANDLE);
}
#endif
