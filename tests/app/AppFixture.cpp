#include "AppFixture.h"

#include "toolkit/Application.h"
#include "winapi/posix_hooks.h"

namespace {

HINSTANCE RecordLaunch(HWND owner, LPCSTR op, LPCSTR file, LPCSTR params, LPCSTR dir, INT show) {
  AppTest_Launches().push_back({file ? file : "", op ? op : "", owner != nullptr, params != nullptr,
                                dir != nullptr, show});
  return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(42));
}

}  // namespace

std::vector<Launch>& AppTest_Launches() {
  static std::vector<Launch> launches;
  return launches;
}

std::vector<Launch>& AppTest::Launches() { return AppTest_Launches(); }

void AppTest::SetUp() {
  Application->Initialize();
  Application->SetBackendFactory(nullptr);
  winapi_posix::hooks().shellExecute = RecordLaunch;
  Launches().clear();
  toolkit::headless::MessageBoxes().clear();
  for (auto& f : HighlightFlags) f = 0;
}

void AppTest::TearDown() {
  delete Form1;
  Form1 = nullptr;
  winapi_posix::hooks().shellExecute = nullptr;
}

void AppTest::CreateWindow(const std::vector<std::uint8_t>* definition) {
  Form1 = new TForm1(Application);
  if (definition)
    Form1->InitializeFromDefinition(*definition);
  else
    Form1->InitializeFromResource();
  Form1->Show();
}

toolkit::headless::HeadlessBackend& AppTest::Window() const {
  auto* backend = dynamic_cast<toolkit::headless::HeadlessBackend*>(Form1->NativeWindow());
  if (!backend) throw std::runtime_error("Form1 has no window");
  return *backend;
}

void AppTest::Move(int x, int y) {
  toolkit::BackendEvent e;
  e.kind = toolkit::BackendEvent::Kind::MouseMove;
  e.x = x;
  e.y = y;
  Form1->DispatchEvent(e);
  Form1->Update();
}

void AppTest::Down(int x, int y, TMouseButton button) {
  toolkit::BackendEvent e;
  e.kind = toolkit::BackendEvent::Kind::MouseDown;
  e.x = x;
  e.y = y;
  e.button = button;
  Form1->DispatchEvent(e);
  Form1->Update();
}

void AppTest::Up(int x, int y, TMouseButton button) {
  toolkit::BackendEvent e;
  e.kind = toolkit::BackendEvent::Kind::MouseUp;
  e.x = x;
  e.y = y;
  e.button = button;
  Form1->DispatchEvent(e);
  if (!Form1->Closed()) Form1->Update();
}

std::uint32_t AppTest::PixelAt(int x, int y) {
  Form1->Update();
  return Form1->Frame().Pixel(x, y);
}

bool AppTest::Shows(const TImage* image, const TImage* holder) {
  Form1->Update();
  const TBitmap* picture = holder->Picture->Bitmap();
  const TRect r = image->BoundsRect();
  if (picture->Width() != r.Width() || picture->Height() != r.Height()) return false;
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x)
      if (Form1->Frame().Pixel(r.Left + x, r.Top + y) != picture->Pixel(x, y)) return false;
  return true;
}

std::vector<std::string> AppTest::MessageTexts() const {
  std::vector<std::string> texts;
  for (const auto& box : toolkit::headless::MessageBoxes()) texts.push_back(box.caption + "|" + box.text);
  return texts;
}
