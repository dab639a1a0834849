// The pointer over the launcher: its shape, the lighting of the items, the
// hidden items, dragging the window by its background and the exit button.
#include <X11/cursorfont.h>

#include <thread>

#include "LauncherTest.h"

namespace e2e {
namespace {

using PointerTest = LauncherTest;

// The hidden items of the window definition.
struct HiddenItem {
  const char* name;
  Rect area;
};
constexpr HiddenItem kHiddenItems[] = {{"MANUAL", kManual}, {"SAFETY", kSafety}, {"ACROBAT", kAcrobat}};

Picture BackgroundUnder(const Rect& area) { return Art().background.Crop(area.x, area.y, area.width, area.height); }

TEST_F(PointerTest, ShowsTheHandOverTheVisibleItemsAndTheArrowElsewhere) {
  const PointerImage arrow = X().FontCursor(XC_left_ptr);
  const PointerImage hand = X().FontCursor(XC_hand2);
  ASSERT_FALSE(arrow == hand) << "this X server draws the arrow and the hand alike";
  ASSERT_NO_FATAL_FAILURE(Start());

  MoveTo(kBackground);
  EXPECT_TRUE(PointerLooks(arrow, "the arrow over the background"));
  MoveTo(kInstall.Center());
  EXPECT_TRUE(PointerLooks(hand, "the hand over INSTALL"));
  MoveTo(kBackground);
  EXPECT_TRUE(PointerLooks(arrow, "the arrow over the background after INSTALL"));
  MoveTo(kExit.Center());
  EXPECT_TRUE(PointerLooks(hand, "the hand over EXIT"));
  for (const HiddenItem& item : kHiddenItems) {
    SCOPED_TRACE(item.name);
    MoveTo(kInstall.Center());
    ASSERT_TRUE(PointerLooks(hand, "the hand over INSTALL"));
    MoveTo(item.area.Center());
    EXPECT_TRUE(PointerLooks(arrow, "the arrow over a hidden item"));
  }
}

TEST_F(PointerTest, AnItemIsLitWhileThePointerIsOverIt) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const Artwork& art = Art();

  MoveTo(kInstall.Center());
  ASSERT_TRUE(ShowsScreen(art.Screen(true, false))) << "INSTALL did not light";
  Screenshot("install-lit");
  MoveTo({kInstall.x + 3, kInstall.y + 3});  // more moves over it change nothing
  EXPECT_TRUE(ShowsScreen(art.Screen(true, false)));

  MoveTo(kBackground);
  EXPECT_TRUE(ShowsScreen(art.Screen())) << "INSTALL did not go back to normal over the background";

  MoveTo(kExit.Center());
  EXPECT_TRUE(ShowsScreen(art.Screen(false, true))) << "EXIT did not light";
  Screenshot("exit-lit");

