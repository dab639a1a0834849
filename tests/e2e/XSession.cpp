#include "XSession.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace e2e {
namespace {

// Windows come and go (a message box closes while it is looked at): a
// request about a window that is gone is no reason to end the tests.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

template <class T>
struct XFreer {
  void operator()(T* p) const noexcept {
    if (p) XFree(p);
  }
};
template <class T>
using XPtr = std::unique_ptr<T, XFreer<T>>;

struct ImageDestroyer {
  void operator()(XImage* image) const noexcept {
    if (image) XDestroyImage(image);
  }
};

int Shift(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

}  // namespace

XSession::XSession(const std::string& display) {
  XSetErrorHandler(IgnoreErrors);
  display_ = XOpenDisplay(display.c_str());
  if (!display_) throw std::runtime_error("cannot connect to the X server " + display);
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) {
    XCloseDisplay(display_);
    throw std::runtime_error("the X server " + display + " has no XTEST");
  }
  if (!XFixesQueryExtension(display_, &event, &error)) {
    XCloseDisplay(display_);
    throw std::runtime_error("the X server " + display + " has no XFIXES");
  }
  root_ = DefaultRootWindow(display_);
  // Root events: the window list and focus (properties), windows mapped and
  // moved, and the clients' requests to the window manager.
  XSelectInput(display_, root_, PropertyChangeMask | SubstructureNotifyMask);
  XFixesSelectCursorInput(display_, root_, XFixesDisplayCursorNotifyMask);
  XSync(display_, False);
}

XSession::~XSession() {
  if (display_) XCloseDisplay(display_);
}

unsigned long XSession::Atom(const char* name) { return XInternAtom(display_, name, False); }

std::vector<long> XSession::LongProperty(Window window, const char* name) {
  ::Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* raw = nullptr;
  std::vector<long> values;
  if (XGetWindowProperty(display_, window, Atom(name), 0, 1 << 20, False, AnyPropertyType, &type, &format, &count,
                         &after, &raw) != Success)
    return values;
  XPtr<unsigned char> data(raw);
  if (type == None || format != 32) return values;
  // Xlib hands 32-bit items over as longs.
  const long* items = reinterpret_cast<const long*>(raw);
  values.assign(items, items + count);
  return values;
}

std::optional<std::string> XSession::TextProperty(Window window, const char* name) {
  ::Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* raw = nullptr;
  if (XGetWindowProperty(display_, window, Atom(name), 0, 1 << 16, False, AnyPropertyType, &type, &format, &count,
                         &after, &raw) != Success)
    return std::nullopt;
  XPtr<unsigned char> data(raw);
  if (type == None || format != 8) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(raw), count);
}

std::string XSession::Title(Window window) {
  if (auto name = TextProperty(window, "_NET_WM_NAME")) return *name;
  return TextProperty(window, "WM_NAME").value_or("");
}

std::vector<Window> XSession::Clients() {
  std::vector<Window> clients;
  for (long id : LongProperty(root_, "_NET_CLIENT_LIST")) clients.push_back(static_cast<Window>(id));
  return clients;
}

bool XSession::Viewable(Window window) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable;
}

std::optional<Window> XSession::ClientOfProcess(pid_t pid) {
  for (Window w : Clients()) {
    const auto pids = LongProperty(w, "_NET_WM_PID");
    if (!pids.empty() && pids[0] == pid && Viewable(w)) return w;
  }
  return std::nullopt;
}

std::optional<Window> XSession::ClientTitled(const std::string& title) {
  for (Window w : Clients())
    if (Title(w) == title && Viewable(w)) return w;
  return std::nullopt;
}

Geometry XSession::RootGeometry(Window window) {
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display_, window, &attributes)) return {};
  int x = 0, y = 0;
  ::Window child = None;
  XTranslateCoordinates(display_, window, root_, 0, 0, &x, &y, &child);
  return {x, y, attributes.width, attributes.height};
}

int XSession::BorderWidth(Window window) {
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display_, window, &attributes)) return -1;
  return attributes.border_width;
}

Window XSession::TopLevel(Window window) {
  for (;;) {
    ::Window root = None, parent = None;
    ::Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, window, &root, &parent, &children, &count)) return window;
    XPtr<::Window> owned(children);
    if (parent == root || parent == None) return window;
    window = parent;
  }
}

Window XSession::ActiveWindow() {
  const auto active = LongProperty(root_, "_NET_ACTIVE_WINDOW");
  return active.empty() ? 0 : static_cast<Window>(active[0]);
}

void XSession::MoveTo(Point root) {
  XTestFakeMotionEvent(display_, -1, root.x, root.y, CurrentTime);
  XSync(display_, False);
}

void XSession::Press(unsigned button) {
  XTestFakeButtonEvent(display_, button, True, CurrentTime);
  XSync(display_, False);
}

void XSession::Release(unsigned button) {
  XTestFakeButtonEvent(display_, button, False, CurrentTime);
  XSync(display_, False);
}

