// The launcher's window as the desktop sees it: its place, size, frame,
// title and icon, what it shows at start, how the window manager closes it,
// and that it costs nothing while it waits.
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "LauncherTest.h"

namespace e2e {
namespace {

using WindowTest = LauncherTest;

TEST_F(WindowTest, OpensAtItsPlaceWithItsSizeAndNothingAroundIt) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const Geometry defined{kPlace.x, kPlace.y, kClientWidth, kClientHeight};
  const Window window = LauncherWindow();
  EXPECT_EQ(X().RootGeometry(window), defined);
  EXPECT_EQ(X().BorderWidth(window), 0);
  // The window manager's frame adds no caption and no border.
  const Window top = X().TopLevel(window);
  EXPECT_EQ(X().RootGeometry(top), defined) << "the frame window is bigger than the client area";
  EXPECT_EQ(X().BorderWidth(top), 0);
  EXPECT_EQ(X().LongProperty(window, "_NET_FRAME_EXTENTS"), (std::vector<long>{0, 0, 0, 0}));
}

TEST_F(WindowTest, HasAnEmptyTitle) {
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(X().TextProperty(LauncherWindow(), "_NET_WM_NAME").value_or(""), "");
  EXPECT_EQ(X().TextProperty(LauncherWindow(), "WM_NAME").value_or(""), "");
}

TEST_F(WindowTest, CarriesTheProgramsIcon) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const Picture& icon = Art().icon;
  std::vector<unsigned long> expected{static_cast<unsigned long>(icon.width),
                                      static_cast<unsigned long>(icon.height)};
  for (std::uint32_t pixel : icon.pixels) expected.push_back(0xFF000000u | pixel);  // opaque ARGB
  std::vector<unsigned long> seen;
  for (long item : X().LongProperty(LauncherWindow(), "_NET_WM_ICON"))
    seen.push_back(static_cast<unsigned long>(item) & 0xFFFFFFFFu);
  EXPECT_EQ(seen, expected);
}

TEST_F(WindowTest, StartsWithTheBackgroundAndTheTwoVisibleItemsInTheirNormalPictures) {
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_TRUE(ShowsScreen(Art().Screen()));
  Screenshot("start");
}

// What the process has used so far: processor time and wake-ups.
struct Usage {
  long ticks = 0;     // user and system time, in clock ticks
  long wakeups = 0;   // context switches of all its threads
};

Usage UsageOf(pid_t pid) {
  Usage usage;
  const std::string proc = "/proc/" + std::to_string(pid);
  std::ifstream statFile(proc + "/stat");
  const std::string stat{std::istreambuf_iterator<char>(statFile), std::istreambuf_iterator<char>()};
  // Fields after the command's closing parenthesis, from the third on;
  // utime and stime are the 14th and 15th.
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  for (int i = 3; i <= 15 && fields >> field; ++i)
    if (i == 14 || i == 15) usage.ticks += std::stol(field);
  for (const auto& task : std::filesystem::directory_iterator(proc + "/task")) {
    std::ifstream status(task.path() / "status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
        usage.wakeups += std::stol(line.substr(line.find(':') + 1));
  }
  return usage;
}

TEST_F(WindowTest, WaitsForEventsWithoutUsingTheProcessor) {
  ASSERT_NO_FATAL_FAILURE(Start());
  std::this_thread::sleep_for(500ms);  // the start's own events are over
  const Usage before = UsageOf(Program().Pid());
  std::this_thread::sleep_for(3s);
  const Usage after = UsageOf(Program().Pid());
  ASSERT_TRUE(Program().Running());
  // A wait that polls, even every 10 ms, wakes up hundreds of times.
  EXPECT_LE(after.ticks - before.ticks, 1) << "processor time while idle, in ticks of "
                                           << 1000 / sysconf(_SC_CLK_TCK) << " ms";
  EXPECT_LE(after.wakeups - before.wakeups, 3) << "the program kept waking up while nothing happened";
}

// How the window manager is asked to close the window.
struct CloseRequest {
  const char* name;
  void (*send)(XSession& x, Window window);
};

class WindowCloseTest : public LauncherTest, public ::testing::WithParamInterface<CloseRequest> {};

TEST_P(WindowCloseTest, EndsTheProgramWithZero) {
  ASSERT_NO_FATAL_FAILURE(Start());
  GetParam().send(X(), LauncherWindow());
  EXPECT_EQ(WaitForExit(5s), std::optional<int>(0));
}

void AltF4(XSession& x, Window window) {
  // The keys go to the window with the focus.
  if (!x.WaitUntil([&] { return x.ActiveWindow() == window; }, 1s)) x.RequestActivation(window);
  ASSERT_TRUE(x.WaitUntil([&] { return x.ActiveWindow() == window; }, 2s)) << "the window did not get the focus";
  x.Keys({"Alt_L", "F4"});
}

void CloseWindowMessage(XSession& x, Window window) { x.RequestClose(window); }

INSTANTIATE_TEST_SUITE_P(ByTheWindowManager, WindowCloseTest,
                         ::testing::Values(CloseRequest{"AltF4", AltF4},
                                           CloseRequest{"NetCloseWindow", CloseWindowMessage}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
