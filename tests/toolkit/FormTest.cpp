// The toolkit's form: hit-testing, painting, capture and the message loop,
// on the headless backend.
#include <gtest/gtest.h>

#include "toolkit/Application.h"
#include "toolkit/Form.h"
#include "toolkit/Image.h"
#include "toolkit/headless/HeadlessBackend.h"

namespace {

using toolkit::BackendEvent;
using Kind = toolkit::BackendEvent::Kind;

TImage* AddImage(TForm* form, const char* name, TRect r, std::uint32_t rgb, int pw = -1, int ph = -1) {
  auto* image = new TImage(form);
  image->Name = name;
  image->Left = r.Left;
  image->Top = r.Top;
  image->Width = r.Width();
  image->Height = r.Height();
  *image->Picture->Bitmap() = TBitmap(pw < 0 ? r.Width() : pw, ph < 0 ? r.Height() : ph, rgb);
  return image;
}

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    form = new TForm(Application);
    form->Name = "Test";
    form->ClientWidth = 100;
    form->ClientHeight = 80;
    form->Color = clWhite;
    back = AddImage(form, "back", {0, 0, 100, 80}, 0x000010);
    low = AddImage(form, "low", {10, 10, 50, 40}, 0x0000AA);
    high = AddImage(form, "high", {30, 20, 70, 60}, 0x00BB00);
    hidden = AddImage(form, "hidden", {0, 0, 20, 20}, 0xCC0000);
    hidden->Visible = false;
    form->Show();
  }
  void TearDown() override {
    if (Application->MainForm == form) Application->MainForm = nullptr;
    delete form;
  }
  toolkit::headless::HeadlessBackend& Window() {
    return *dynamic_cast<toolkit::headless::HeadlessBackend*>(form->NativeWindow());
  }
  void Send(Kind kind, int x, int y, TMouseButton b = mbLeft) {
    BackendEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.button = b;
    form->DispatchEvent(e);
  }
  std::uint32_t At(int x, int y) {
    form->Update();
    return form->Frame().Pixel(x, y);
  }


 public:
  TForm* form = nullptr;
  TImage *back = nullptr, *low = nullptr, *high = nullptr, *hidden = nullptr;
};

TEST_F(FormTest, TopmostVisibleImageGetsThePointer) {
  const struct {
    int x, y;
    TImage* FormTest::*expected;
  } cases[] = {{5, 5, &FormTest::back},  {15, 15, &FormTest::low}, {35, 25, &FormTest::high},
               {49, 39, &FormTest::high}, {60, 55, &FormTest::high}, {70, 60, &FormTest::back},
               {10, 10, &FormTest::low},  {9, 10, &FormTest::back}};
  for (const auto& c : cases) EXPECT_EQ(form->ControlAtPos(c.x, c.y), this->*c.expected) << c.x << "," << c.y;
  EXPECT_EQ(form->ControlAtPos(100, 10), nullptr) << "outside the client area";
}

TEST_F(FormTest, FrameIsComposedInDeclarationOrderWithoutHiddenImages) {
  EXPECT_EQ(At(5, 5), 0x000010u) << "the hidden image is not drawn";
  EXPECT_EQ(At(15, 15), 0x0000AAu);
  EXPECT_EQ(At(35, 25), 0x00BB00u);
  hidden->Visible = true;
  EXPECT_EQ(At(5, 5), 0xCC0000u);
  hidden->Visible = false;
  EXPECT_EQ(At(5, 5), 0x000010u) << "hiding repaints what lies below";
}

TEST_F(FormTest, CentredPictureSmallerThanItsImageLeavesWhatLiesBelowAround) {
  back->Visible = false;
  // Around the picture the image is transparent: here only the form lies below.
  TImage* c = AddImage(form, "centred", {75, 60, 95, 80}, 0x123456, 10, 6);
  c->Center = true;
  EXPECT_EQ(At(80, 67), 0x123456u);
  EXPECT_EQ(At(89, 72), 0x123456u);
  EXPECT_EQ(At(79, 67), 0xFFFFFFu);
  EXPECT_EQ(At(90, 67), 0xFFFFFFu);
  EXPECT_EQ(At(80, 66), 0xFFFFFFu);
  c->Center = false;
  EXPECT_EQ(At(75, 60), 0x123456u) << "uncentred pictures start at the corner";
}

