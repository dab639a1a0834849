// INSTALL against the emulated handheld: which installer the version on
// the handheld starts, and the message boxes when there is no connection.
#include "LauncherTest.h"

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

class InstallTest : public LauncherTest {
 protected:
  // Releases the left button on INSTALL; the time of the release.
  Clock::time_point Install() {
    MoveTo(kInstall.Center());
    X().Press(1);
    X().Release(1);
    return Clock::now();
  }
  // After a message box the launcher is still there and reacting.
  void ExpectStillWorking() {
    EXPECT_TRUE(Program().Running());
    MoveTo(kExit.Center());
    EXPECT_TRUE(Shows(kExit, Art().exitLit)) << "EXIT does not light after the message";
    MoveTo(kBackground);
    EXPECT_TRUE(Shows(kExit, Art().exit));
  }
};

std::string VersionKey(const std::string& values) {
  return "[HKEY_LOCAL_MACHINE\\Software\\Widcomm\\Version]\n" + values;
}

TEST_F(InstallTest, TheHandheldsVersionChoosesTheInstaller) {
  const struct {
    const char* what;
    std::string registry;
    const char* installer;
  } cases[] = {
      {"1.4.1.75", VersionKey("\"Software\"=\"1.4.1.75\"\n"), "Tessera_W.exe"},
      {"1.4.1.75.2", VersionKey("\"Software\"=\"1.4.1.75.2\"\n"), "Tessera_W.exe"},
      {"01.04.01.075", VersionKey("\"Software\"=\"01.04.01.075\"\n"), "Tessera_W.exe"},
      {"1..4.1.75", VersionKey("\"Software\"=\"1..4.1.75\"\n"), "Tessera_W.exe"},
      {"1.4.1.75b", VersionKey("\"Software\"=\"1.4.1.75b\"\n"), "Tessera_W.exe"},
      {"1.4.1.76", VersionKey("\"Software\"=\"1.4.1.76\"\n"), "Tessera.exe"},
      {"1.4.1", VersionKey("\"Software\"=\"1.4.1\"\n"), "Tessera.exe"},
      {"1.4", VersionKey("\"Software\"=\"1.4\"\n"), "Tessera.exe"},
      {"no Version key", "[HKEY_LOCAL_MACHINE\\Software\\Widcomm]\n\"Software\"=\"1.4.1.75\"\n", "Tessera.exe"},
      {"no Software value", VersionKey("\"Hardware\"=\"1.4.1.75\"\n"), "Tessera.exe"},
  };
  ASSERT_NO_FATAL_FAILURE(Start());
  // One run for all: the handheld's registry is read afresh at every
  // connection, and the launcher remembers nothing between clicks.
  std::vector<std::string> expected;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetRegistry(c.registry);
    Install();
    expected.push_back(c.installer);
    ASSERT_TRUE(WaitForLaunches(expected.size())) << "nothing was launched; output:\n" << Program().Output();
    EXPECT_EQ(Launches(), expected);
  }
  EXPECT_FALSE(X().ClientTitled("Error")) << "a message box came up";
}

TEST_F(InstallTest, WithoutAHandheldItSaysSoAfterTwoSeconds) {
  RunOptions options;
  options.settings = {"RAPIEMU_NEVER_CONNECT=1"};
  ASSERT_NO_FATAL_FAILURE(Start(options));
  const Clock::time_point released = Install();
  const std::optional<Window> box = WaitForBox("Error", 6s);
  const auto took = std::chrono::duration_cast<Milliseconds>(Clock::now() - released);
  ASSERT_TRUE(box) << "no message box titled Error; output:\n" << Program().Output();
  EXPECT_GE(took.count(), 1900) << "the box came before the two seconds' wait was over";
  EXPECT_LT(took.count(), 4000);
  Screenshot("cannot-connect");
  ASSERT_TRUE(Acknowledge(*box));
  EXPECT_TRUE(Launches().empty());
  ExpectStillWorking();
  // The message went to the box, not to the fallback on standard error.
  EXPECT_EQ(Program().Output().find("Can not connect PDA."), std::string::npos) << Program().Output();
}

struct ConnectionFailure {
  const char* name;
  Handheld handheld;
  std::vector<std::string> settings;
};

class ConnectionFailureTest : public InstallTest, public ::testing::WithParamInterface<ConnectionFailure> {};

TEST_P(ConnectionFailureTest, IsReportedAtOnceAndNothingIsLaunched) {
  RunOptions options;
  options.handheld = GetParam().handheld;
  options.settings = GetParam().settings;
  ASSERT_NO_FATAL_FAILURE(Start(options));
  const Clock::time_point released = Install();
  const std::optional<Window> box = WaitForBox("Error", 5s);
  const auto took = std::chrono::duration_cast<Milliseconds>(Clock::now() - released);
  ASSERT_TRUE(box) << "no message box titled Error; output:\n" << Program().Output();
  EXPECT_LT(took.count(), 1000) << "the failure was not reported at once";
  ASSERT_TRUE(Acknowledge(*box));
  EXPECT_TRUE(Launches().empty());
  ExpectStillWorking();
  EXPECT_EQ(Program().Output().find("Rapi Initialization failed."), std::string::npos) << Program().Output();
  Click(kExit.Center());
  EXPECT_EQ(WaitForExit(5s), std::optional<int>(0));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ConnectionFailureTest,
    ::testing::Values(ConnectionFailure{"NoRemoteApiLibrary", Handheld::NoLibrary, {}},
                      ConnectionFailure{"ConnectionEndsInFailure", Handheld::Emulated,
                                        {"RAPIEMU_CONNECT_RESULT=0x80004005"}},
                      ConnectionFailure{"StartRefused", Handheld::Emulated, {"RAPIEMU_REFUSE_START=1"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
