#include "toolkit/sdl/SdlBackend.h"

#include <string>

#include "toolkit/Exception.h"
#include "toolkit/Graphics.h"

namespace toolkit::sdl {
namespace {

// The toolkit's pixels, 0x00RRGGBB in 32 bits, are SDL's RGB888.
constexpr Uint32 kPixelFormat = SDL_PIXELFORMAT_RGB888;

std::string SdlError() { return SDL_GetError(); }

// Settings that must be in place before the video subsystem starts.
void SetHints() {
  // A desktop window or none: without a desktop SDL would fall back on a
  // console or an invisible window, and the program would wait there for
  // events that never come. X11 comes first, since on Wayland only X11 lets
  // the window manager move the window (X11Move.cpp). SDL_VIDEODRIVER, when
  // set, still wins.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
  // The first click on an inactive window is a click like any other.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  // Capture is the toolkit's decision (SetCapture), not SDL's on its own.
  SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
  // The window surface is the system's own framebuffer, not a GL texture.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // A launcher has no business holding off the screen saver.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // Signals keep their ordinary meaning: SIGTERM ends the program at once.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

std::optional<TMouseButton> ToolkitButton(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return mbLeft;
    case SDL_BUTTON_RIGHT: return mbRight;
    case SDL_BUTTON_MIDDLE: return mbMiddle;
    case SDL_BUTTON_X1: return mbExtra1;
    case SDL_BUTTON_X2: return mbExtra2;
    default: return std::nullopt;
  }
}

unsigned ButtonBit(TMouseButton button) { return 1u << static_cast<unsigned>(button); }

// When the pointer leaves the window, SDL reports the point where it left,
// pulled back inside the window, as a move, just before it says the window
// was left. The pointer did not move inside the window then, and no move
// event may say it did (an item left straight out of the window stays lit).
// Both come from the same system event, so the second is queued already.
bool IsLeaveReport() {
  SDL_Event next;
  return SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 &&
         next.type == SDL_WINDOWEVENT && next.window.event == SDL_WINDOWEVENT_LEAVE;
}

// Wraps pixels that someone else owns; SDL only reads them.
SurfacePtr WrapPixels(const std::uint32_t* pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0) return nullptr;
  return SurfacePtr(SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(pixels), width, height, 32,
                                                       width * 4, kPixelFormat));
}

}  // namespace

VideoSubsystem::VideoSubsystem() {
  SetHints();
  FilterX11Errors();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    throw Exception("Cannot open a window: no desktop display could be used (" + SdlError() + ")");
  // Text input (and with it any input method) is of no use to the launcher.
  SDL_StopTextInput();
}

VideoSubsystem::~VideoSubsystem() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

SdlBackend::~SdlBackend() { DestroyNativeWindow(); }

void SdlBackend::CreateNativeWindow(const WindowParams& params) {
  DestroyNativeWindow();
  video_.emplace();
  Uint32 flags = SDL_WINDOW_HIDDEN;  // shown by ShowNativeWindow; never resizable
  if (params.borderless) flags |= SDL_WINDOW_BORDERLESS;
  window_.reset(SDL_CreateWindow(params.title.c_str(), params.left, params.top, params.clientWidth,
                                 params.clientHeight, flags));
  if (!window_) {
    const std::string why = SdlError();
    video_.reset();
    throw Exception("Cannot create the window: " + why);
  }
  x11Buttons_ = ReadsX11Buttons(window_.get());
  place_ = {params.left, params.top};
  systemMenu_ = params.systemMenu;
  held_ = 0;
  captured_ = false;

  frame_ = WrapPixels(params.frame.pixels, params.frame.width, params.frame.height);
  if (frame_) SDL_SetSurfaceBlendMode(frame_.get(), SDL_BLENDMODE_NONE);

  if (params.icon && !params.icon->Empty()) {
    // SDL copies the icon; the wrapper may go at once.
    if (SurfacePtr icon = WrapPixels(params.icon->Pixels(), params.icon->Width(), params.icon->Height()))
      SDL_SetWindowIcon(window_.get(), icon.get());
  }
  InvalidateAll();
}

void SdlBackend::ShowNativeWindow() {
  if (!window_) return;
  SDL_ShowWindow(window_.get());
  // A window manager may place a new window where it likes; this one belongs
  // at its given place. The events pumped here stay queued for WaitEvent.
  SDL_PumpEvents();
  int x = 0, y = 0;
  SDL_GetWindowPosition(window_.get(), &x, &y);
  if (x != place_.x || y != place_.y) SDL_SetWindowPosition(window_.get(), place_.x, place_.y);
  InvalidateAll();
  Paint();
}

void SdlBackend::Invalidate(const TRect& rect) {
  if (!frame_) return;
  const TRect r = rect.Intersect({0, 0, frame_->w, frame_->h});
  if (!r.IsEmpty()) dirty_.push_back({r.Left, r.Top, r.Width(), r.Height()});
}

void SdlBackend::InvalidateAll() {
  dirty_.clear();
  if (frame_) dirty_.push_back({0, 0, frame_->w, frame_->h});
}

void SdlBackend::Paint() {
  if (dirty_.empty() || !window_ || !frame_) return;
  // Asked for every time: SDL makes a new surface when the window changed.
  SDL_Surface* surface = SDL_GetWindowSurface(window_.get());
  if (surface) {
    for (const SDL_Rect& r : dirty_) {
      SDL_Rect source = r;
      SDL_Rect target = r;  // SDL clips it in place
      SDL_BlitSurface(frame_.get(), &source, surface, &target);
    }
    SDL_UpdateWindowSurfaceRects(window_.get(), dirty_.data(), static_cast<int>(dirty_.size()));
  }
  dirty_.clear();
}

