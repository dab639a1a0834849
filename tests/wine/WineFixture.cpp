#include "tests/wine/WineFixture.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace winetest {
namespace {

namespace fs = std::filesystem;

WineSession* g_session = nullptr;

// Whether the Windows program is a 32-bit one (its PE header's machine).
bool Is32BitProgram(const fs::path& exe) {
  std::ifstream in(exe, std::ios::binary);
  char dos[64] = {};
  in.read(dos, sizeof dos);
  const auto peAt = static_cast<std::uint32_t>(static_cast<unsigned char>(dos[60]) |
                                               (static_cast<unsigned char>(dos[61]) << 8) |
                                               (static_cast<unsigned char>(dos[62]) << 16) |
                                               (static_cast<unsigned char>(dos[63]) << 24));
  in.seekg(peAt + 4);
  unsigned char machine[2] = {};
  in.read(reinterpret_cast<char*>(machine), 2);
  return (machine[0] | (machine[1] << 8)) == 0x014C;  // IMAGE_FILE_MACHINE_I386
}

std::string TestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  return name;
}

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool IsMainWindow(const WindowInfo& w) {
  return w.viewable && w.className == "install.exe" && w.width == kClientWidth && w.height == kClientHeight &&
         w.name.empty();
}

}  // namespace

// ---- WineSession -----------------------------------------------------------

WineSession& WineSession::Get() { return *g_session; }

void WineSession::SetUp() {
  g_session = this;
  try {
    const fs::path logs = fs::path(LAUNCHER_WINE_WORK_DIR) / "screen";
    screen_ = std::make_unique<VirtualScreen>(LAUNCHER_XVFB, LAUNCHER_OPENBOX, logs);
    prefix_ = std::make_unique<WinePrefix>(LAUNCHER_WINE_PREFIX, WineTools{LAUNCHER_WINE64, LAUNCHER_WINESERVER});
    prefix_->KillAll();  // whatever an interrupted run left running
  } catch (const std::exception& e) {
    // Every test then fails in its SetUp, saying why here.
    ADD_FAILURE() << "the Wine tests cannot run: " << e.what();
    prefix_.reset();
    screen_.reset();
  }
}

void WineSession::TearDown() {
  if (prefix_) prefix_->KillAll();
  prefix_.reset();
  screen_.reset();
}

// ---- LauncherTest ----------------------------------------------------------

void LauncherTest::SetUp() {
  ASSERT_TRUE(WineSession::Get().Ready()) << "no screen or no Wine prefix";
  ASSERT_TRUE(fs::exists(LAUNCHER_WINE_PROGRAM)) << LAUNCHER_WINE_PROGRAM << " is missing: build the cross build";
  ASSERT_TRUE(fs::exists(LAUNCHER_WINE_RAPI_DLL)) << LAUNCHER_WINE_RAPI_DLL << " is missing";

  folder_ = fs::path(LAUNCHER_WINE_WORK_DIR) / TestName();
  fs::remove_all(folder_);
  fs::create_directories(folder_ / "DriverKit");
  fs::copy_file(LAUNCHER_WINE_PROGRAM, folder_ / "Install.exe");
  for (const char* installer : {"Tessera.exe", "Tessera_W.exe"})
    fs::copy_file(LAUNCHER_WINE_STANDIN, folder_ / "DriverKit" / installer);

  const fs::path system = WineSession::Get().prefix().SystemDirectory(Is32BitProgram(LAUNCHER_WINE_PROGRAM));
  const fs::path installed = system / "rapi.dll";
  fs::remove(installed);
  if (WithRemoteApiLibrary()) fs::copy_file(LAUNCHER_WINE_RAPI_DLL, installed);
}

void LauncherTest::TearDown() {
  if (program_) program_->Stop();
  program_.reset();
  if (WineSession::Get().Ready()) WineSession::Get().prefix().KillAll();
}

void LauncherTest::Start(const std::map<std::string, std::string>& environment) {
  // The pointer waits off the window's place, so nothing is lit at start.
  Screen().MovePointer(5, 5);
  ProcessOptions o;
  o.argv = {WineSession::Get().prefix().tools().wine64, "Install.exe"};
  o.setEnv = WineSession::Get().prefix().Environment();
  o.setEnv["WINEDEBUG"] = "-all,+relay";
  o.setEnv["DISPLAY"] = Screen().DisplayName();
  for (const auto& [name, value] : environment) o.setEnv[name] = value;
  o.workingDirectory = folder_;
  o.output = folder_ / "wine.log";
  program_ = std::make_unique<Process>(o);

  std::optional<WindowInfo> found;
  const bool shown = WaitUntil(
      [&] {
        found = Screen().Find(IsMainWindow);
        return found.has_value() || !program_->Running();
      },
      60s, 100ms);
  ASSERT_TRUE(shown && found) << "the program's window did not appear; its trace:\n" << TraceLines();
  window_ = found->id;
  // Shown is not yet painted: wait for the first frame to reach the screen.
  const std::string difference = WaitForFrame(ExpectedFrame(false, false));
  ASSERT_EQ(difference, "") << "the window never showed its pictures";
}

