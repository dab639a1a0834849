// Pointer behaviour of the launcher's window: highlighting, capture, cursor,
// dragging and the menu actions.
#include <gtest/gtest.h>

#include "AppFixture.h"

namespace {

class PointerTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    CreateWindow();
  }
  bool Lit(TImage* item, TImage* lit) { return Shows(item, lit); }
  std::vector<int> Flags() const { return {HighlightFlags, HighlightFlags + 5}; }
  // Counts picture changes by the painting they ask for.
  std::size_t InvalidationsAfter(auto&& action) {
    Form1->Update();
    const std::size_t before = Window().invalidated.size();
    action();
    Form1->Update();
    return Window().invalidated.size() - before;
  }
};

TEST_F(PointerTest, ItemsLightUnderThePointerAndGoBackOverTheBackground) {
  Move(kInstallX, kInstallY);
  EXPECT_TRUE(Lit(Form1->INSTALL, Form1->INSTALL_C));
  EXPECT_EQ(Flags(), (std::vector<int>{0, 1, 0, 0, 0}));

  Move(kBackgroundX, kBackgroundY);
  EXPECT_TRUE(Lit(Form1->INSTALL, Form1->Pre_INSTALL));
  EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 0, 0, 0}));

  Move(kExitX, kExitY);
  EXPECT_TRUE(Lit(Form1->EXIT, Form1->EXIT_C));
  EXPECT_TRUE(Lit(Form1->INSTALL, Form1->Pre_INSTALL));
  EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 0, 0, 1}));
}

TEST_F(PointerTest, MovingStraightFromOneItemToAnotherRestoresTheFirst) {
  Move(kInstallX, kInstallY);
  Move(kExitX, kExitY);
  EXPECT_TRUE(Lit(Form1->EXIT, Form1->EXIT_C));
  EXPECT_TRUE(Lit(Form1->INSTALL, Form1->Pre_INSTALL));
  EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 0, 0, 1}));
}

TEST_F(PointerTest, RepeatedMovesCopyNoPicture) {
  Move(kInstallX, kInstallY);
  EXPECT_EQ(InvalidationsAfter([&] { Move(kInstallX + 5, kInstallY + 2); }), 0u);
  Move(kBackgroundX, kBackgroundY);
  EXPECT_EQ(InvalidationsAfter([&] { Move(kBackgroundX + 7, kBackgroundY); }), 0u);
  // A change of highlight repaints the two items and nothing else.
  Move(kInstallX, kInstallY);
  Form1->Update();
  const std::size_t before = Window().invalidated.size();
  Move(kExitX, kExitY);
  ASSERT_EQ(Window().invalidated.size() - before, 2u);
  const std::vector<TRect> painted(Window().invalidated.end() - 2, Window().invalidated.end());
  EXPECT_NE(std::find(painted.begin(), painted.end(), Form1->INSTALL->BoundsRect()), painted.end());
  EXPECT_NE(std::find(painted.begin(), painted.end(), Form1->EXIT->BoundsRect()), painted.end());
}

TEST_F(PointerTest, HiddenItemsNeitherLightNorAct) {
  // Inside MANUAL, SAFETY and ACROBAT (and outside INSTALL): the background
  // gets the events.
  const TPoint spots[] = {{370, 115}, {370, 175}, {370, 205}};
  for (TPoint p : spots) {
    SCOPED_TRACE(p.X);
    EXPECT_EQ(Form1->ControlAtPos(p.X, p.Y), Form1->UI_BackGround);
    Move(p.X, p.Y);
    EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(Window().cursor, toolkit::SystemCursor::Arrow);
    Up(p.X, p.Y);
  }
  EXPECT_TRUE(Launches().empty());
}

TEST_F(PointerTest, HandCursorOnlyOverVisibleItems) {
  const struct {
    int x, y;
    toolkit::SystemCursor cursor;
  } cases[] = {
      {kInstallX, kInstallY, toolkit::SystemCursor::Hand}, {kBackgroundX, kBackgroundY, toolkit::SystemCursor::Arrow},
      {kExitX, kExitY, toolkit::SystemCursor::Hand},       {370, 115, toolkit::SystemCursor::Arrow},
      {357, 150, toolkit::SystemCursor::Arrow},            {358, 150, toolkit::SystemCursor::Hand},
      {601, 163, toolkit::SystemCursor::Hand},             {602, 163, toolkit::SystemCursor::Arrow},
  };
  for (const auto& c : cases) {
    Move(c.x, c.y);
    EXPECT_EQ(Window().cursor, c.cursor) << c.x << "," << c.y;
  }
}

TEST_F(PointerTest, PressOnTheBackgroundWithAnyButtonStartsTheSystemMove) {
  for (TMouseButton button : {mbLeft, mbMiddle, mbRight, mbExtra1}) {
    SCOPED_TRACE(static_cast<int>(button));
    const int moves = Window().systemMoves;
    Down(kBackgroundX, kBackgroundY, button);
    EXPECT_EQ(Window().systemMoves, moves + 1);
    EXPECT_EQ(Form1->CaptureControl(), nullptr) << "the capture is released first";
    EXPECT_FALSE(Window().captured);
  }
}

