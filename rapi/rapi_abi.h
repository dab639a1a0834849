// The remote-API library's binary interface, shared by the launcher's loader
// and by the emulated handheld.
//
// On Windows this is the desktop connection software's rapi.dll: __stdcall
// entry points on 32-bit, exported undecorated, HKEY and HANDLE as the
// system's own. Elsewhere it is this project's provider ABI, looked up by
// the system's ordinary library search as RAPI_PROVIDER_LIBRARY: 16-bit
// WCHAR, 32-bit HKEY, and the start record's event handle holding a file
// descriptor that becomes readable when the connection attempt has finished.
#pragma once

#include "winapi/winapi.h"

#ifdef _WIN32
#define RAPI_CALL WINAPI
#define RAPI_PROVIDER_LIBRARY "rapi.dll"
#else
#include <cstdint>
#define RAPI_CALL
#define RAPI_PROVIDER_LIBRARY "libcerapi.so"
using HKEY = std::uint32_t;
using PHKEY = HKEY*;
using REGSAM = DWORD;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
#endif

// The start record of CeRapiInitEx.
struct RAPIINIT {
  DWORD cbSize;        // size of this record in bytes, set by the caller
  HANDLE heRapiInit;   // set by the call: signalled when the attempt has finished
  HRESULT hrRapiInit;  // set by the call: the attempt's result, S_OK when connected
};

extern "C" {
typedef HRESULT(RAPI_CALL* PFN_CeRapiInitEx)(RAPIINIT* pRapiInit);
typedef HRESULT(RAPI_CALL* PFN_CeRapiUninit)();
typedef LONG(RAPI_CALL* PFN_CeRegOpenKeyEx)(HKEY hKey, LPCWSTR lpszSubKey, DWORD ulOptions,
                                            REGSAM samDesired, PHKEY phkResult);
typedef LONG(RAPI_CALL* PFN_CeRegQueryValueEx)(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved,
                                               LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
typedef LONG(RAPI_CALL* PFN_CeRegCloseKey)(HKEY hKey);
}