TEST_F(FormTest, LargerPictureIsClippedToItsImage) {
  TImage* big = AddImage(form, "big", {90, 70, 95, 75}, 0xABCDEF, 50, 50);
  EXPECT_EQ(At(94, 74), 0xABCDEFu);
  EXPECT_EQ(At(95, 75), 0x000010u);
  big->Left = 98;  // partly outside the client area: clipped there too
  EXPECT_EQ(At(99, 72), 0xABCDEFu);
  EXPECT_EQ(At(92, 72), 0x000010u) << "its old place is repainted";
}

TEST_F(FormTest, InvalidRectanglesMergeWhereTheyOverlapOnly) {
  form->Update();
  form->InvalidateRect({0, 0, 10, 10});
  form->InvalidateRect({50, 50, 60, 60});
  form->InvalidateRect({5, 5, 15, 15});
  std::vector<TRect> pending = form->PendingInvalidRects();
  std::sort(pending.begin(), pending.end(), [](auto& a, auto& b) { return a.Left < b.Left; });
  EXPECT_EQ(pending, (std::vector<TRect>{{0, 0, 15, 15}, {50, 50, 60, 60}}));
  for (int i = 0; i < 12; ++i) form->InvalidateRect({i * 8, 70, i * 8 + 2, 72});
  EXPECT_LE(form->PendingInvalidRects().size(), 8u) << "the list stays short";
  form->InvalidateRect({-20, -20, 500, 500});
  EXPECT_EQ(form->PendingInvalidRects(), (std::vector<TRect>{{0, 0, 100, 80}})) << "clipped to the client area";
}

TEST_F(FormTest, CaptureFollowsPressesAndEndsWithTheLastRelease) {
  std::vector<std::string> log;
  low->OnMouseMove = [&](TObject* s, TShiftState, int x, int y) {
    log.push_back(static_cast<TImage*>(s)->Name + " move " + std::to_string(x) + "," + std::to_string(y));
  };
  high->OnMouseMove = [&](TObject*, TShiftState, int, int) { log.push_back("high move"); };
  Send(Kind::MouseDown, 15, 15);
  Send(Kind::MouseMove, 35, 25);
  Send(Kind::MouseMove, 200, -5);  // outside the window, still captured
  Send(Kind::MouseUp, 200, -5);
  Send(Kind::MouseMove, 35, 25);
  EXPECT_EQ(log, (std::vector<std::string>{"low move 25,15", "low move 190,-15", "high move"}));
  EXPECT_EQ(form->CaptureControl(), nullptr);
}

TEST_F(FormTest, LostCaptureAndReleaseCaptureEndIt) {
  Send(Kind::MouseDown, 15, 15);
  EXPECT_TRUE(Window().captured);
  Send(Kind::CaptureLost, 0, 0);
  EXPECT_EQ(form->CaptureControl(), nullptr);
  Send(Kind::MouseDown, 15, 15);
  ReleaseCapture();  // the stand-in reaches the toolkit
  EXPECT_EQ(form->CaptureControl(), nullptr);
  EXPECT_FALSE(Window().captured);
}

TEST_F(FormTest, CaptionGrabMessageStartsTheSystemMoveAndCloseCloses) {
  EXPECT_EQ(SendMessageA(form->Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0), 0);
  EXPECT_EQ(Window().systemMoves, 1);
  SendMessageA(form->Handle(), WM_NCLBUTTONDOWN, 5 /* not the caption */, 0);
  EXPECT_EQ(Window().systemMoves, 1);
  SendMessageA(form->Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(form->Closed());
  EXPECT_EQ(TForm::FromHandle(reinterpret_cast<HWND>(form)), nullptr) << "no window any more";
}

TEST_F(FormTest, MessageLoopShowsHandlerExceptionsAndGoesOn) {
  toolkit::headless::MessageBoxes().clear();
  Application->MainForm = form;
  int moves = 0;
  low->OnMouseDown = [](TObject*, TMouseButton, TShiftState, int, int) { throw Exception("handler broke"); };
  low->OnMouseMove = [&](TObject*, TShiftState, int, int) { ++moves; };
  BackendEvent down;
  down.kind = Kind::MouseDown;
  down.x = down.y = 15;
  BackendEvent move = down;
  move.kind = Kind::MouseMove;
  Window().Queue(down);
  Window().Queue(move);
  Application->Run();
  ASSERT_EQ(toolkit::headless::MessageBoxes().size(), 1u);
  EXPECT_EQ(toolkit::headless::MessageBoxes()[0].text, "handler broke");
  EXPECT_TRUE(toolkit::headless::MessageBoxes()[0].error);
  EXPECT_EQ(moves, 1) << "the loop went on after the exception";
}

}  // namespace
