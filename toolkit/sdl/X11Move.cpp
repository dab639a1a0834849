// The window manager's move of a window with no caption, on X11: the client
// lets go of the pointer and asks the window manager, through the root
// window, to move the window as if its caption had been grabbed. The window
// manager then follows the pointer until the button is released.
#include "toolkit/sdl/SdlBackend.h"

#ifdef LAUNCHER_SDL_X11
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#endif

namespace toolkit::sdl {

#ifdef LAUNCHER_SDL_X11
namespace {

constexpr long kMoveDirection = 8;  // _NET_WM_MOVERESIZE_MOVE
constexpr long kSourceApplication = 1;

// The X button held now, in the order the window manager would see them
// first; 0 when none is.
long HeldButton(unsigned mask) {
  if (mask & Button1Mask) return Button1;
  if (mask & Button2Mask) return Button2;
  if (mask & Button3Mask) return Button3;
  return 0;
}

}  // namespace

bool BeginWindowManagerMove(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info)) return false;
  if (info.subsystem != SDL_SYSWM_X11) {
    // Wayland: a client cannot start a move without the seat's serial of the
    // press, which SDL2 does not hand out; the window stays where it is.
    return false;
  }
  Display* display = info.info.x11.display;
  const Window client = info.info.x11.window;

  // The pointer as the server has it now (not a copy SDL may hold): a button
  // released already means there is nothing to follow, and a move without a
  // button would be a move by the keyboard.
  Window root = None, child = None;
  int rootX = 0, rootY = 0, winX = 0, winY = 0;
  unsigned mask = 0;
  if (!XQueryPointer(display, client, &root, &child, &rootX, &rootY, &winX, &winY, &mask)) return false;
  const long button = HeldButton(mask);
  if (button == 0) return false;

  // The window manager can only grab the pointer once nobody else holds it:
  // neither SDL's capture nor the press's own grab.
  SDL_CaptureMouse(SDL_FALSE);
  XUngrabPointer(display, CurrentTime);

  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = client;
  event.xclient.message_type = XInternAtom(display, "_NET_WM_MOVERESIZE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = rootX;
  event.xclient.data.l[1] = rootY;
  event.xclient.data.l[2] = kMoveDirection;
  event.xclient.data.l[3] = button;
  event.xclient.data.l[4] = kSourceApplication;
  XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display);
  return true;
}
#else
bool BeginWindowManagerMove(SDL_Window*) {
  // Built without X11: no move by the window manager.
  return false;
}
#endif

}  // namespace toolkit::sdl
