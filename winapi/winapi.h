// The Win32 calls the launcher makes. On Windows these are the system's own;
// elsewhere this header declares small stand-ins with the same names,
// argument lists and constants, so the program reads the same on both.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>
#else
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using INT = int;
using BOOL = int;
using HRESULT = std::int32_t;
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;
using HANDLE = void*;
struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

#define WINAPI

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_ICONERROR = 0x10;
constexpr int IDOK = 1;

constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_NCLBUTTONDOWN = 0x00A1;
constexpr WPARAM HTCAPTION = 2;

constexpr INT SW_SHOW = 5;

constexpr UINT CP_ACP = 0;
constexpr DWORD MB_PRECOMPOSED = 0x1;

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0x0;
constexpr DWORD WAIT_TIMEOUT = 0x102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;

// ShellExecuteA's error results (values of 32 or less mean failure).
constexpr std::intptr_t SE_ERR_FNF = 2;
constexpr std::intptr_t SE_ERR_ACCESSDENIED = 5;
constexpr std::intptr_t SE_ERR_OOM = 8;
constexpr std::intptr_t SE_ERR_NOASSOC = 31;

BOOL ReleaseCapture();
LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                        LPCSTR lpDirectory, INT nShowCmd);
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar);
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

// The GUI entry point. The stand-in layer's own main() calls it.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);
#endif