WindowInfo LauncherTest::MainWindow() const {
  auto info = Screen().Describe(window_);
  return info ? *info : WindowInfo{};
}

void LauncherTest::MoveTo(int x, int y) const {
  const WindowInfo w = MainWindow();
  Screen().MovePointer(w.x + x, w.y + y);
}

void LauncherTest::ClickAt(int x, int y, unsigned button) const {
  MoveTo(x, y);
  std::this_thread::sleep_for(100ms);
  Screen().Click(button);
}

RgbImage LauncherTest::GrabClient() const {
  const WindowInfo w = MainWindow();
  return Screen().Grab(w.x, w.y, kClientWidth, kClientHeight);
}

RgbImage LauncherTest::ExpectedFrame(bool installLit, bool exitLit) {
  const fs::path resources = LAUNCHER_RESOURCES_DIR;
  RgbImage frame = ReadBmp24(resources / "Background.bmp");
  Paste(frame, ReadBmp24(resources / (installLit ? kInstall.litPicture : kInstall.picture)), kInstall.left,
        kInstall.top);
  Paste(frame, ReadBmp24(resources / (exitLit ? kExit.litPicture : kExit.picture)), kExit.left, kExit.top);
  return frame;
}

std::string LauncherTest::WaitForFrame(const RgbImage& expected) const {
  std::string difference;
  WaitUntil(
      [&] {
        difference = Difference(GrabClient(), expected);
        return difference.empty();
      },
      10s, 100ms);
  return difference;
}

std::optional<int> LauncherTest::WaitForExit(std::chrono::milliseconds timeout) {
  return program_ ? program_->Wait(timeout) : std::nullopt;
}

std::optional<WindowInfo> LauncherTest::FindBox(const std::string& title) const {
  return Screen().Find([&](const WindowInfo& w) { return w.viewable && w.name == title; });
}

bool LauncherTest::DismissBox(const WindowInfo& box) const {
  Screen().Focus(box.id);
  std::this_thread::sleep_for(200ms);
  Screen().Key("Return", true);
  Screen().Key("Return", false);
  return WaitUntil(
      [&] {
        const auto now = Screen().Describe(box.id);
        return !now || !now->viewable;
      },
      10s);
}

std::string LauncherTest::WineOutput() const { return ReadWhole(folder_ / "wine.log"); }

std::string LauncherTest::TraceLines() const {
  std::istringstream lines(WineOutput());
  std::string out;
  for (std::string line; std::getline(lines, line);)
    if (line.find(":Call ") != std::string::npos || line.rfind("rapi-emu:", 0) == 0 ||
        line.find(":err:") != std::string::npos || line.rfind("wine:", 0) == 0)
      out += line + "\n";
  return out;
}

std::vector<std::string> LauncherTest::TracedCalls(const std::string& function) const {
  // A relay line: "0024:Call user32.MessageBoxA(<arguments>) ret=<address>".
  std::vector<std::string> calls;
  std::istringstream lines(WineOutput());
  const std::string opening = ":Call " + function + "(";
  for (std::string line; std::getline(lines, line);) {
    const auto at = line.find(opening);
    const auto end = line.rfind(") ret=");
    if (at == std::string::npos || end == std::string::npos || end < at) continue;
    const auto from = at + opening.size();
    calls.push_back(line.substr(from, end - from));
  }
  return calls;
}

bool LauncherTest::ProgramIs32Bit() { return Is32BitProgram(LAUNCHER_WINE_PROGRAM); }

std::vector<LaunchRecord> LauncherTest::Launches() const {
  std::vector<LaunchRecord> records;
  std::istringstream lines(ReadWhole(folder_ / "DriverKit" / "launches.log"));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    LaunchRecord r;
    std::istringstream fields(line);
    std::getline(fields, r.program, '\t');
    std::getline(fields, r.arguments, '\t');
    std::getline(fields, r.directory, '\t');
    records.push_back(r);
  }
  return records;
}

}  // namespace winetest

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new winetest::WineSession);
  return RUN_ALL_TESTS();
}