TEST_F(PointerTest, PressOnAnItemCapturesThePointerAndDoesNotMoveTheWindow) {
  std::vector<std::string> releases;
  Form1->INSTALL->OnMouseUp = [&](TObject* sender, TMouseButton button, TShiftState, int x, int y) {
    releases.push_back(static_cast<TImage*>(sender)->Name + " " + std::to_string(button) + " @" +
                       std::to_string(x) + "," + std::to_string(y));
  };
  Down(kInstallX, kInstallY);
  EXPECT_EQ(Window().systemMoves, 0);
  EXPECT_EQ(Form1->CaptureControl(), Form1->INSTALL);
  EXPECT_TRUE(Window().captured);
  // While captured, moves over EXIT still go to INSTALL.
  Move(kExitX, kExitY);
  EXPECT_EQ(Flags(), (std::vector<int>{0, 1, 0, 0, 0}));
  // A second button pressed and released keeps the capture; the last
  // release ends it. Every release goes to the captured item, with its
  // button and the position relative to that item.
  Down(kExitX, kExitY, mbRight);
  Up(kExitX, kExitY, mbRight);
  EXPECT_EQ(Form1->CaptureControl(), Form1->INSTALL);
  EXPECT_TRUE(Window().captured);
  Up(kExitX, kExitY, mbLeft);
  EXPECT_EQ(Form1->CaptureControl(), nullptr);
  EXPECT_FALSE(Window().captured);
  const std::string at = " @" + std::to_string(kExitX - 358) + "," + std::to_string(kExitY - 140);
  EXPECT_EQ(releases, (std::vector<std::string>{"INSTALL 1" + at, "INSTALL 0" + at}));
  EXPECT_FALSE(Form1->Closed()) << "EXIT did not get the release";
  EXPECT_EQ(Window().systemMoves, 0);
}

TEST_F(PointerTest, ExitClosesTheWindowOnAnyButton) {
  for (TMouseButton button : {mbLeft, mbMiddle, mbRight}) {
    SCOPED_TRACE(static_cast<int>(button));
    delete Form1;
    CreateWindow();
    Down(kExitX, kExitY, button);
    Up(kExitX, kExitY, button);
    EXPECT_TRUE(Form1->Closed());
    EXPECT_EQ(Form1->NativeWindow(), nullptr) << "the native window is gone";
  }
}

TEST_F(PointerTest, CloseRequestClosesTheWindow) {
  toolkit::BackendEvent close;
  close.kind = toolkit::BackendEvent::Kind::Close;
  Form1->DispatchEvent(close);
  EXPECT_TRUE(Form1->Closed());
}

TEST_F(PointerTest, MenuActionsLaunchTheirFilesByTheLaunchRule) {
  // The hidden items cannot be reached with the pointer; their handlers are
  // complete all the same.
  const struct {
    TMouseEvent TImage::*event;
    TImage* TForm1::*item;
    const char* file;
  } cases[] = {
      {&TImage::OnMouseUp, &TForm1::MANUAL, "DriverKit\\UserGuide.pdf"},
      {&TImage::OnMouseUp, &TForm1::ACROBAT, "DriverKit\\ar500enu.exe"},
      {&TImage::OnMouseUp, &TForm1::SAFETY, "DriverKit\\SafetyGuide.pdf"},
  };
  for (const auto& c : cases) {
    Launches().clear();
    TImage* item = Form1->*c.item;
    for (TMouseButton button : {mbLeft, mbRight, mbMiddle}) (item->*c.event)(item, button, {}, 0, 0);
    ASSERT_EQ(Launches().size(), 3u) << c.file << ": every release launches again";
    for (const Launch& l : Launches()) {
      EXPECT_EQ(l.file, c.file);
      EXPECT_EQ(l.operation, "");
      EXPECT_FALSE(l.hasOwner);
      EXPECT_FALSE(l.hasParameters);
      EXPECT_FALSE(l.hasDirectory);
      EXPECT_EQ(l.show, SW_SHOW);
    }
  }
  EXPECT_TRUE(toolkit::headless::MessageBoxes().empty());
}

TEST_F(PointerTest, HiddenItemsLightWhenTheirHandlersRun) {
  // The flags keep one item lit at a time, whichever the item.
  Form1->SAFETY->OnMouseMove(Form1->SAFETY, {}, 0, 0);
  EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 1, 0, 0}));
  EXPECT_EQ(*Form1->SAFETY->Picture->Bitmap(), *Form1->SAFETY_C->Picture->Bitmap());
  Form1->MANUAL->OnMouseMove(Form1->MANUAL, {}, 0, 0);
  EXPECT_EQ(Flags(), (std::vector<int>{1, 0, 0, 0, 0}));
  EXPECT_EQ(*Form1->SAFETY->Picture->Bitmap(), *Form1->Pre_SAFETY->Picture->Bitmap());
  Form1->ACROBAT->OnMouseMove(Form1->ACROBAT, {}, 0, 0);
  EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 0, 1, 0}));
  EXPECT_EQ(*Form1->MANUAL->Picture->Bitmap(), *Form1->Pre_MANUAL->Picture->Bitmap());
  // The holders never change.
  EXPECT_NE(*Form1->Pre_ACROBAT->Picture->Bitmap(), *Form1->ACROBAT_C->Picture->Bitmap());
}

}  // namespace