  // Straight from one item to the other: the one left goes back to normal.
  MoveTo(kInstall.Center());
  EXPECT_TRUE(ShowsScreen(art.Screen(true, false)));
  MoveTo(kExit.Center());
  EXPECT_TRUE(ShowsScreen(art.Screen(false, true)));
}

TEST_F(PointerTest, AnItemLeftStraightOutOfTheWindowStaysLitUntilTheNextMoveInside) {
  ASSERT_NO_FATAL_FAILURE(Start());
  MoveTo(kInstall.Center());
  ASSERT_TRUE(ShowsScreen(Art().Screen(true, false)));
  X().MoveTo(kOutside);
  std::this_thread::sleep_for(300ms);  // time enough to react, were there anything to react to
  EXPECT_TRUE(ShowsScreen(Art().Screen(true, false), 0ms)) << "INSTALL went out when the pointer left";
  MoveTo(kOtherBackground);
  EXPECT_TRUE(ShowsScreen(Art().Screen()));
}

TEST_F(PointerTest, HiddenItemsShowTheBackgroundAndReactToNothing) {
  SetVersion("1.4.1.75");
  ASSERT_NO_FATAL_FAILURE(Start());
  const Artwork& art = Art();
  for (const HiddenItem& item : kHiddenItems) {
    SCOPED_TRACE(item.name);
    EXPECT_TRUE(Shows(item.area, BackgroundUnder(item.area), 0ms));

    // A move onto it is a move over the background: INSTALL, lit before,
    // goes back to normal, and the hidden item does not light.
    MoveTo(kInstall.Center());
    ASSERT_TRUE(Shows(kInstall, art.installLit));
    MoveTo(item.area.Center());
    EXPECT_TRUE(Shows(kInstall, art.install)) << "the move over the hidden item did not reach the background";
    EXPECT_TRUE(Shows(item.area, BackgroundUnder(item.area), 0ms));

    // A press on it is a press on the background: the window manager is
    // asked to move the window, which stays put since the pointer does.
    const std::size_t requests = X().MoveRequests().size();
    X().Press(1);
    EXPECT_TRUE(X().WaitUntil([&] { return X().MoveRequests().size() > requests; }, 2s))
        << "the press did not reach the background";
    std::this_thread::sleep_for(200ms);  // the window manager takes the pointer
    X().Release(1);
    // Until the window manager lets go, the pointer's moves are its own.
    EXPECT_TRUE(X().WaitUntilPointerFree(2s)) << "the window manager's move did not end";
    EXPECT_TRUE(IsAt(kPlace, 0ms));
  }
  // The same button still acts on a visible item afterwards, and INSTALL's
  // installer is the only thing ever launched.
  Click(kInstall.Center(), 1);
  ASSERT_TRUE(WaitForLaunches(1)) << "INSTALL did not react after the presses on the hidden items";
  std::this_thread::sleep_for(300ms);  // a late launch from before would show up by now
  EXPECT_EQ(Launches(), std::vector<std::string>{"Tessera_W.exe"});
}

TEST_F(PointerTest, PressingAndDraggingOnInstallDoesNotMoveTheWindow) {
  SetVersion("1.4.1.75");
  ASSERT_NO_FATAL_FAILURE(Start());
  MoveTo(kInstall.Center());
  X().Press(1);
  std::this_thread::sleep_for(100ms);
  MoveBy(60, 40, 6);
  X().Release(1);
  // INSTALL holds the pointer from its press, so the release off it is still
  // its own: it installs.
  ASSERT_TRUE(WaitForLaunches(1)) << "the release did not reach INSTALL";
  EXPECT_EQ(Launches(), std::vector<std::string>{"Tessera_W.exe"});
  EXPECT_TRUE(X().MoveRequests().empty()) << "the launcher asked to be moved";
  EXPECT_TRUE(IsAt(kPlace, 0ms));
}

struct Button {
  const char* name;
  unsigned number;  // X's: 1 left, 2 middle, 3 right
};
constexpr Button kButtons[] = {{"Left", 1}, {"Middle", 2}, {"Right", 3}};
std::string ButtonName(const ::testing::TestParamInfo<Button>& info) { return info.param.name; }

class DragTest : public LauncherTest, public ::testing::WithParamInterface<Button> {};

TEST_P(DragTest, DraggingTheBackgroundMovesTheWindowByThePointersTravel) {
  const unsigned button = GetParam().number;
  ASSERT_NO_FATAL_FAILURE(Start());
  MoveTo(kBackground);
  const Point pressedAt = X().Pointer();
  X().Press(button);
  ASSERT_TRUE(X().WaitUntil([&] { return !X().MoveRequests().empty(); }, 2s))
      << "the launcher did not ask the window manager to move it";
  const MoveRequest request = X().MoveRequests().back();
  EXPECT_EQ(request.window, LauncherWindow());
  EXPECT_EQ(request.direction, 8) << "not a move";
  EXPECT_EQ(request.button, static_cast<long>(button));
  EXPECT_EQ(request.source, 1);
  EXPECT_EQ((Point{static_cast<int>(request.rootX), static_cast<int>(request.rootY)}), pressedAt);

  std::this_thread::sleep_for(200ms);  // the window manager takes the pointer
  MoveBy(60, 40, 6);
  std::this_thread::sleep_for(100ms);
  X().Release(button);
  EXPECT_TRUE(IsAt({kPlace.x + 60, kPlace.y + 40}));
  // Until the window manager lets go, the pointer's moves are its own.
  EXPECT_TRUE(X().WaitUntilPointerFree(2s)) << "the window manager's move did not end";
  if (button == 1) Screenshot("moved");

  // Where it is now it goes on reacting, to the same button too: EXIT
  // lights, and a release on it ends the program.
  MoveTo(kExit.Center());
  EXPECT_TRUE(Shows(kExit, Art().exitLit));
  X().Press(button);
  X().Release(button);
  EXPECT_EQ(WaitForExit(5s), std::optional<int>(0));
}

INSTANTIATE_TEST_SUITE_P(Buttons, DragTest, ::testing::ValuesIn(kButtons), ButtonName);

class ExitTest : public LauncherTest, public ::testing::WithParamInterface<Button> {};

TEST_P(ExitTest, ReleasingAButtonOnExitEndsTheProgramWithZero) {
  const unsigned button = GetParam().number;
  ASSERT_NO_FATAL_FAILURE(Start());
  MoveTo(kExit.Center());
  ASSERT_TRUE(Shows(kExit, Art().exitLit));
  X().Press(button);
  EXPECT_FALSE(WaitForExit(300ms)) << "the press alone ended the program";
  X().Release(button);
  EXPECT_EQ(WaitForExit(5s), std::optional<int>(0));
}

INSTANTIATE_TEST_SUITE_P(Buttons, ExitTest, ::testing::ValuesIn(kButtons), ButtonName);

}  // namespace
}  // namespace e2e
