// The launcher started from an awkward folder, with the real launch
// stand-in (no hook) and the emulated handheld: a folder without DriverKit,
// where every launch fails and nothing is reported, and a read-only folder,
// where launches still run and the launcher writes nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "../app/AppFixture.h"
#include "winapi/posix_hooks.h"

namespace {

namespace fs = std::filesystem;

std::string Describe(const fs::path& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return "missing";
  return std::to_string(st.st_size) + " bytes, changed " + std::to_string(st.st_mtim.tv_sec) + "." +
         std::to_string(st.st_mtim.tv_nsec) + ", mode " + std::to_string(st.st_mode & 07777);
}

// The folder and every entry below it, with size, modification time and mode.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> entries{{".", Describe(folder)}};
  for (const auto& e : fs::recursive_directory_iterator(folder))
    entries[fs::relative(e.path(), folder).string()] = Describe(e.path());
  return entries;
}

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class StartFolderTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    for (const char* name : {"RAPIEMU_REGISTRY", "RAPIEMU_CONNECT_DELAY_MS", "RAPIEMU_NEVER_CONNECT",
                             "RAPIEMU_CONNECT_RESULT", "RAPIEMU_REFUSE_START"})
      unsetenv(name);
    winapi_posix::hooks().shellExecute = nullptr;  // the real launch
    base_ = fs::temp_directory_path() / ("faults-folder-" + std::to_string(getpid()));
    folder_ = base_ / "launcher";
    fs::create_directories(folder_);
    previous_ = fs::current_path();
  }
  void TearDown() override {
    fs::current_path(previous_);
    AppTest::TearDown();
    std::error_code ignored;
    for (const auto& e : fs::recursive_directory_iterator(base_, ignored))
      fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(base_, ignored);
  }

  // Clicks INSTALL and releases a button on each hidden document item.
  void UseEveryItem() {
    Move(kInstallX, kInstallY);
    Down(kInstallX, kInstallY);
    Up(kInstallX, kInstallY);
    for (TImage* item : {Form1->MANUAL, Form1->ACROBAT, Form1->SAFETY}) item->OnMouseUp(item, mbLeft, {}, 0, 0);
  }

  // The launcher still works: an item lights, and the background puts it out.
  void ExpectItGoesOn() {
    EXPECT_FALSE(Form1->Closed());
    Move(kExitX, kExitY);
    EXPECT_TRUE(HighlightFlags[hiEXIT]);
    Move(kBackgroundX, kBackgroundY);
    EXPECT_FALSE(HighlightFlags[hiEXIT]);
  }

  fs::path base_, folder_, previous_;
};

TEST_F(StartFolderTest, WithoutDriverKitEveryLaunchFailsSilently) {
  CreateWindow();
  fs::current_path(folder_);
  const auto before = Snapshot(folder_);
  UseEveryItem();
  EXPECT_TRUE(MessageTexts().empty()) << "failed launches are not reported";
  EXPECT_EQ(Snapshot(folder_), before) << "nothing was written";
  int status = 0;
  EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1) << "no process was started";
  EXPECT_EQ(errno, ECHILD);
  ExpectItGoesOn();
}

TEST_F(StartFolderTest, ReadOnlyFolderStillLaunchesAndIsNotWritten) {
  // Stand-in installers that say where they ran, into a log outside the folder.
  const fs::path log = base_ / "launches.log";
  setenv("FAULTS_LAUNCH_LOG", log.c_str(), 1);
  fs::create_directories(folder_ / "DriverKit");
  for (const char* name : {"Tessera.exe", "Tessera_W.exe", "ar500enu.exe"}) {
    const fs::path program = folder_ / "DriverKit" / name;
    std::ofstream(program) << "#!/bin/sh\necho \"$(basename \"$0\") in $(pwd)\" >> \"$FAULTS_LAUNCH_LOG\"\n";
    fs::permissions(program, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  }
  // Read-only, as on a CD: r-x for everyone. Root is not held back by these
  // bits, so the snapshot, not a refused write, shows that nothing changed.
  const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(folder_ / "DriverKit", readOnly);
  fs::permissions(folder_, readOnly);

  CreateWindow();
  fs::current_path(folder_);
  const auto before = Snapshot(folder_);
  UseEveryItem();
  EXPECT_TRUE(MessageTexts().empty());

  // The launcher does not wait for what it started; the programs write soon after.
  const std::string expected = "Tessera_W.exe in " + folder_.string() + "\n";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  std::string written;
  while ((written = ReadAll(log)).size() < 2 * expected.size() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_NE(written.find(expected), std::string::npos) << written;
  EXPECT_NE(written.find("ar500enu.exe in " + folder_.string() + "\n"), std::string::npos) << written;
  EXPECT_EQ(Snapshot(folder_), before) << "nothing was written into the folder";
  ExpectItGoesOn();
  unsetenv("FAULTS_LAUNCH_LOG");
}

}  // namespace