void XSession::Keys(const std::vector<std::string>& keysyms) {
  std::vector<KeyCode> codes;
  for (const std::string& name : keysyms) {
    const KeySym sym = XStringToKeysym(name.c_str());
    const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(display_, sym);
    if (code == 0) throw std::runtime_error("no key for " + name);
    codes.push_back(code);
  }
  for (KeyCode code : codes) XTestFakeKeyEvent(display_, code, True, CurrentTime);
  for (auto it = codes.rbegin(); it != codes.rend(); ++it) XTestFakeKeyEvent(display_, *it, False, CurrentTime);
  XSync(display_, False);
}

Point XSession::Pointer() {
  ::Window root = None, child = None;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned mask = 0;
  XQueryPointer(display_, root_, &root, &child, &rootX, &rootY, &x, &y, &mask);
  return {rootX, rootY};
}

bool XSession::WaitUntilPointerFree(std::chrono::milliseconds timeout) {
  return WaitUntil(
      [&] {
        if (XGrabPointer(display_, root_, False, 0, GrabModeAsync, GrabModeAsync, None, None, CurrentTime) !=
            GrabSuccess)
          return false;
        XUngrabPointer(display_, CurrentTime);
        XSync(display_, False);
        return true;
      },
      timeout);
}

void XSession::ReleaseButtons() {
  ::Window root = None, child = None;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned mask = 0;
  XQueryPointer(display_, root_, &root, &child, &rootX, &rootY, &x, &y, &mask);
  constexpr unsigned kMasks[] = {Button1Mask, Button2Mask, Button3Mask, Button4Mask, Button5Mask};
  for (unsigned i = 0; i < 5; ++i)
    if (mask & kMasks[i]) XTestFakeButtonEvent(display_, i + 1, False, CurrentTime);
  XSync(display_, False);
}

Picture XSession::Grab(const Geometry& area) {
  std::unique_ptr<XImage, ImageDestroyer> image(
      XGetImage(display_, root_, area.x, area.y, static_cast<unsigned>(area.width),
                static_cast<unsigned>(area.height), AllPlanes, ZPixmap));
  if (!image) throw std::runtime_error("cannot read the screen");
  const int r = Shift(image->red_mask), g = Shift(image->green_mask), b = Shift(image->blue_mask);
  Picture p{area.width, area.height, std::vector<std::uint32_t>(static_cast<std::size_t>(area.width) * area.height)};
  for (int y = 0; y < area.height; ++y)
    for (int x = 0; x < area.width; ++x) {
      const unsigned long pixel = XGetPixel(image.get(), x, y);
      p.At(x, y) = static_cast<std::uint32_t>((((pixel & image->red_mask) >> r) << 16) |
                                              (((pixel & image->green_mask) >> g) << 8) |
                                              ((pixel & image->blue_mask) >> b));
    }
  return p;
}

PointerImage XSession::Cursor() {
  XPtr<XFixesCursorImage> image(XFixesGetCursorImage(display_));
  if (!image) throw std::runtime_error("cannot read the pointer's image");
  PointerImage shape{image->width, image->height, image->xhot, image->yhot, {}};
  const std::size_t count = static_cast<std::size_t>(image->width) * image->height;
  for (std::size_t i = 0; i < count; ++i) shape.pixels.push_back(static_cast<std::uint32_t>(image->pixels[i]));
  return shape;
}

PointerImage XSession::FontCursor(unsigned shape) {
  // A small window of our own in the screen's bottom right corner, left
  // alone by the window manager, showing that cursor.
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  const ::Window window = XCreateWindow(display_, root_, 1000, 740, 24, 24, 0, CopyFromParent, InputOnly,
                                        CopyFromParent, CWOverrideRedirect, &attributes);
  const ::Cursor cursor = XCreateFontCursor(display_, shape);
  XDefineCursor(display_, window, cursor);
  XMapRaised(display_, window);
  const Point before = Pointer();
  MoveTo({1012, 752});
  PointerImage seen = Cursor();
  MoveTo(before);
  XDestroyWindow(display_, window);
  XFreeCursor(display_, cursor);
  XSync(display_, False);
  return seen;
}

void XSession::RequestActivation(Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = Atom("_NET_ACTIVE_WINDOW");
  event.xclient.format = 32;
  event.xclient.data.l[0] = 2;  // from a pager: the window manager obeys
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XSync(display_, False);
}

void XSession::RequestClose(Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = Atom("_NET_CLOSE_WINDOW");
  event.xclient.format = 32;
  event.xclient.data.l[0] = CurrentTime;
  event.xclient.data.l[1] = 2;  // from a pager
  XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XSync(display_, False);
}

void XSession::HandleEvents() {
  const ::Atom moveResize = Atom("_NET_WM_MOVERESIZE");
  while (XPending(display_)) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == ClientMessage && event.xclient.message_type == moveResize) {
      const long* l = event.xclient.data.l;
      moveRequests_.push_back({event.xclient.window, l[0], l[1], l[2], l[3], l[4]});
    }
  }
}

const std::vector<MoveRequest>& XSession::MoveRequests() {
  XSync(display_, False);
  HandleEvents();
  return moveRequests_;
}

void XSession::Sync() {
  XSync(display_, False);
  HandleEvents();
}

bool XSession::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    Sync();
    if (done()) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return done();
    pollfd watched{ConnectionNumber(display_), POLLIN, 0};
    ::poll(&watched, 1, static_cast<int>(std::min<long long>(left.count(), 25)));
  }
}

}  // namespace e2e
