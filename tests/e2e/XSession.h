// The tests' own connection to the X server: finding and examining
// windows, pointer and keyboard input through XTEST, the screen's pixels,
// the pointer's shape, requests to the window manager, and waiting for any
// of these to change.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Picture.h"

// Xlib's own types, without its macros in every test.
struct _XDisplay;
using XID = unsigned long;

namespace e2e {

using Window = XID;

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

struct Geometry {
  int x = 0, y = 0;  // the window's origin on the root window
  int width = 0, height = 0;
  bool operator==(const Geometry&) const = default;
};

// What the pointer looks like: its image (ARGB) and hot spot.
struct PointerImage {
  int width = 0, height = 0, xhot = 0, yhot = 0;
  std::vector<std::uint32_t> pixels;
  bool operator==(const PointerImage&) const = default;
};

// A _NET_WM_MOVERESIZE request a client sent to the root window.
struct MoveRequest {
  Window window = 0;
  long rootX = 0, rootY = 0, direction = 0, button = 0, source = 0;
};

class XSession {
 public:
  // Connects to the display (":3"); throws std::runtime_error when it can't
  // or when the server lacks XTEST or XFIXES.
  explicit XSession(const std::string& display);
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  Window Root() const { return root_; }

  // --- Windows
  // The top-level windows the window manager manages (_NET_CLIENT_LIST).
  std::vector<Window> Clients();
  // A viewable managed window of the process (_NET_WM_PID).
  std::optional<Window> ClientOfProcess(pid_t pid);
  // A viewable managed window with this title.
  std::optional<Window> ClientTitled(const std::string& title);
  bool Viewable(Window window);
  // The title: _NET_WM_NAME, else WM_NAME; empty when neither is set.
  std::string Title(Window window);
  // The raw text of a property; nullopt when it is missing.
  std::optional<std::string> TextProperty(Window window, const char* name);
  // A property of 32-bit items (CARDINAL, WINDOW, ATOM); empty when missing.
  std::vector<long> LongProperty(Window window, const char* name);
  Geometry RootGeometry(Window window);
  int BorderWidth(Window window);
  // The window's ancestor that is a child of the root: the window manager's
  // frame, or the window itself when it has none.
  Window TopLevel(Window window);
  Window ActiveWindow();

  // --- Input
  void MoveTo(Point root);
  void Press(unsigned button);
  void Release(unsigned button);
  // Presses the keys in order and releases them in reverse ("Alt_L", "F4").
  void Keys(const std::vector<std::string>& keysyms);
  // Releases every button the server has down.
  void ReleaseButtons();
  Point Pointer();
  // Waits until no client holds the pointer (the window manager lets go of
  // it when its move ends). Looks by grabbing it for a moment itself.
  bool WaitUntilPointerFree(std::chrono::milliseconds timeout);

  // --- The screen
  Picture Grab(const Geometry& area);
  PointerImage Cursor();
  // The shape of a cursor of the standard cursor font (XC_hand2...), as
  // this server draws it: shown over a small window of the test's own.
  PointerImage FontCursor(unsigned shape);

  // --- Requests to the window manager
  void RequestActivation(Window window);
  void RequestClose(Window window);

  // --- Waiting
  // Handles the events that came in, then evaluates `done`; waits for X
  // events (at most 25 ms at a time, for conditions outside X) until it
  // holds or the time is up. Returns its last value.
  bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Every _NET_WM_MOVERESIZE request seen since the session began.
  const std::vector<MoveRequest>& MoveRequests();
  void Sync();

 private:
  unsigned long Atom(const char* name);
  void HandleEvents();

  _XDisplay* display_ = nullptr;
  Window root_ = 0;
  std::vector<MoveRequest> moveRequests_;
};

}  // namespace e2e
