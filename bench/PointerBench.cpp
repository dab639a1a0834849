// The cost of one pointer move through the toolkit core and the launcher's
// handlers, on the headless backend: dispatch, hit test, cursor, handler and
// the repaint the message loop does before it next waits.
//
// Counters per event:
//   pictures_copied   picture assignments (each copies a whole bitmap)
//   pixels_repainted  pixels of the frame recomposed and handed to the backend
//   rects_repainted   rectangles handed to the backend
//
//   BM_Baseline_MoveWithoutHandler  the same move over the background with
//                                   its handler taken away: the floor of
//                                   any move event
//   BM_MoveOverLitItem              a move over INSTALL while it is lit
//   BM_MoveOverBackgroundNothingLit a move over the background, nothing lit
//   BM_MoveChangingHighlight        moves between INSTALL and EXIT, each
//                                   one lighting one and restoring the other
//
// And, to account for the launcher's start-up, the toolkit's own share of
// it: BM_StartupShare_LoadAndShowWindow creates the window from its embedded
// definition (the stream, sixteen images and their pictures) and composes
// its first frame, as the program does before it can paint.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>

#include "app/Install1.h"
#include "toolkit/Application.h"
#include "toolkit/headless/HeadlessBackend.h"

namespace {

constexpr int kInstallX = 400, kInstallY = 150;
constexpr int kExitX = 580, kExitY = 440;
constexpr int kBackgroundX = 100, kBackgroundY = 400;

// The launcher's window on the headless backend, counting picture copies.
class Window {
 public:
  Window() {
    Application->Initialize();
    Form1 = new TForm1(Application);
    Form1->InitializeFromResource();
    Form1->Show();
    backend_ = toolkit::headless::LastBackend();
    for (TImage* item : {Form1->MANUAL, Form1->INSTALL, Form1->SAFETY, Form1->ACROBAT, Form1->EXIT}) {
      auto repaint = item->Picture->OnChange;
      item->Picture->OnChange = [this, repaint] {
        ++pictures_;
        repaint();
      };
    }
    for (auto& flag : HighlightFlags) flag = 0;
  }
  ~Window() {
    delete Form1;
    Form1 = nullptr;
  }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  void Move(int x, int y) {
    toolkit::BackendEvent e;
    e.kind = toolkit::BackendEvent::Kind::MouseMove;
    e.x = x;
    e.y = y;
    Form1->DispatchEvent(e);
    Form1->Update();
    // What the backend was handed, counted and let go (as a real one paints it).
    for (const TRect& r : backend_->invalidated) pixels_ += static_cast<std::int64_t>(r.Width()) * r.Height();
    rects_ += static_cast<std::int64_t>(backend_->invalidated.size());
    backend_->invalidated.clear();
  }

  void StartCounting() { pictures_ = pixels_ = rects_ = 0; }
  void Report(benchmark::State& state) const {
    const auto perEvent = benchmark::Counter::kAvgIterations;
    state.counters["pictures_copied"] = benchmark::Counter(static_cast<double>(pictures_), perEvent);
    state.counters["pixels_repainted"] = benchmark::Counter(static_cast<double>(pixels_), perEvent);
    state.counters["rects_repainted"] = benchmark::Counter(static_cast<double>(rects_), perEvent);
  }

 private:
  toolkit::headless::HeadlessBackend* backend_ = nullptr;
  std::int64_t pictures_ = 0, pixels_ = 0, rects_ = 0;
};

void BM_Baseline_MoveWithoutHandler(benchmark::State& state) {
  Window w;
  Form1->UI_BackGround->OnMouseMove = nullptr;
  w.Move(kBackgroundX, kBackgroundY);
  w.StartCounting();
  for (auto _ : state) w.Move(kBackgroundX, kBackgroundY);
  w.Report(state);
}

void BM_MoveOverLitItem(benchmark::State& state) {
  Window w;
  w.Move(kInstallX, kInstallY);  // lights INSTALL
  w.StartCounting();
  for (auto _ : state) w.Move(kInstallX, kInstallY);
  w.Report(state);
}

void BM_MoveOverBackgroundNothingLit(benchmark::State& state) {
  Window w;
  w.Move(kBackgroundX, kBackgroundY);
  w.StartCounting();
  for (auto _ : state) w.Move(kBackgroundX, kBackgroundY);
  w.Report(state);
}

void BM_MoveChangingHighlight(benchmark::State& state) {
  Window w;
  w.Move(kInstallX, kInstallY);
  w.StartCounting();
  bool onExit = false;
  for (auto _ : state) {
    onExit = !onExit;
    if (onExit)
      w.Move(kExitX, kExitY);
    else
      w.Move(kInstallX, kInstallY);
  }
  w.Report(state);
  // The two images involved, for comparison with pixels_repainted.
  state.counters["pixels_of_both_items"] = Form1->INSTALL->Width * Form1->INSTALL->Height +
                                          Form1->EXIT->Width * Form1->EXIT->Height;
}

void BM_StartupShare_LoadAndShowWindow(benchmark::State& state) {
  Application->Initialize();
  for (auto _ : state) {
    Form1 = new TForm1(Application);
    Form1->InitializeFromResource();
    Form1->Show();
    benchmark::DoNotOptimize(Form1->Frame().Pixels());
    state.PauseTiming();
    delete Form1;
    Form1 = nullptr;
    state.ResumeTiming();
  }
}

}  // namespace

BENCHMARK(BM_Baseline_MoveWithoutHandler);
BENCHMARK(BM_MoveOverLitItem);
BENCHMARK(BM_MoveOverBackgroundNothingLit);
BENCHMARK(BM_MoveChangingHighlight);
BENCHMARK(BM_StartupShare_LoadAndShowWindow)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
