// X11 errors that are no fault. SDL wakes its own wait for events by sending
// the window a message over a second connection to the server. One sent just
// before the window is destroyed can reach the server after the window is
// gone, and the server refuses it. By then nobody is waiting, so nothing is
// lost, but Xlib's default handler would end the program with exit code 1
// when SDL closes that connection. Those errors are dropped here. Every
// other error goes on to the handler that was there before.
#include "toolkit/sdl/SdlBackend.h"

#ifdef LAUNCHER_SDL_X11
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#endif

namespace toolkit::sdl {

#ifdef LAUNCHER_SDL_X11
namespace {

XErrorHandler previousHandler = nullptr;

int FilterError(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow && error->request_code == X_SendEvent) return 0;
  return previousHandler ? previousHandler(display, error) : 0;
}

}  // namespace

void FilterX11Errors() {
  // Before SDL starts: SDL keeps the handler it finds, passes errors on to
  // it and puts it back when it stops.
  static const bool installed = [] {
    previousHandler = XSetErrorHandler(FilterError);
    return true;
  }();
  static_cast<void>(installed);
}
#else
void FilterX11Errors() {}
#endif

}  // namespace toolkit::sdl
