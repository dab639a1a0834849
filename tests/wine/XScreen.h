// The X side of the Wine tests: a virtual screen with a window manager, and
// what a user does and sees on it (windows, pixels, the pointer's cursor,
// pointer and keys through XTest).
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/wine/Pictures.h"
#include "tests/wine/Process.h"

namespace winetest {

using namespace std::chrono_literals;

// Waits, checking now and then, until the condition holds; false on timeout.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval = 50ms);

struct WindowInfo {
  Window id = 0;
  std::string name;       // _NET_WM_NAME, else WM_NAME
  std::string className;  // WM_CLASS instance name
  int x = 0, y = 0;       // screen position of the window's inside
  int width = 0, height = 0;
  bool viewable = false;
};

struct CursorPicture {
  int width = 0, height = 0, xhot = 0, yhot = 0;
  std::vector<std::uint32_t> argb;
  bool operator==(const CursorPicture&) const = default;
};
inline void PrintTo(const CursorPicture& c, std::ostream* out) {
  *out << c.width << "x" << c.height << " cursor, hot spot (" << c.xhot << ", " << c.yhot << ")";
}

// Xvfb on a display number of its own choosing (-displayfd), with openbox,
// for as long as the object lives.
class VirtualScreen {
 public:
  // Throws std::runtime_error when either does not come up.
  VirtualScreen(const std::string& xvfb, const std::string& openbox, const std::filesystem::path& logFolder);
  ~VirtualScreen();
  VirtualScreen(const VirtualScreen&) = delete;
  VirtualScreen& operator=(const VirtualScreen&) = delete;

  const std::string& DisplayName() const { return display_name_; }  // ":N"
  Display* display() const { return display_.get(); }

  // Every window that has a WM_CLASS, whatever its depth (the window
  // manager reparents clients into frames).
  std::vector<WindowInfo> ClientWindows() const;
  std::optional<WindowInfo> Find(const std::function<bool(const WindowInfo&)>& match) const;
  std::optional<WindowInfo> Describe(Window id) const;  // nullopt once it is gone

  RgbImage Grab(int x, int y, int width, int height) const;
  CursorPicture Cursor() const;

  void MovePointer(int x, int y) const;
  void Button(unsigned button, bool press) const;
  void Click(unsigned button) const;
  void Key(const char* keysymName, bool press) const;
  void Focus(Window id) const;

 private:
  struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
  };
  std::unique_ptr<Process> xvfb_;
  std::unique_ptr<Process> openbox_;
  std::string display_name_;
  std::unique_ptr<Display, DisplayCloser> display_;
};

}  // namespace winetest
