// A hundred install clicks in a row against the emulated handheld (the real
// provider library, found by the library search as the program finds it)
// leave nothing behind: no descriptors, no threads, and, by the emulator's
// own call trace, no connection left running and no key left open.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "../app/AppFixture.h"
#include "ProcessCounts.h"

namespace {

namespace fs = std::filesystem;

// What the emulator's trace says happened.
struct TraceTally {
  int starts = 0;           // CeRapiInitEx -> S_OK
  int ends = 0;             // CeRapiUninit -> S_OK
  int opens = 0;            // CeRegOpenKeyEx -> 0
  int closes = 0;           // CeRegCloseKey -> 0
  int leftOpenAtEnd = 0;    // keys the connection's end had to close
  int unbalanced = 0;       // connections that ended with an open key by our count
  std::string firstProblem;
};

TraceTally Tally(const std::string& trace) {
  TraceTally t;
  std::map<std::string, int> open;  // handle -> opens not yet closed, this connection
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("rapi-emu: ", 0) != 0) continue;
    const bool ok0 = line.find(") -> 0") != std::string::npos;
    if (line.find("CeRapiInitEx(") != std::string::npos && line.find("-> S_OK") != std::string::npos) {
      ++t.starts;
    } else if (line.find("CeRapiUninit() -> S_OK") != std::string::npos) {
      ++t.ends;
      if (line.find("left open") != std::string::npos) {
        ++t.leftOpenAtEnd;
        if (t.firstProblem.empty()) t.firstProblem = line;
      }
      for (const auto& [key, n] : open)
        if (n != 0) ++t.unbalanced;
      open.clear();
    } else if (line.find("CeRegOpenKeyEx(") != std::string::npos && ok0) {
      const auto at = line.find("hkey ");
      if (at == std::string::npos) {
        if (t.firstProblem.empty()) t.firstProblem = "an open without a handle: " + line;
        continue;
      }
      ++open[line.substr(at + 5)];
      ++t.opens;
    } else if (line.find("CeRegCloseKey(") != std::string::npos && ok0) {
      const auto begin = line.find('(') + 1;
      --open[line.substr(begin, line.find(')') - begin)];
      ++t.closes;
    }
  }
  return t;
}

class HundredClicksTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    for (const char* name : {"RAPIEMU_REGISTRY", "RAPIEMU_CONNECT_DELAY_MS", "RAPIEMU_NEVER_CONNECT",
                             "RAPIEMU_CONNECT_RESULT", "RAPIEMU_REFUSE_START", "RAPIEMU_QUIET"})
      unsetenv(name);
    dir_ = fs::temp_directory_path() / ("faults-clicks-" + std::to_string(getpid()));
    fs::create_directories(dir_);
    CreateWindow();
  }
  void TearDown() override {
    for (const char* name : {"RAPIEMU_REGISTRY", "RAPIEMU_CONNECT_RESULT", "RAPIEMU_REFUSE_START"}) unsetenv(name);
    AppTest::TearDown();
    fs::remove_all(dir_);
  }
  void Click() {
    Down(kInstallX, kInstallY);
    Up(kInstallX, kInstallY);
  }
  fs::path dir_;
};

TEST_F(HundredClicksTest, LeaveNoDescriptorsThreadsConnectionsOrKeys) {
  Move(kInstallX, kInstallY);
  const std::size_t fdsBefore = faults::OpenDescriptors();
  const std::size_t threadsBefore = faults::Threads();
  std::string trace;
  {
    faults::CapturedStderr captured(dir_ / "trace.txt");
    for (int i = 0; i < 100; ++i) Click();
    captured.Restore();
    trace = captured.Text();
  }
  EXPECT_EQ(faults::OpenDescriptors(), fdsBefore) << "descriptors left behind";
  EXPECT_EQ(faults::Threads(), threadsBefore) << "threads left behind";

  EXPECT_EQ(Launches().size(), 100u);
  for (const Launch& l : Launches()) EXPECT_EQ(l.file, "DriverKit\\Tessera_W.exe");
  EXPECT_TRUE(MessageTexts().empty());

  const TraceTally t = Tally(trace);
  EXPECT_EQ(t.starts, 100);
  EXPECT_EQ(t.ends, 100) << "every connection is ended";
  EXPECT_EQ(t.opens, 100);
  EXPECT_EQ(t.closes, 100) << "every key is closed by the launcher itself";
  EXPECT_EQ(t.leftOpenAtEnd, 0) << t.firstProblem;
  EXPECT_EQ(t.unbalanced, 0);
  EXPECT_EQ(t.firstProblem, "");
}

TEST_F(HundredClicksTest, FailingClicksLeaveNothingBehindEither) {
  // Four kinds of click, taken in turn: refused start, failed attempt,
  // missing key, and an ordinary one.
  const fs::path noKey = dir_ / "no-key.reg";
  std::ofstream(noKey) << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Widcomm]\n";
  const std::size_t fdsBefore = faults::OpenDescriptors();
  const std::size_t threadsBefore = faults::Threads();
  std::string trace;
  {
    faults::CapturedStderr captured(dir_ / "trace.txt");
    for (int i = 0; i < 100; ++i) {
      switch (i % 4) {
        case 0: setenv("RAPIEMU_REFUSE_START", "1", 1); break;
        case 1: setenv("RAPIEMU_CONNECT_RESULT", "0x80004005", 1); break;
        case 2: setenv("RAPIEMU_REGISTRY", noKey.c_str(), 1); break;
        default: break;
      }
      Click();
      for (const char* name : {"RAPIEMU_REFUSE_START", "RAPIEMU_CONNECT_RESULT", "RAPIEMU_REGISTRY"}) unsetenv(name);
    }
    captured.Restore();
    trace = captured.Text();
  }
  EXPECT_EQ(faults::OpenDescriptors(), fdsBefore) << "descriptors left behind";
  EXPECT_EQ(faults::Threads(), threadsBefore) << "threads left behind";
  EXPECT_EQ(MessageTexts().size(), 50u) << "refused starts and failed attempts say so";
  EXPECT_EQ(Launches().size(), 50u) << "the missing key and the ordinary clicks launch";

  const TraceTally t = Tally(trace);
  EXPECT_EQ(t.starts, 75) << "the refused starts never start";
  EXPECT_EQ(t.ends, t.starts) << "every connection started is ended";
  EXPECT_EQ(t.opens, 25) << "only the ordinary clicks find the key";
  EXPECT_EQ(t.closes, t.opens);
  EXPECT_EQ(t.leftOpenAtEnd, 0) << t.firstProblem;
  EXPECT_EQ(t.unbalanced, 0);
  EXPECT_EQ(t.firstProblem, "");
}

}  // namespace
