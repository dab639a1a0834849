// What every Wine test stands on: one virtual screen and the Wine prefix for
// the test process (WineSession), and per test a fresh folder holding the
// program and its DriverKit with the stand-in installers (LauncherTest).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/wine/Pictures.h"
#include "tests/wine/Process.h"
#include "tests/wine/WinePrefix.h"
#include "tests/wine/XScreen.h"

namespace winetest {

// The launcher's window as its definition lays it out.
inline constexpr int kLeft = 192, kTop = 107, kClientWidth = 640, kClientHeight = 480;
struct ItemPlace {
  const char* name;
  int left, top, width, height;
  const char* picture;     // its normal picture among the resources
  const char* litPicture;  // its highlighted one
};
inline constexpr ItemPlace kInstall{"INSTALL", 358, 140, 244, 24, "Install.bmp", "Install_C.bmp"};
inline constexpr ItemPlace kExit{"EXIT", 543, 425, 76, 32, "Exit.bmp", "Exit_C.bmp"};
// Hidden items: where they would be.
inline constexpr ItemPlace kManual{"MANUAL", 358, 110, 252, 23, "UserGuide.bmp", "UserGuide_C.bmp"};
inline constexpr ItemPlace kSafety{"SAFETY", 358, 170, 179, 19, "Safety.bmp", "Safety_C.bmp"};
inline constexpr ItemPlace kAcrobat{"ACROBAT", 358, 200, 148, 21, "Acrobat.bmp", "Acrobat_C.bmp"};

class WineSession : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;

  static WineSession& Get();  // the one registered in main
  bool Ready() const { return screen_ && prefix_; }
  VirtualScreen& screen() { return *screen_; }
  WinePrefix& prefix() { return *prefix_; }

 private:
  std::unique_ptr<VirtualScreen> screen_;
  std::unique_ptr<WinePrefix> prefix_;
};

// One line of DriverKit\launches.log, written by a stand-in installer.
struct LaunchRecord {
  std::string program;    // its file name, e.g. Tessera_W.exe
  std::string arguments;  // what followed the program on its command line
  std::string directory;  // its current directory
};

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Whether the emulated handheld's rapi.dll is in the system directory.
  virtual bool WithRemoteApiLibrary() const { return true; }

  // Starts the program in the test's folder with these extra variables
  // (the emulated handheld's settings, say) and waits for its window.
  void Start(const std::map<std::string, std::string>& environment = {});
  // The program's window as it is now (its place may change by dragging).
  WindowInfo MainWindow() const;
  VirtualScreen& Screen() const { return WineSession::Get().screen(); }

  // The pointer to a point of the client area, or a click there.
  void MoveTo(int x, int y) const;
  void ClickAt(int x, int y, unsigned button = 1) const;
  RgbImage GrabClient() const;
  // The client area as the definition's pictures make it, with the items
  // named lit showing their highlighted pictures.
  static RgbImage ExpectedFrame(bool installLit, bool exitLit);
  // Waits until the client area shows the expected frame; on timeout the
  // difference, else an empty string.
  std::string WaitForFrame(const RgbImage& expected) const;

  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
  // A message box of the program: a window titled as given.
  std::optional<WindowInfo> FindBox(const std::string& title) const;
  // Presses Return in the box and waits for it to go.
  bool DismissBox(const WindowInfo& box) const;

  // What the Wine process wrote: the relay trace of the calls the program
  // makes (see WinePrefix.cpp) and the emulated handheld's trace.
  std::string WineOutput() const;
  // Only its trace lines (relay calls, the emulated handheld, Wine's
  // errors): what a failure message shows.
  std::string TraceLines() const;
  // The argument text of every traced call of the function (e.g.
  // "user32.MessageBoxA"), in order.
  std::vector<std::string> TracedCalls(const std::string& function) const;
  std::vector<LaunchRecord> Launches() const;
  // Whether the program under test is a 32-bit one.
  static bool ProgramIs32Bit();

  std::filesystem::path folder_;  // the program's folder and current directory
  std::unique_ptr<Process> program_;
  Window window_ = 0;
};

}  // namespace winetest
