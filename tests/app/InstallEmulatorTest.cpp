// The driver installation against the emulated handheld, the real provider
// library found by the system's library search as the program finds it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "AppFixture.h"

namespace {

namespace fs = std::filesystem;

class InstallEmulatorTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    for (const char* name : {"RAPIEMU_REGISTRY", "RAPIEMU_CONNECT_DELAY_MS", "RAPIEMU_NEVER_CONNECT",
                             "RAPIEMU_CONNECT_RESULT", "RAPIEMU_REFUSE_START"})
      unsetenv(name);
    dir_ = fs::temp_directory_path() / ("install-emu-" + std::to_string(getpid()));
    fs::create_directories(dir_);
    CreateWindow();
  }
  void TearDown() override {
    AppTest::TearDown();
    fs::remove_all(dir_);
  }
  void Registry(const std::string& body) {
    const fs::path file = dir_ / "handheld.reg";
    std::ofstream(file) << "REGEDIT4\n\n" << body;
    setenv("RAPIEMU_REGISTRY", file.c_str(), 1);
  }
  void VersionIs(const std::string& text) {
    Registry("[HKEY_LOCAL_MACHINE\\Software\\Widcomm\\Version]\n\"Software\"=\"" + text + "\"\n");
  }
  // Releases a button on INSTALL and says how long the handler took.
  std::chrono::milliseconds Install() {
    const auto start = std::chrono::steady_clock::now();
    Down(kInstallX, kInstallY);
    Up(kInstallX, kInstallY);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  }
  std::vector<std::string> LaunchedFiles() const {
    std::vector<std::string> files;
    for (const Launch& l : Launches()) files.push_back(l.file);
    return files;
  }
  fs::path dir_;
};

using Files = std::vector<std::string>;
using Texts = std::vector<std::string>;

TEST_F(InstallEmulatorTest, TheVersionChoosesTheInstaller) {
  const struct {
    const char* version;
    const char* launch;
  } cases[] = {
      {"1.4.1.75", "DriverKit\\Tessera_W.exe"},   {"1.4.1.75.2", "DriverKit\\Tessera_W.exe"},
      {"01.04.01.075", "DriverKit\\Tessera_W.exe"}, {"1..4.1.75", "DriverKit\\Tessera_W.exe"},
      {"1.4.1.75b", "DriverKit\\Tessera_W.exe"},  {"1.4.1.76", "DriverKit\\Tessera.exe"},
      {"1.4.1", "DriverKit\\Tessera.exe"},        {"1.4", "DriverKit\\Tessera.exe"},
      {"", "DriverKit\\Tessera.exe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    Launches().clear();
    VersionIs(c.version);
    Install();
    EXPECT_EQ(LaunchedFiles(), Files{c.launch});
  }
  EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(InstallEmulatorTest, MissingKeyOrValueGivesTheOrdinaryInstaller) {
  Registry("[HKEY_LOCAL_MACHINE\\Software\\Widcomm]\n\"Software\"=\"1.4.1.75\"\n");
  Install();
  Registry("[HKEY_LOCAL_MACHINE\\Software\\Widcomm\\Version]\n\"Hardware\"=\"1.4.1.75\"\n");
  Install();
  EXPECT_EQ(LaunchedFiles(), (Files{"DriverKit\\Tessera.exe", "DriverKit\\Tessera.exe"}));
  EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(InstallEmulatorTest, KeyAndValueNamesAreCaseInsensitive) {
  Registry("[hkey_local_machine\\SOFTWARE\\widcomm\\VERSION]\n\"software\"=\"1.4.1.75\"\n");
  Install();
  EXPECT_EQ(LaunchedFiles(), Files{"DriverKit\\Tessera_W.exe"});
}

TEST_F(InstallEmulatorTest, DelayedConnectionWithinTheWaitStillInstalls) {
  VersionIs("1.4.1.75");
  setenv("RAPIEMU_CONNECT_DELAY_MS", "600", 1);
  const auto took = Install();
  EXPECT_GE(took.count(), 550);
  EXPECT_LT(took.count(), 1900);
  EXPECT_EQ(LaunchedFiles(), Files{"DriverKit\\Tessera_W.exe"});
}

TEST_F(InstallEmulatorTest, NoHandheldTimesOutAfterTwoSeconds) {
  setenv("RAPIEMU_NEVER_CONNECT", "1", 1);
  const auto took = Install();
  EXPECT_GE(took.count(), 1990);
  EXPECT_LT(took.count(), 3000);
  EXPECT_EQ(MessageTexts(), Texts{"Error|Can not connect PDA."});
  EXPECT_TRUE(Launches().empty());
  // The launcher goes on working: the next try, with a handheld, installs.
  unsetenv("RAPIEMU_NEVER_CONNECT");
  VersionIs("1.4.1.75");
  Install();
  EXPECT_EQ(LaunchedFiles(), Files{"DriverKit\\Tessera_W.exe"});
}

TEST_F(InstallEmulatorTest, FailuresOfTheConnectionAreReportedAtOnce) {
  const char* settings[][2] = {{"RAPIEMU_CONNECT_RESULT", "0x80004005"}, {"RAPIEMU_REFUSE_START", "1"}};
  for (auto& [name, value] : settings) {
    SCOPED_TRACE(name);
    toolkit::headless::MessageBoxes().clear();
    setenv(name, value, 1);
    const auto took = Install();
    unsetenv(name);
    EXPECT_LT(took.count(), 1000);
    EXPECT_EQ(MessageTexts(), Texts{"Error|Rapi Initialization failed."});
    EXPECT_TRUE(Launches().empty());
  }
}

TEST_F(InstallEmulatorTest, NoLibraryMeansInitializationFailed) {
  // Run with a library search path that holds no remote-API library.
  const auto took = Install();
  EXPECT_LT(took.count(), 1000);
  EXPECT_EQ(MessageTexts(), Texts{"Error|Rapi Initialization failed."});
  EXPECT_TRUE(Launches().empty());
}

}  // namespace
