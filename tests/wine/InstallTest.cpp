// INSTALL under Wine, with the emulated handheld's rapi.dll in the system
// directory: the installer chosen for the handheld's version, the two error
// messages, and a desktop with no remote-API library at all.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <thread>

#include "tests/wine/WineFixture.h"

namespace winetest {
namespace {

namespace fs = std::filesystem;

std::string EscapeForRegex(const std::string& text) {
  static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
  return std::regex_replace(text, special, R"(\$&)");
}

bool SameTextIgnoringCase(std::string a, std::string b) {
  for (char& c : a) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (char& c : b) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return a == b;
}

// Writes the emulated handheld's registry and gives its Windows path.
std::string WriteRegistry(const fs::path& folder, const std::string& body) {
  const fs::path file = folder / "handheld.reg";
  std::ofstream(file, std::ios::binary) << "REGEDIT4\r\n\r\n" << body;
  return WinePrefix::WindowsPath(file);
}

constexpr const char* kVersionKey = "[HKEY_LOCAL_MACHINE\\Software\\Widcomm\\Version]\r\n";

struct VersionCase {
  const char* name;
  std::string registry;  // the .reg file's body
  const char* installer;
};

void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.name; }

class InstallerChoiceTest : public LauncherTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(InstallerChoiceTest, LaunchesTheInstallerThatFitsTheHandheldsVersion) {
  const VersionCase& c = GetParam();
  const std::string registry = WriteRegistry(folder_, c.registry);
  ASSERT_NO_FATAL_FAILURE(Start({{"RAPIEMU_REGISTRY", registry}}));
  ClickAt(kInstall.left + 40, kInstall.top + 12);

  std::vector<LaunchRecord> launches;
  ASSERT_TRUE(WaitUntil([&] { return !(launches = Launches()).empty(); }, 15s, 100ms))
      << "no installer ran; the trace:\n" << TraceLines();
  std::this_thread::sleep_for(500ms);  // a second launch would show by now
  launches = Launches();
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].program, c.installer);
  EXPECT_EQ(launches[0].arguments, "") << "no parameters";
  EXPECT_TRUE(SameTextIgnoringCase(launches[0].directory, WinePrefix::WindowsPath(folder_)))
      << "the launcher's own current directory, not " << launches[0].directory;

  // The one shell call: no owner, the default verb, the relative path, no
  // parameters, no directory, SW_SHOW.
  const auto shell = TracedCalls("shell32.ShellExecuteA");
  ASSERT_EQ(shell.size(), 1u);
  const std::regex launch("0+,0+,[0-9a-f]+ \"DriverKit\\\\\\\\" + EscapeForRegex(c.installer) + "\",0+,0+,0+5");
  EXPECT_TRUE(std::regex_match(shell[0], launch)) << shell[0];

  // The handheld saw the real record size, the key, and the end of the
  // connection before the launch.
  const std::string output = WineOutput();
  const std::string initEx = "CeRapiInitEx(cbSize=" + std::to_string(ProgramIs32Bit() ? 12 : 24) + ") -> S_OK";
  const auto init = output.find(initEx);
  const auto open = output.find(R"(CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, "\Software\Widcomm\Version", 0, 0x20019))");
  const auto uninit = output.find("CeRapiUninit() -> S_OK");
  const auto shellCall = output.find(":Call shell32.ShellExecuteA(");
  ASSERT_NE(init, std::string::npos) << TraceLines();
  ASSERT_NE(open, std::string::npos) << TraceLines();
  ASSERT_NE(uninit, std::string::npos) << TraceLines();
  EXPECT_LT(init, open);
  EXPECT_LT(open, uninit);
  EXPECT_LT(uninit, shellCall);

  // The launcher stays open and ends normally.
  EXPECT_TRUE(MainWindow().viewable);
  ClickAt(kExit.left + 30, kExit.top + 15);
  const auto code = WaitForExit(15s);
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, InstallerChoiceTest,
    ::testing::Values(
        VersionCase{"v1_4_1_75", std::string(kVersionKey) + "\"Software\"=\"1.4.1.75\"\r\n", "Tessera_W.exe"},
        VersionCase{"v1_4_1_75_2", std::string(kVersionKey) + "\"Software\"=\"1.4.1.75.2\"\r\n", "Tessera_W.exe"},
        VersionCase{"v01_04_01_075", std::string(kVersionKey) + "\"Software\"=\"01.04.01.075\"\r\n", "Tessera_W.exe"},
        VersionCase{"v1_4_1_76", std::string(kVersionKey) + "\"Software\"=\"1.4.1.76\"\r\n", "Tessera.exe"},
        VersionCase{"v1_4", std::string(kVersionKey) + "\"Software\"=\"1.4\"\r\n", "Tessera.exe"},
        VersionCase{"no_value", std::string(kVersionKey) + "\"Other\"=\"1.4.1.75\"\r\n", "Tessera.exe"},
        VersionCase{"no_key", "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n\"Software\"=\"1.4.1.75\"\r\n",
                    "Tessera.exe"}),
    [](const auto& info) { return std::string(info.param.name); });

