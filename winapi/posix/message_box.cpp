// MessageBoxA: shown by the window toolkit through its hook. When there is
// no hook, or the hook could not show a box (returns 0), the box's caption
// and text go to standard error as "<caption>: <text>" and the user is taken
// to have pressed OK.
#include <cstdio>

#include "winapi/posix_hooks.h"

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  if (auto hook = winapi_posix::hooks().messageBox) {
    if (const int result = hook(hWnd, lpText, lpCaption, uType); result != 0) {
      return result;
    }
  }
  // As on Windows, a null caption reads "Error" and a null text is empty.
  std::fprintf(stderr, "%s: %s\n", lpCaption ? lpCaption : "Error", lpText ? lpText : "");
  std::fflush(stderr);
  return IDOK;
}
