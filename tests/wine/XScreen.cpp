#include "tests/wine/XScreen.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace winetest {
namespace {

// Windows come and go while the tests look at them: a request about one
// that has just gone is no error of the test's.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

struct XFreeDeleter {
  void operator()(void* p) const {
    if (p) XFree(p);
  }
};

struct XImageDeleter {
  void operator()(XImage* image) const { XDestroyImage(image); }
};

std::string TextProperty(Display* d, Window w, Atom property, Atom type) {
  Atom actual = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, property, 0, 4096, False, type, &actual, &format, &count, &after, &data) != Success)
    return {};
  std::unique_ptr<unsigned char, XFreeDeleter> owner(data);
  if (actual == None || format != 8 || !data) return {};
  return std::string(reinterpret_cast<const char*>(data), count);
}

std::string ReadDisplayNumber(int fd, std::chrono::milliseconds timeout) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (text.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[32];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  const auto end = text.find('\n');
  return end == std::string::npos ? std::string() : text.substr(0, end);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(interval);
  }
}

VirtualScreen::VirtualScreen(const std::string& xvfb, const std::string& openbox,
                             const std::filesystem::path& logFolder) {
  std::filesystem::create_directories(logFolder);
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));
  // Only the write end goes to Xvfb; it writes the display number there.
  fcntl(pipeFds[1], F_SETFD, 0);
  ProcessOptions x;
  x.argv = {xvfb, "-displayfd", std::to_string(pipeFds[1]), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"};
  x.output = logFolder / "xvfb.log";
  try {
    xvfb_ = std::make_unique<Process>(x);
  } catch (...) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    throw;
  }
  close(pipeFds[1]);
  const std::string number = ReadDisplayNumber(pipeFds[0], 20s);
  close(pipeFds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start; see " + x.output.string());
  display_name_ = ":" + number;

  XSetErrorHandler(IgnoreXErrors);
  display_.reset(XOpenDisplay(display_name_.c_str()));
  if (!display_) throw std::runtime_error("cannot open the display " + display_name_);
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display(), &event, &error, &major, &minor))
    throw std::runtime_error("the X server has no XTest");
  if (!XFixesQueryExtension(display(), &event, &error)) throw std::runtime_error("the X server has no XFixes");

  ProcessOptions wm;
  wm.argv = {openbox, "--sm-disable"};
  wm.setEnv["DISPLAY"] = display_name_;
  wm.output = logFolder / "openbox.log";
  openbox_ = std::make_unique<Process>(wm);
  const Atom check = XInternAtom(display(), "_NET_SUPPORTING_WM_CHECK", False);
  const bool managed = WaitUntil(
      [&] {
        Atom actual = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display(), DefaultRootWindow(display()), check, 0, 1, False, XA_WINDOW, &actual, &format,
                           &count, &after, &data);
        std::unique_ptr<unsigned char, XFreeDeleter> owner(data);
        return count == 1;
      },
      20s, 100ms);
  if (!managed) throw std::runtime_error("openbox did not start; see " + wm.output.string());
}

VirtualScreen::~VirtualScreen() {
  display_.reset();
  if (openbox_) openbox_->Stop();
  if (xvfb_) xvfb_->Stop();
}

std::optional<WindowInfo> VirtualScreen::Describe(Window id) const {
  Display* d = display();
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(d, id, &attributes)) return std::nullopt;
  WindowInfo info;
  info.id = id;
  info.width = attributes.width;
  info.height = attributes.height;
  info.viewable = attributes.map_state == IsViewable;
  Window child = 0;
  if (!XTranslateCoordinates(d, id, DefaultRootWindow(d), 0, 0, &info.x, &info.y, &child)) return std::nullopt;
  XClassHint hint{};
  if (XGetClassHint(d, id, &hint)) {
    if (hint.res_name) info.className = hint.res_name;
    XFree(hint.res_name);
    XFree(hint.res_class);
  }
  info.name = TextProperty(d, id, XInternAtom(d, "_NET_WM_NAME", False), XInternAtom(d, "UTF8_STRING", False));
  if (info.name.empty()) info.name = TextProperty(d, id, XA_WM_NAME, AnyPropertyType);
  return info;
}

std::vector<WindowInfo> VirtualScreen::ClientWindows() const {
  Display* d = display();
  std::vector<WindowInfo> found;
  std::vector<Window> pending{DefaultRootWindow(d)};
  while (!pending.empty()) {
    const Window w = pending.back();
    pending.pop_back();
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &count)) continue;
    std::unique_ptr<Window, XFreeDeleter> owner(children);
    for (unsigned i = 0; i < count; ++i) {
      pending.push_back(children[i]);
      XClassHint hint{};
      if (!XGetClassHint(d, children[i], &hint)) continue;
      XFree(hint.res_name);
      XFree(hint.res_class);
      if (auto info = Describe(children[i])) found.push_back(*info);
    }
  }
  return found;
}

std::optional<WindowInfo> VirtualScreen::Find(const std::function<bool(const WindowInfo&)>& match) const {
  for (const WindowInfo& w : ClientWindows())
    if (match(w)) return w;
  return std::nullopt;
}

RgbImage VirtualScreen::Grab(int x, int y, int width, int height) const {
  Display* d = display();
  XImage* raw = XGetImage(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!raw) throw std::runtime_error("cannot read the screen");
  std::unique_ptr<XImage, XImageDeleter> image(raw);
  RgbImage out(width, height);
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col) {
      const unsigned long p = XGetPixel(image.get(), col, row);
      const auto r = (p & image->red_mask) >> __builtin_ctzl(image->red_mask);
      const auto g = (p & image->green_mask) >> __builtin_ctzl(image->green_mask);
      const auto b = (p & image->blue_mask) >> __builtin_ctzl(image->blue_mask);
      out.At(col, row) = static_cast<std::uint32_t>((r << 16) | (g << 8) | b);
    }
  return out;
}

CursorPicture VirtualScreen::Cursor() const {
  XFixesCursorImage* raw = XFixesGetCursorImage(display());
  if (!raw) throw std::runtime_error("cannot read the cursor");
  std::unique_ptr<XFixesCursorImage, XFreeDeleter> image(raw);
  CursorPicture c;
  c.width = image->width;
  c.height = image->height;
  c.xhot = image->xhot;
  c.yhot = image->yhot;
  for (int i = 0; i < c.width * c.height; ++i) c.argb.push_back(static_cast<std::uint32_t>(image->pixels[i]));
  return c;
}

void VirtualScreen::MovePointer(int x, int y) const {
  XTestFakeMotionEvent(display(), -1, x, y, CurrentTime);
  XSync(display(), False);
}

void VirtualScreen::Button(unsigned button, bool press) const {
  XTestFakeButtonEvent(display(), button, press ? True : False, CurrentTime);
  XSync(display(), False);
}

void VirtualScreen::Click(unsigned button) const {
  Button(button, true);
  std::this_thread::sleep_for(60ms);
  Button(button, false);
}

void VirtualScreen::Key(const char* keysymName, bool press) const {
  const KeyCode code = XKeysymToKeycode(display(), XStringToKeysym(keysymName));
  if (code == 0) throw std::runtime_error(std::string("no key for ") + keysymName);
  XTestFakeKeyEvent(display(), code, press ? True : False, CurrentTime);
  XSync(display(), False);
}

void VirtualScreen::Focus(Window id) const {
  XSetInputFocus(display(), id, RevertToParent, CurrentTime);
  XSync(display(), False);
}

}  // namespace winetest