// Clicks INSTALL and checks the error box that follows: its title, its
// text, how soon it comes, that nothing is launched, and that the launcher
// goes on and ends normally after it.
class ErrorBoxTest : public LauncherTest {
 protected:
  void ExpectErrorBox(const std::string& message, bool afterTheWait) {
    ClickAt(kInstall.left + 40, kInstall.top + 12);
    const auto clicked = std::chrono::steady_clock::now();
    std::optional<WindowInfo> box;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindBox("Error")).has_value(); }, 15s, 20ms))
        << "no box titled Error; the trace:\n" << TraceLines();
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - clicked).count();
    if (afterTheWait) {
      EXPECT_GE(seconds, 1.9) << "the box came before the 2 s wait was over";
      EXPECT_LE(seconds, 8.0);
    } else {
      EXPECT_LT(seconds, 1.5) << "the box did not come at once";
    }
    EXPECT_EQ(box->className, "install.exe") << "the launcher's own box";

    // MessageBoxA with no owner, the text, the title Error and MB_ICONERROR.
    const auto boxes = TracedCalls("user32.MessageBoxA");
    ASSERT_EQ(boxes.size(), 1u);
    const std::regex call("0+,[0-9a-f]+ \"" + EscapeForRegex(message) + "\",[0-9a-f]+ \"Error\",0+10");
    EXPECT_TRUE(std::regex_match(boxes[0], call)) << boxes[0];

    ASSERT_TRUE(DismissBox(*box)) << "the box did not close on Return";
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(Launches().empty()) << "an installer ran";
    EXPECT_TRUE(TracedCalls("shell32.ShellExecuteA").empty());

    ClickAt(kExit.left + 30, kExit.top + 15);
    const auto code = WaitForExit(15s);
    ASSERT_TRUE(code) << "the launcher did not go on after the box";
    EXPECT_EQ(*code, 0);
  }
};

struct ErrorCase {
  const char* name;
  std::map<std::string, std::string> handheld;
  const char* message;
  bool afterTheWait;
};

void PrintTo(const ErrorCase& c, std::ostream* out) { *out << c.name; }

class HandheldErrorTest : public ErrorBoxTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(HandheldErrorTest, ShowsTheMessageInABoxTitledError) {
  const ErrorCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(Start(c.handheld));
  ExpectErrorBox(c.message, c.afterTheWait);
}

INSTANTIATE_TEST_SUITE_P(
    Handheld, HandheldErrorTest,
    ::testing::Values(ErrorCase{"never_connects", {{"RAPIEMU_NEVER_CONNECT", "1"}}, "Can not connect PDA.", true},
                      ErrorCase{"connection_fails",
                                {{"RAPIEMU_CONNECT_RESULT", "0x80004005"}},
                                "Rapi Initialization failed.",
                                false},
                      ErrorCase{"start_refused", {{"RAPIEMU_REFUSE_START", "1"}}, "Rapi Initialization failed.", false}),
    [](const auto& info) { return std::string(info.param.name); });

// No remote-API library in the system directory. Copies of the emulated
// handheld beside the program and in its current directory's DriverKit
// must not be taken instead.
class NoLibraryTest : public ErrorBoxTest {
 protected:
  bool WithRemoteApiLibrary() const override { return false; }
};

TEST_F(NoLibraryTest, SaysRapiInitializationFailedAtOnce) {
  fs::copy_file(LAUNCHER_WINE_RAPI_DLL, folder_ / "rapi.dll");
  fs::copy_file(LAUNCHER_WINE_RAPI_DLL, folder_ / "DriverKit" / "rapi.dll");
  ASSERT_NO_FATAL_FAILURE(Start());
  ExpectErrorBox("Rapi Initialization failed.", false);
  EXPECT_EQ(WineOutput().find("rapi-emu:"), std::string::npos) << "a copy outside the system directory was loaded";
}

}  // namespace
}  // namespace winetest
