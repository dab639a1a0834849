#include "LauncherTest.h"

#include <unistd.h>

#include <cctype>
#include <fstream>
#include <iostream>
#include <thread>

namespace e2e {
namespace fs = std::filesystem;

namespace {

// Build facts, given by the build (CMakeLists.txt).
const fs::path kStateFile = E2E_XSTATE_FILE;
const fs::path kResources = E2E_RESOURCES_DIR;
const fs::path kEmulatorDir = E2E_EMULATOR_DIR;
const fs::path kScreenshots = E2E_SCREENSHOT_DIR;
const std::string kImport = E2E_IMPORT_PROGRAM;

std::string DisplayFromStateFile() {
  std::ifstream in(kStateFile);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("DISPLAY=", 0) == 0) return line.substr(8);
  return {};
}

// Stand-ins for every file the launcher may open: each appends its own name
// to the folder's log and ends.
void WriteStandIns(const fs::path& folder) {
  const fs::path kit = folder / "DriverKit";
  fs::create_directories(kit);
  for (const char* name : {"Tessera.exe", "Tessera_W.exe", "ar500enu.exe", "UserGuide.pdf", "SafetyGuide.pdf"}) {
    const fs::path file = kit / name;
    std::ofstream(file) << "#!/bin/sh\necho " << name << " >> '" << (folder / "launches.log").string() << "'\n";
    fs::permissions(file, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  }
}

std::string TestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

}  // namespace

fs::path LauncherProgram() { return E2E_LAUNCHER_PROGRAM; }
fs::path DamagedProgram() { return E2E_DAMAGED_PROGRAM; }

const Artwork& Art() {
  static const Artwork art{
      ReadBmp(kResources / "Background.bmp"), ReadBmp(kResources / "Install.bmp"),
      ReadBmp(kResources / "Install_C.bmp"),  ReadBmp(kResources / "Exit.bmp"),
      ReadBmp(kResources / "Exit_C.bmp"),     ReadBmp(kResources / "MainIcon.bmp"),
  };
  return art;
}

Picture Artwork::Screen(bool installIsLit, bool exitIsLit) const {
  Picture screen = background;
  screen.Paste(installIsLit ? installLit : install, kInstall.x, kInstall.y);
  screen.Paste(exitIsLit ? exitLit : exit, kExit.x, kExit.y);
  return screen;
}

void LauncherTest::SetUp() {
  display_ = DisplayFromStateFile();
  ASSERT_FALSE(display_.empty()) << "no X server: " << kStateFile
                                 << " names none (the e2e.xserver.start fixture did not run)";
  x_ = std::make_unique<XSession>(display_);
  x_->ReleaseButtons();
  x_->MoveTo(kOutside);
  static int counter = 0;
  folder_ = fs::temp_directory_path() /
            ("launcher-e2e-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + "-" + TestName());
  fs::remove_all(folder_);
  fs::create_directories(folder_);
  WriteStandIns(folder_);
  SetVersion("2.0.0.1");
}

void LauncherTest::TearDown() {
  if (program_ && HasFailure()) std::cerr << "program output:\n" << program_->Output() << "\n";
  program_.reset();  // ends it if it still runs
  if (x_) {
    x_->ReleaseButtons();
    x_->MoveTo(kOutside);
  }
  x_.reset();
  if (HasFailure())
    std::cerr << "working folder kept: " << folder_ << "\n";
  else
    fs::remove_all(folder_);
}

void LauncherTest::Launch(const RunOptions& options) {
  std::vector<std::string> env{"PATH=/usr/bin:/bin", "HOME=" + folder_.string(), "RAPIEMU_QUIET=1",
                               "RAPIEMU_REGISTRY=" + (folder_ / "handheld.reg").string()};
  if (options.display) env.push_back("DISPLAY=" + display_);
  const fs::path noLibrary = folder_ / "no-library";
  fs::create_directories(noLibrary);
  env.push_back("LD_LIBRARY_PATH=" +
                (options.handheld == Handheld::Emulated ? kEmulatorDir : noLibrary).string());
  env.insert(env.end(), options.settings.begin(), options.settings.end());
  const fs::path program = options.program.empty() ? LauncherProgram() : options.program;
  program_ = std::make_unique<Process>(program, std::vector<std::string>{}, folder_, env, folder_ / "output.log");
}

void LauncherTest::Start(const RunOptions& options) {
  Launch(options);
  std::optional<Window> window;
  ASSERT_TRUE(x_->WaitUntil([&] { return (window = x_->ClientOfProcess(program_->Pid())).has_value() ||
                                         !program_->Running(); },
                            10s) &&
              window)
      << "the launcher's window did not appear; output:\n"
      << program_->Output();
  window_ = *window;
  ASSERT_TRUE(IsAt(kPlace));
  ASSERT_TRUE(ShowsScreen(Art().Screen()));
}

Point LauncherTest::Origin() {
  const Geometry g = x_->RootGeometry(window_);
  return {g.x, g.y};
}

Point LauncherTest::OnScreen(Point client) {
  const Point origin = Origin();
  return {origin.x + client.x, origin.y + client.y};
}

void LauncherTest::MoveTo(Point client) { x_->MoveTo(OnScreen(client)); }

void LauncherTest::MoveBy(int dx, int dy, int steps) {
  const Point start = x_->Pointer();
  for (int i = 1; i <= steps; ++i) {
    x_->MoveTo({start.x + dx * i / steps, start.y + dy * i / steps});
    std::this_thread::sleep_for(30ms);  // a hand's pace, so every step is its own event
  }
}

void LauncherTest::Click(Point client, unsigned button) {
  MoveTo(client);
  x_->Press(button);
  x_->Release(button);
}

Picture LauncherTest::Screen() {
  const Point origin = Origin();
  return x_->Grab({origin.x, origin.y, kClientWidth, kClientHeight});
}

Picture LauncherTest::ScreenPart(const Rect& area) {
  const Point origin = Origin();
  return x_->Grab({origin.x + area.x, origin.y + area.y, area.width, area.height});
}

::testing::AssertionResult LauncherTest::Shows(const Rect& area, const Picture& expected, Milliseconds timeout) {
  Picture seen;
  if (x_->WaitUntil([&] { return (seen = ScreenPart(area)) == expected; }, timeout))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "at (" << area.x << "," << area.y << ") " << area.width << "x"
                                       << area.height << ": " << Difference(seen, expected);
}

::testing::AssertionResult LauncherTest::ShowsScreen(const Picture& expected, Milliseconds timeout) {
  return Shows({0, 0, kClientWidth, kClientHeight}, expected, timeout);
}

::testing::AssertionResult LauncherTest::PointerLooks(const PointerImage& expected, const char* what,
                                                      Milliseconds timeout) {
  PointerImage seen;
  if (x_->WaitUntil([&] { return (seen = x_->Cursor()) == expected; }, timeout))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the pointer is not " << what << " (a " << seen.width << "x"
                                       << seen.height << " image with its hot spot at " << seen.xhot << ","
                                       << seen.yhot << ")";
}

::testing::AssertionResult LauncherTest::IsAt(Point place, Milliseconds timeout) {
  Point seen;
  if (x_->WaitUntil([&] { return (seen = Origin()) == place; }, timeout)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the client area is at (" << seen.x << "," << seen.y << "), not ("
                                       << place.x << "," << place.y << ")";
}

std::vector<std::string> LauncherTest::Launches() const {
  std::vector<std::string> names;
  std::ifstream in(folder_ / "launches.log");
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) names.push_back(line);
  return names;
}

bool LauncherTest::WaitForLaunches(std::size_t count, Milliseconds timeout) {
  return x_->WaitUntil([&] { return Launches().size() >= count; }, timeout);
}

void LauncherTest::SetVersion(const std::string& text) {
  SetRegistry("[HKEY_LOCAL_MACHINE\\Software\\Widcomm\\Version]\n\"Software\"=\"" + text + "\"\n");
}

void LauncherTest::SetRegistry(const std::string& body) {
  // Replaced whole, so the handheld never reads half a file.
  const fs::path file = folder_ / "handheld.reg";
  const fs::path next = folder_ / "handheld.reg.new";
  std::ofstream(next) << "REGEDIT4\n\n" << body;
  fs::rename(next, file);
}

std::optional<Window> LauncherTest::WaitForBox(const std::string& title, Milliseconds timeout) {
  std::optional<Window> box;
  x_->WaitUntil([&] { return (box = x_->ClientTitled(title)).has_value(); }, timeout);
  return box;
}

::testing::AssertionResult LauncherTest::Acknowledge(Window box) {
  // The key goes where the focus is: make sure that is the box.
  if (!x_->WaitUntil([&] { return x_->ActiveWindow() == box; }, 1s)) {
    x_->RequestActivation(box);
    if (!x_->WaitUntil([&] { return x_->ActiveWindow() == box; }, 2s))
      return ::testing::AssertionFailure() << "the box did not get the focus";
  }
  x_->Keys({"Return"});
  if (!x_->WaitUntil([&] { return !x_->Viewable(box); }, 3s))
    return ::testing::AssertionFailure() << "the box is still open after Return";
  return ::testing::AssertionSuccess();
}

void LauncherTest::Screenshot(const std::string& name, bool wholeScreen) {
  if (kImport.empty()) return;
  fs::create_directories(kScreenshots);
  const fs::path file = kScreenshots / (name + ".png");
  std::vector<std::string> arguments{"-window", "root"};
  if (!wholeScreen) {
    const Point origin = Origin();
    arguments.insert(arguments.end(), {"-crop", std::to_string(kClientWidth) + "x" + std::to_string(kClientHeight) +
                                                     "+" + std::to_string(origin.x) + "+" + std::to_string(origin.y),
                                       "+repage"});
  }
  arguments.push_back(file.string());
  Process grabber(kImport, arguments, folder_,
                 {"DISPLAY=" + display_, "PATH=/usr/bin:/bin"}, folder_ / "import.log");
  const std::optional<int> code = grabber.WaitForExit(20s);
  if (code != 0) ADD_FAILURE() << "import of " << file << " failed: " << grabber.Output();
}

}  // namespace e2e
