// Owners of the Win32 handles the backend makes.
#pragma once

#include <memory>
#include <type_traits>

#include "winapi/winapi.h"

namespace toolkit::win32 {

struct WindowDestroyer {
  void operator()(HWND hwnd) const { ::DestroyWindow(hwnd); }
};
using WindowHandle = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

struct IconDestroyer {
  void operator()(HICON icon) const { ::DestroyIcon(icon); }
};
using IconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
using BitmapHandle = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;

// BeginPaint ... EndPaint.
class PaintSession {
 public:
  explicit PaintSession(HWND hwnd) : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &ps_)) {}
  ~PaintSession() { ::EndPaint(hwnd_, &ps_); }
  PaintSession(const PaintSession&) = delete;
  PaintSession& operator=(const PaintSession&) = delete;

  HDC dc() const { return dc_; }
  const RECT& rect() const { return ps_.rcPaint; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

}  // namespace toolkit::win32
