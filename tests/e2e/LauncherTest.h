// The fixture of the end-to-end tests: the real launcher on the tests' X
// server, started in a working folder of its own whose DriverKit holds
// stand-in installers and documents that write their names to a log.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Picture.h"
#include "Process.h"
#include "XSession.h"

namespace e2e {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::milliseconds;

inline std::ostream& operator<<(std::ostream& out, const Point& p) {
  return out << "(" << p.x << "," << p.y << ")";
}
inline std::ostream& operator<<(std::ostream& out, const Geometry& g) {
  return out << g.width << "x" << g.height << " at (" << g.x << "," << g.y << ")";
}

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  Point Center() const { return {x + width / 2, y + height / 2}; }
};

// The window as defined, in client coordinates.
inline constexpr Point kPlace{192, 107};
inline constexpr int kClientWidth = 640;
inline constexpr int kClientHeight = 480;
inline constexpr Rect kInstall{358, 140, 244, 24};
inline constexpr Rect kExit{543, 425, 76, 32};
inline constexpr Rect kManual{358, 110, 252, 23};   // hidden
inline constexpr Rect kSafety{358, 170, 179, 19};   // hidden
inline constexpr Rect kAcrobat{358, 200, 148, 21};  // hidden
// Background, well away from every item.
inline constexpr Point kBackground{100, 300};
inline constexpr Point kOtherBackground{200, 60};
// A root position outside the window, where the pointer rests between tests.
inline constexpr Point kOutside{1000, 740};

// The launcher's pictures, read from the resource folder.
struct Artwork {
  Picture background, install, installLit, exit, exitLit, icon;
  // What the window shows with nothing lit, or with one item lit.
  Picture Screen(bool installLit = false, bool exitLit = false) const;
};
const Artwork& Art();

enum class Handheld {
  Emulated,   // the emulated handheld's library on the library path
  NoLibrary,  // no remote-API library anywhere
};

struct RunOptions {
  std::filesystem::path program;  // empty: the launcher
  Handheld handheld = Handheld::Emulated;
  std::vector<std::string> settings;  // more "NAME=value" entries (RAPIEMU_...)
  bool display = true;                // false: no DISPLAY at all
};

std::filesystem::path LauncherProgram();
std::filesystem::path DamagedProgram();

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the program; Start also waits until its window shows the start
  // screen at its place.
  void Launch(const RunOptions& options = {});
  void Start(const RunOptions& options = {});

  XSession& X() { return *x_; }
  Process& Program() { return *program_; }
  Window LauncherWindow() const { return window_; }
  const std::string& DisplayName() const { return display_; }
  const std::filesystem::path& Folder() const { return folder_; }

  // Where the client area is on the screen now.
  Point Origin();
  Point OnScreen(Point client);
  void MoveTo(Point client);
  // Moves the pointer by (dx, dy) in `steps` even steps.
  void MoveBy(int dx, int dy, int steps);
  void Click(Point client, unsigned button = 1);

  Picture Screen();
  Picture ScreenPart(const Rect& area);
  // Waits until the area (the whole client area when omitted) shows the
  // picture.
  ::testing::AssertionResult Shows(const Rect& area, const Picture& expected, Milliseconds timeout = 3s);
  ::testing::AssertionResult ShowsScreen(const Picture& expected, Milliseconds timeout = 3s);
  ::testing::AssertionResult PointerLooks(const PointerImage& expected, const char* what, Milliseconds timeout = 3s);
  // Waits for the window's client area to reach a root position.
  ::testing::AssertionResult IsAt(Point place, Milliseconds timeout = 3s);

  // The names the stand-ins wrote, oldest first.
  std::vector<std::string> Launches() const;
  bool WaitForLaunches(std::size_t count, Milliseconds timeout = 5s);

  // The emulated handheld's registry: its Bluetooth software's version text,
  // or any registry text.
  void SetVersion(const std::string& text);
  void SetRegistry(const std::string& body);

  // A new top-level window with this title.
  std::optional<Window> WaitForBox(const std::string& title, Milliseconds timeout);
  // Presses Return in the box and waits until it has gone.
  ::testing::AssertionResult Acknowledge(Window box);

  // Saves the client area (or the whole screen) as
  // build/e2e-screenshots/<name>.png.
  void Screenshot(const std::string& name, bool wholeScreen = false);

  std::optional<int> WaitForExit(Milliseconds timeout = 5s) { return program_->WaitForExit(timeout); }

 private:
  std::unique_ptr<XSession> x_;
  std::unique_ptr<Process> program_;
  std::string display_;
  std::filesystem::path folder_;
  Window window_ = 0;
};

}  // namespace e2e
