// The desktop backend on SDL2: one window painted through its window
// surface (no renderer, no GL), SDL's events turned into the toolkit's, the
// system's cursors, and the window manager's move where the window is on X11.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "toolkit/Backend.h"

namespace toolkit::sdl {

struct WindowDestroyer {
  void operator()(SDL_Window* window) const noexcept { SDL_DestroyWindow(window); }
};
struct CursorFreer {
  void operator()(SDL_Cursor* cursor) const noexcept { SDL_FreeCursor(cursor); }
};
struct SurfaceFreer {
  void operator()(SDL_Surface* surface) const noexcept { SDL_FreeSurface(surface); }
};
using WindowPtr = std::unique_ptr<SDL_Window, WindowDestroyer>;
using CursorPtr = std::unique_ptr<SDL_Cursor, CursorFreer>;
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFreer>;

// One reference to SDL's video subsystem. SDL counts them: the first starts
// the subsystem, the last one released stops it.
class VideoSubsystem {
 public:
  VideoSubsystem();  // throws Exception with SDL's reason (no display, say)
  ~VideoSubsystem();
  VideoSubsystem(const VideoSubsystem&) = delete;
  VideoSubsystem& operator=(const VideoSubsystem&) = delete;
};

class SdlBackend final : public Backend {
 public:
  SdlBackend() = default;
  ~SdlBackend() override;
  SdlBackend(const SdlBackend&) = delete;
  SdlBackend& operator=(const SdlBackend&) = delete;

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

 private:
  // Copies the dirty parts of the frame to the window.
  void Paint();
  void InvalidateAll();
  // The toolkit's event for one of SDL's, or nothing for events it ignores.
  std::optional<BackendEvent> Translate(const SDL_Event& event);
  std::optional<BackendEvent> ButtonEvent(bool down, Uint8 button, int x, int y);
  TShiftState Shift() const;

  // Destroyed in reverse order: the surface and cursors before the window,
  // the window before the video subsystem it lives in.
  std::optional<VideoSubsystem> video_;
  WindowPtr window_;
  CursorPtr arrow_;
  CursorPtr hand_;
  SurfacePtr frame_;  // wraps the form's frame pixels, owns none of them
  std::vector<SDL_Rect> dirty_;
  SDL_Point place_{};         // where the client area belongs on the screen
  bool systemMenu_ = false;   // the system's close request applies
  bool x11Buttons_ = false;   // buttons come from X11's own events (X11Buttons.cpp)
  unsigned held_ = 0;         // buttons down, one bit per TMouseButton
  bool captured_ = false;     // the toolkit asked to keep the pointer
};

// Hands the pointer to the window manager, which moves the window until the
// held button is released (X11Move.cpp). Returns false when the window is
// not on X11 or no button is held, and then does nothing.
bool BeginWindowManagerMove(SDL_Window* window);

// Drops the X11 errors that SDL's own wake-up messages can cause when the
// window goes (X11Errors.cpp). Called before SDL's video starts.
void FilterX11Errors();

// A press or release of a mouse button as X11 reported it, in SDL's button
// numbering and the window's coordinates.
struct X11Button {
  bool down = false;
  Uint8 button = 0;
  int x = 0, y = 0;
};
// Where the window is on X11: asks SDL to pass on X11's own events and
// returns true (X11Buttons.cpp).
bool ReadsX11Buttons(SDL_Window* window);
// The button event carried by one of X11's events, if it is one.
std::optional<X11Button> X11ButtonEvent(const SDL_SysWMmsg* message);

}  // namespace toolkit::sdl
