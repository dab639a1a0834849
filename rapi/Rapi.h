// The remote-API calls as the launcher makes them. Each forwards to the
// remote-API library, which is loaded on first use (see RapiLoader.h). When
// the library or any of its five entry points cannot be found, CeRapiInitEx
// returns E_FAIL and the others fail too, so the caller's ordinary failure
// path runs.
#pragma once

#include "rapi/rapi_abi.h"

HRESULT CeRapiInitEx(RAPIINIT* pRapiInit);
HRESULT CeRapiUninit();
LONG CeRegOpenKeyEx(HKEY hKey, LPCWSTR lpszSubKey, DWORD ulOptions, REGSAM samDesired,
                    PHKEY phkResult);
LONG CeRegQueryValueEx(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                       LPBYTE lpData, LPDWORD lpcbData);
LONG CeRegCloseKey(HKEY hKey);
