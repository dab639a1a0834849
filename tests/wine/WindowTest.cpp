// The Windows program's window under Wine: where it opens, what it shows,
// how it lights its items, its cursors, dragging by the background, and
// ending through EXIT and the system's close.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "tests/wine/WineFixture.h"

namespace winetest {
namespace {

namespace fs = std::filesystem;

using WindowTest = LauncherTest;

// A cursor someone can see: more than one pixel, some of them opaque.
bool Visible(const CursorPicture& c) {
  if (c.width * c.height <= 1) return false;
  for (std::uint32_t argb : c.argb)
    if (argb >> 24) return true;
  return false;
}

TEST_F(WindowTest, OpensBorderlessAtItsPlaceWithItsClientSize) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const WindowInfo w = MainWindow();
  EXPECT_EQ(w.x, kLeft);
  EXPECT_EQ(w.y, kTop);
  EXPECT_EQ(w.width, kClientWidth);
  EXPECT_EQ(w.height, kClientHeight);
  EXPECT_EQ(w.name, "") << "the title is empty";
  // No caption and no frame: the window manager's frame around it is no
  // larger than the client area.
  const auto frame = Screen().Find([&](const WindowInfo& f) {
    return f.viewable && f.x <= w.x && f.y <= w.y && f.x + f.width >= w.x + w.width &&
           f.y + f.height >= w.y + w.height && f.width < 1280;
  });
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->width, kClientWidth);
  EXPECT_EQ(frame->height, kClientHeight);
}

TEST_F(WindowTest, ShowsTheDefinitionsPicturesAtStart) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const RgbImage shown = GrabClient();
  WritePng(fs::path(LAUNCHER_WINE_SCREENSHOTS) / "start.png", shown);
  WritePng(fs::path(LAUNCHER_WINE_SCREENSHOTS) / "screen.png", Screen().Grab(0, 0, DisplayWidth(Screen().display(), 0), DisplayHeight(Screen().display(), 0)));
  // The background with INSTALL and EXIT in their normal pictures; the
  // hidden items leave the background showing where they lie.
  EXPECT_EQ(Difference(shown, ExpectedFrame(false, false)), "");
}

// The pointer's way over the window, and what is lit after each step.
struct HoverStep {
  const char* where;
  int x, y;
  bool installLit, exitLit;
};
constexpr HoverStep kHoverWay[] = {
    {"INSTALL", kInstall.left + 20, kInstall.top + 10, true, false},
    {"INSTALL again", kInstall.left + 200, kInstall.top + 5, true, false},
    {"background", 100, 300, false, false},
    {"EXIT", kExit.left + 30, kExit.top + 15, false, true},
    {"INSTALL straight from EXIT", kInstall.left + 50, kInstall.top + 12, true, false},
    {"hidden SAFETY's place", kSafety.left + 20, kSafety.top + 8, false, false},
    {"EXIT", kExit.left + 5, kExit.top + 5, false, true},
    {"hidden MANUAL's place", kManual.left + 100, kManual.top + 10, false, false},
};

TEST_F(WindowTest, LightsTheItemUnderThePointer) {
  ASSERT_NO_FATAL_FAILURE(Start());
  for (const HoverStep& step : kHoverWay) {
    SCOPED_TRACE(step.where);
    MoveTo(step.x, step.y);
    EXPECT_EQ(WaitForFrame(ExpectedFrame(step.installLit, step.exitLit)), "");
    if (step.installLit && std::string(step.where) == "INSTALL")
      WritePng(fs::path(LAUNCHER_WINE_SCREENSHOTS) / "install-lit.png", GrabClient());
  }
}

