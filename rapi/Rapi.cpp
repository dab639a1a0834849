// The remote-API calls, forwarded to the current provider (RapiLoader.h).
//
// Without a provider (no library, or one lacking an entry point) there is no
// connection: CeRapiInitEx and CeRapiUninit return E_FAIL and leave the start
// record untouched, and the registry calls return ERROR_INVALID_HANDLE, as
// for a key that belongs to no open connection. They write none of their out
// arguments then.
#include "rapi/Rapi.h"

#include "rapi/RapiLoader.h"

namespace {
constexpr LONG kNoConnection = static_cast<LONG>(ERROR_INVALID_HANDLE);
}  // namespace

HRESULT CeRapiInitEx(RAPIINIT* pRapiInit) {
  const rapi::Provider* provider = rapi::CurrentProvider();
  return provider ? provider->initEx(pRapiInit) : E_FAIL;
}

HRESULT CeRapiUninit() {
  const rapi::Provider* provider = rapi::CurrentProvider();
  return provider ? provider->uninit() : E_FAIL;
}

LONG CeRegOpenKeyEx(HKEY hKey, LPCWSTR lpszSubKey, DWORD ulOptions, REGSAM samDesired,
                    PHKEY phkResult) {
  const rapi::Provider* provider = rapi::CurrentProvider();
  return provider ? provider->regOpenKeyEx(hKey, lpszSubKey, ulOptions, samDesired, phkResult)
                  : kNoConnection;
}

LONG CeRegQueryValueEx(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                       LPBYTE lpData, LPDWORD lpcbData) {
  const rapi::Provider* provider = rapi::CurrentProvider();
  return provider ? provider->regQueryValueEx(hKey, lpValueName, lpReserved, lpType, lpData,
                                              lpcbData)
                  : kNoConnection;
}

LONG CeRegCloseKey(HKEY hKey) {
  const rapi::Provider* provider = rapi::CurrentProvider();
  return provider ? provider->regCloseKey(hKey) : kNoConnection;
}
