// ReleaseCapture and SendMessageA: the window toolkit owns capture and
// windows, so both go to its hooks. Without a hook there is no capture to
// release and no window to send to.
#include "winapi/posix_hooks.h"

BOOL ReleaseCapture() {
  if (auto hook = winapi_posix::hooks().releaseCapture) {
    return hook();
  }
  return TRUE;
}

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (auto hook = winapi_posix::hooks().sendMessage) {
    return hook(hWnd, Msg, wParam, lParam);
  }
  return 0;
}
