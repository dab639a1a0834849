// The toolkit's backend on Windows: a top-level window of its own class.
//
// The window procedure never runs toolkit code: it turns the messages it is
// given into BackendEvents in a small queue, which WaitEvent hands out one
// at a time, so every handler of the program runs from the message loop's
// caller and no exception can cross the window procedure. Painting reads
// the form's frame only.
#pragma once

#include <deque>
#include <memory>

#include "toolkit/Backend.h"
#include "toolkit/win32/Win32Handles.h"

namespace toolkit::win32 {

class Win32Backend : public Backend {
 public:
  Win32Backend() = default;
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  void CreateNativeWindow(const WindowParams& params) override;
  void ShowNativeWindow() override;
  void Invalidate(const TRect& rect) override;
  void SetPointerCursor(SystemCursor cursor) override;
  void SetCapture(bool capture) override;
  void BeginSystemMove() override;
  void DestroyNativeWindow() override;
  bool WaitEvent(BackendEvent& event) override;
  TPoint ClientOrigin() const override;
  void* NativeHandle() const override { return window_.get(); }

  // The window class every backend window belongs to.
  static constexpr const char* kWindowClass = "TLauncherForm";

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
  void QueueMouse(BackendEvent::Kind kind, TMouseButton button, WPARAM wParam, LPARAM lParam);
  void Queue(const BackendEvent& event);
  bool PointerInClient() const;

  WindowParams params_;
  WindowHandle window_;
  IconHandle bigIcon_;    // made from params.icon when the program has no MAINICON
  IconHandle smallIcon_;
  std::deque<BackendEvent> events_;
  SystemCursor cursor_ = SystemCursor::Arrow;
  bool releasing_ = false;  // inside our own ReleaseCapture
  bool quit_ = false;       // WM_QUIT was seen
};

}  // namespace toolkit::win32
