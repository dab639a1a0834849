// The one interface between the toolkit and a windowing system. A backend
// owns one native top-level window; it knows nothing of components. All
// hit-testing, capture and highlight logic lives above it, in the toolkit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "toolkit/Types.h"

class TBitmap;

namespace toolkit {


// A 32-bit 0x00RRGGBB picture, top-down rows, owned by the form; the backend
// reads it when it paints.
struct FrameBuffer {
  int width = 0;
  int height = 0;
  const std::uint32_t* pixels = nullptr;  // width * height, row-major
};

struct WindowParams {
  int left = 0, top = 0;                  // screen position of the client area's origin
  int clientWidth = 0, clientHeight = 0;  // client area size
  bool borderless = true;                 // no caption, no frame, not resizable
  bool systemMenu = false;                // Alt+F4 and the system's close request apply
  std::string title;                      // may be empty
  const TBitmap* icon = nullptr;           // may be null
  FrameBuffer frame;                      // what the client area shows
};

enum class SystemCursor { Arrow, Hand };

struct BackendEvent {
  enum class Kind {
    MouseDown,    // x, y, button, shift
    MouseUp,      // x, y, button, shift
    MouseMove,    // x, y, shift
    CaptureLost,  // the system took the pointer away (a system move, another grab)
    Close,        // the user or the system asks the window to close
  };
  Kind kind = Kind::MouseMove;
  int x = 0, y = 0;  // client coordinates
  TMouseButton button = mbLeft;
  TShiftState shift;
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Creates the native window, not yet shown. Throws Exception on failure.
  virtual void CreateNativeWindow(const WindowParams& params) = 0;
  virtual void ShowNativeWindow() = 0;
  // The frame's pixels inside rect changed; the backend repaints them soon
  // (before it next blocks for events). It repaints the whole frame on its
  // own whenever the system asks.
  virtual void Invalidate(const TRect& rect) = 0;
  virtual void SetPointerCursor(SystemCursor cursor) = 0;
  // Keep (true) or stop (false) receiving the pointer while outside the window.
  virtual void SetCapture(bool capture) = 0;
  // Hands the pointer to the system's own window move, as when a caption is
  // grabbed: the window follows the pointer until the button is released.
  virtual void BeginSystemMove() = 0;
  virtual void DestroyNativeWindow() = 0;
  // Blocks until the next event; returns false when the event source has
  // ended (the backend has nothing more to deliver).
  virtual bool WaitEvent(BackendEvent& event) = 0;
  // Where the window's client area is on the screen now.
  virtual TPoint ClientOrigin() const = 0;
  // The native handle (HWND on Windows); opaque elsewhere.
  virtual void* NativeHandle() const = 0;
};

// Defined by the backend library linked into the program (sdl, win32 or
// headless): makes the platform's backend.
std::unique_ptr<Backend> CreateDefaultBackend();

// Defined beside CreateDefaultBackend: shows a modal message box with no
// owner window, the caption, the text, one OK button and, when error is set,
// the error icon. Works before any window exists. Returns false when no box
// could be shown (no display, say).
bool ShowDefaultMessageBox(const std::string& caption, const std::string& text, bool error);

}  // namespace toolkit
