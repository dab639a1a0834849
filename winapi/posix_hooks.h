// How the POSIX stand-ins reach the parts of the system that own what they
// act on: the window toolkit owns capture, windows and message boxes; tests
// may watch launches. Every hook is optional; an unset hook gives the
// stand-in's own behaviour, described beside it.
#pragma once
#ifndef _WIN32
#include "winapi/winapi.h"

namespace winapi_posix {

struct Hooks {
  // ReleaseCapture(): without a hook, nothing holds a capture; returns TRUE.
  BOOL (*releaseCapture)() = nullptr;
  // SendMessageA(): without a hook, no window exists; returns 0.
  LRESULT (*sendMessage)(HWND, UINT, WPARAM, LPARAM) = nullptr;
  // MessageBoxA(): without a hook (or when the hook returns 0, meaning it
  // could not show a box), the caption and text go to standard error and
  // the result is IDOK.
  int (*messageBox)(HWND, LPCSTR text, LPCSTR caption, UINT type) = nullptr;
  // ShellExecuteA(): a hook replaces the launch (tests only).
  HINSTANCE (*shellExecute)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT) = nullptr;
};

// Returns the hooks in force; change a field to install a hook.
Hooks& hooks();

}  // namespace winapi_posix
#endif