void SdlBackend::SetPointerCursor(SystemCursor cursor) {
  CursorPtr& slot = cursor == SystemCursor::Hand ? hand_ : arrow_;
  if (!slot)
    slot.reset(SDL_CreateSystemCursor(cursor == SystemCursor::Hand ? SDL_SYSTEM_CURSOR_HAND : SDL_SYSTEM_CURSOR_ARROW));
  if (slot) SDL_SetCursor(slot.get());
}

void SdlBackend::SetCapture(bool capture) {
  captured_ = capture;
  // SDL refuses a capture while the window has no keyboard focus (the first
  // click on an inactive window); the press's own grab by the system then
  // still brings the release back to the window.
  SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE);
}

void SdlBackend::BeginSystemMove() {
  if (!window_) return;
  captured_ = false;
  // The window manager takes the pointer and the button's release.
  held_ = 0;
  BeginWindowManagerMove(window_.get());
}

void SdlBackend::DestroyNativeWindow() {
  dirty_.clear();
  frame_.reset();
  // SDL falls back on its default cursor when the current one is freed.
  hand_.reset();
  arrow_.reset();
  window_.reset();
  video_.reset();
  held_ = 0;
  captured_ = false;
}

TShiftState SdlBackend::Shift() const {
  TShiftState shift;
  const SDL_Keymod mods = SDL_GetModState();
  if (mods & KMOD_SHIFT) shift << ssShift;
  if (mods & KMOD_ALT) shift << ssAlt;
  if (mods & KMOD_CTRL) shift << ssCtrl;
  constexpr struct {
    TMouseButton button;
    TShiftStateItem item;
  } kButtons[] = {{mbLeft, ssLeft}, {mbRight, ssRight}, {mbMiddle, ssMiddle}, {mbExtra1, ssExtra1}, {mbExtra2, ssExtra2}};
  for (const auto& b : kButtons)
    if (held_ & ButtonBit(b.button)) shift << b.item;
  return shift;
}

std::optional<BackendEvent> SdlBackend::Translate(const SDL_Event& e) {
  using Kind = BackendEvent::Kind;
  BackendEvent out;
  switch (e.type) {
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (x11Buttons_ || e.button.which == SDL_TOUCH_MOUSEID) return std::nullopt;
      return ButtonEvent(e.type == SDL_MOUSEBUTTONDOWN, e.button.button, e.button.x, e.button.y);
    case SDL_SYSWMEVENT:
      if (!x11Buttons_) return std::nullopt;
      if (const std::optional<X11Button> b = X11ButtonEvent(e.syswm.msg)) return ButtonEvent(b->down, b->button, b->x, b->y);
      return std::nullopt;
    case SDL_MOUSEMOTION:
      if (e.motion.which == SDL_TOUCH_MOUSEID || IsLeaveReport()) return std::nullopt;
      out.kind = Kind::MouseMove;
      out.x = e.motion.x;
      out.y = e.motion.y;
      out.shift = Shift();
      return out;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          InvalidateAll();
          return std::nullopt;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          // SDL drops a capture with the focus; the toolkit must know.
          if (!captured_) return std::nullopt;
          captured_ = false;
          held_ = 0;
          out.kind = Kind::CaptureLost;
          return out;
        case SDL_WINDOWEVENT_CLOSE:
          if (!systemMenu_) return std::nullopt;
          out.kind = Kind::Close;
          return out;
        default:
          return std::nullopt;
      }
    case SDL_QUIT:
      if (!systemMenu_) return std::nullopt;
      out.kind = Kind::Close;
      return out;
    default:
      return std::nullopt;
  }
}

std::optional<BackendEvent> SdlBackend::ButtonEvent(bool down, Uint8 sdlButton, int x, int y) {
  const std::optional<TMouseButton> button = ToolkitButton(sdlButton);
  if (!button) return std::nullopt;
  // As the toolkit expects: a press counts its own button as held, a
  // release no longer does.
  if (down) held_ |= ButtonBit(*button);
  else held_ &= ~ButtonBit(*button);
  BackendEvent out;
  out.kind = down ? BackendEvent::Kind::MouseDown : BackendEvent::Kind::MouseUp;
  out.x = x;
  out.y = y;
  out.button = *button;
  out.shift = Shift();
  return out;
}

bool SdlBackend::WaitEvent(BackendEvent& event) {
  if (!window_) return false;
  for (;;) {
    Paint();  // before blocking: what the toolkit drew is on the screen
    SDL_Event e;
    if (!SDL_WaitEvent(&e)) return false;
    if (std::optional<BackendEvent> translated = Translate(e)) {
      event = *translated;
      return true;
    }
  }
}

TPoint SdlBackend::ClientOrigin() const {
  if (!window_) return {place_.x, place_.y};
  TPoint origin;
  SDL_GetWindowPosition(window_.get(), &origin.X, &origin.Y);
  return origin;
}

}  // namespace toolkit::sdl

namespace toolkit {

std::unique_ptr<Backend> CreateDefaultBackend() { return std::make_unique<sdl::SdlBackend>(); }

}  // namespace toolkit