TEST_F(WindowTest, ShowsTheHandOverVisibleItemsOnly) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const auto cursorAt = [&](int x, int y) {
    MoveTo(x, y);
    std::this_thread::sleep_for(300ms);
    return Screen().Cursor();
  };
  const CursorPicture arrow = cursorAt(100, 300);
  ASSERT_TRUE(Visible(arrow)) << "no cursor at all over the background";
  CursorPicture hand;
  MoveTo(kInstall.left + 30, kInstall.top + 10);
  ASSERT_TRUE(WaitUntil([&] { return (hand = Screen().Cursor()) != arrow; }, 5s))
      << "the cursor over INSTALL is the background's";
  EXPECT_EQ(cursorAt(kExit.left + 30, kExit.top + 15), hand) << "EXIT";
  EXPECT_EQ(cursorAt(kManual.left + 30, kManual.top + 10), arrow) << "hidden MANUAL";
  EXPECT_EQ(cursorAt(kAcrobat.left + 30, kAcrobat.top + 10), arrow) << "hidden ACROBAT";
  EXPECT_EQ(cursorAt(kInstall.left + 100, kInstall.top + 20), hand) << "INSTALL again";
  EXPECT_EQ(cursorAt(600, 50), arrow) << "background again";
}

struct DragCase {
  const char* name;
  unsigned button;
  int x, y;    // where the press is, in client pixels
  bool moves;  // only the background drags the window
};

void PrintTo(const DragCase& c, std::ostream* out) { *out << c.name; }

class DragTest : public LauncherTest, public ::testing::WithParamInterface<DragCase> {};

TEST_P(DragTest, PressOnTheBackgroundDragsTheWindowByThePointersTravel) {
  const DragCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(Start());
  const WindowInfo before = MainWindow();
  const int dx = 60, dy = 40;
  MoveTo(c.x, c.y);
  std::this_thread::sleep_for(200ms);
  Screen().Button(c.button, true);
  std::this_thread::sleep_for(300ms);  // the system's move starts
  for (int step = 1; step <= 10; ++step) {
    Screen().MovePointer(before.x + c.x + dx * step / 10, before.y + c.y + dy * step / 10);
    std::this_thread::sleep_for(50ms);
  }
  std::this_thread::sleep_for(200ms);
  Screen().Button(c.button, false);

  const int wantX = before.x + (c.moves ? dx : 0), wantY = before.y + (c.moves ? dy : 0);
  WaitUntil([&] { const WindowInfo w = MainWindow(); return w.x == wantX && w.y == wantY; }, 5s);
  std::this_thread::sleep_for(300ms);  // and stays there
  const WindowInfo after = MainWindow();
  EXPECT_EQ(after.x, wantX);
  EXPECT_EQ(after.y, wantY);

  // The real calls: release the capture, then the caption grab with
  // position argument 0, to the program's own window.
  const auto grabs = TracedCalls("user32.SendMessageA");
  const std::regex grab("[0-9a-f]+,000000a1,00000002,0+");
  std::size_t count = 0;
  for (const std::string& args : grabs) count += std::regex_match(args, grab);
  EXPECT_EQ(count, c.moves ? 1u : 0u) << "caption grabs traced";
  if (c.moves) {
    EXPECT_FALSE(TracedCalls("user32.ReleaseCapture").empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Buttons, DragTest,
                         ::testing::Values(DragCase{"left", 1, 100, 300, true}, DragCase{"right", 3, 300, 60, true},
                                           DragCase{"middle", 2, 40, 440, true},
                                           DragCase{"left_on_INSTALL", 1, kInstall.left + 20, kInstall.top + 10,
                                                    false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct CloseCase {
  const char* name;
  unsigned button;  // 0: Alt+F4 instead of a click on EXIT
};

void PrintTo(const CloseCase& c, std::ostream* out) { *out << c.name; }

class CloseTest : public LauncherTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseTest, EndsTheProgramWithExitCodeZero) {
  const CloseCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(Start());
  if (c.button != 0) {
    ClickAt(kExit.left + 30, kExit.top + 15, c.button);
  } else {
    MoveTo(100, 300);
    Screen().Focus(window_);
    std::this_thread::sleep_for(300ms);
    Screen().Key("Alt_L", true);
    Screen().Key("F4", true);
    Screen().Key("F4", false);
    Screen().Key("Alt_L", false);
  }
  const auto code = WaitForExit(15s);
  ASSERT_TRUE(code) << "the program still runs";
  EXPECT_EQ(*code, 0);
  EXPECT_FALSE(Screen().Describe(window_).has_value() && Screen().Describe(window_)->viewable);
  EXPECT_TRUE(Launches().empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, CloseTest,
                         ::testing::Values(CloseCase{"EXIT_left", 1}, CloseCase{"EXIT_right", 3},
                                           CloseCase{"Alt_F4", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace winetest
