// Mouse buttons straight from X11. SDL keeps its own record of the buttons
// held and drops a press of a button it believes is down already. When the
// window manager moves the window (X11Move.cpp) it takes the button's
// release, SDL never sees it, and the next press of that button would be
// lost. The server's own press and release events have no such memory.
#include "toolkit/sdl/SdlBackend.h"

#ifdef LAUNCHER_SDL_X11
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#endif

namespace toolkit::sdl {

#ifdef LAUNCHER_SDL_X11
bool ReadsX11Buttons(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  return true;
}

std::optional<X11Button> X11ButtonEvent(const SDL_SysWMmsg* message) {
  if (!message || message->subsystem != SDL_SYSWM_X11) return std::nullopt;
  const XEvent& event = message->msg.x11.event;
  if (event.type != ButtonPress && event.type != ButtonRelease) return std::nullopt;
  Uint8 button = 0;
  switch (event.xbutton.button) {
    case Button1: button = SDL_BUTTON_LEFT; break;
    case Button2: button = SDL_BUTTON_MIDDLE; break;
    case Button3: button = SDL_BUTTON_RIGHT; break;
    case 8: button = SDL_BUTTON_X1; break;
    case 9: button = SDL_BUTTON_X2; break;
    default: return std::nullopt;  // 4 to 7: the wheel
  }
  return X11Button{event.type == ButtonPress, button, event.xbutton.x, event.xbutton.y};
}
#else
bool ReadsX11Buttons(SDL_Window*) { return false; }
std::optional<X11Button> X11ButtonEvent(const SDL_SysWMmsg*) { return std::nullopt; }
#endif

}  // namespace toolkit::sdl
