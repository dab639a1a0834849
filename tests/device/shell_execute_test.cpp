// ShellExecuteA's stand-in: starting programs and opening documents from a
// folder laid out like the launcher's, without waiting and without zombies.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "winapi/posix_hooks.h"

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

namespace {

std::intptr_t Code(HINSTANCE result) { return reinterpret_cast<std::intptr_t>(result); }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Waits (sleeping between looks) until the file exists, for `limit` at most.
bool WaitForFile(const fs::path& path, milliseconds limit = milliseconds(5000)) {
  const auto deadline = Clock::now() + limit;
  while (!fs::exists(path)) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(milliseconds(20));
  }
  return true;
}

struct ProcessStatus {
  int pid;
  char state;
  int parent;
  int session;
};

// Fields of /proc/<pid>/stat; the command name may hold spaces and brackets.
std::optional<ProcessStatus> StatusOf(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(in, text)) return std::nullopt;
  const std::size_t nameEnd = text.rfind(')');
  if (nameEnd == std::string::npos) return std::nullopt;
  std::istringstream rest(text.substr(nameEnd + 1));
  ProcessStatus status{pid, '?', 0, 0};
  int group = 0;
  rest >> status.state >> status.parent >> group >> status.session;
  return status;
}

std::vector<ProcessStatus> ChildrenOf(int parent) {
  std::vector<ProcessStatus> children;
  for (const fs::directory_entry& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (const auto status = StatusOf(std::stoi(name)); status && status->parent == parent) {
      children.push_back(*status);
    }
  }
  return children;
}

// Waits until the process has ended: it is gone, or left as a zombie of
// whoever adopted it.
bool WaitForEnd(int pid, milliseconds limit = milliseconds(5000)) {
  const auto deadline = Clock::now() + limit;
  for (auto status = StatusOf(pid); status && status->state != 'Z'; status = StatusOf(pid)) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(milliseconds(20));
  }
  return true;
}

// A temporary folder laid out like the launcher's, made the current
// directory for the test; a fake desktop viewer can be put on PATH.
class ShellExecuteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi_posix::hooks().shellExecute = nullptr;
    std::string pattern = (fs::temp_directory_path() / "shell-execute-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = fs::canonical(pattern);
    fs::create_directory(root_ / "DriverKit");
    fs::create_directory(root_ / "bin");
    previousDirectory_ = fs::current_path();
    fs::current_path(root_);
    if (const char* path = std::getenv("PATH")) previousPath_ = path;
  }

  void TearDown() override {
    for (const int pid : started_) ::kill(pid, SIGKILL);
    ::setenv("PATH", previousPath_.c_str(), 1);
    fs::current_path(previousDirectory_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  void WriteFile(const fs::path& path, const std::string& text, fs::perms mode) {
    {
      std::ofstream out(path);
      out << text;
    }
    fs::permissions(path, mode);
  }

  // A shell script that records "$0", its arguments and its working folder
  // in `record` (written whole, then renamed, so it appears complete).
  void WriteRecordingProgram(const fs::path& path, const fs::path& record,
                             const std::string& extra = "") {
    WriteFile(path,
              "#!/bin/sh\n"
              "{ printf '%s\\n' \"$0\" \"$@\"; pwd -P; } > '" + record.string() + ".part'\n" +
                  extra + "mv '" + record.string() + ".part' '" + record.string() + "'\n",
              fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  }

  // Puts a fake xdg-open first on PATH; it records its arguments.
  fs::path InstallFakeViewer() {
    const fs::path record = root_ / "viewer.txt";
    WriteFile(root_ / "bin" / "xdg-open",
              "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record.string() + ".part'\nmv '" +
                  record.string() + ".part' '" + record.string() + "'\n",
              fs::perms::owner_all);
    ::setenv("PATH", ((root_ / "bin").string() + ":" + previousPath_).c_str(), 1);
    return record;
  }

  void KillLater(int pid) { started_.push_back(pid); }

  fs::path root_;

 private:
  fs::path previousDirectory_;
  std::string previousPath_ = "/usr/bin:/bin";
  std::vector<int> started_;
};

}  // namespace

TEST_F(ShellExecuteTest, StartsAnExecutableByItsWindowsPath) {
  const fs::path record = root_ / "ran.txt";
  WriteRecordingProgram(root_ / "DriverKit" / "Tessera.exe", record);

  const HINSTANCE result =
      ShellExecuteA(nullptr, nullptr, "DriverKit\\Tessera.exe", nullptr, nullptr, SW_SHOW);
  EXPECT_GT(Code(result), 32);
  ASSERT_TRUE(WaitForFile(record)) << "the program did not run";
  const std::vector<std::string> lines = Lines(ReadFile(record));
  ASSERT_EQ(lines.size(), 2u) << ReadFile(record);
  EXPECT_EQ(lines[0], (root_ / "DriverKit" / "Tessera.exe").string());
  EXPECT_EQ(lines[1], root_.string()) << "working folder";
}

TEST_F(ShellExecuteTest, PassesParametersSplitAtSpaces) {
  const fs::path record = root_ / "ran.txt";
  WriteRecordingProgram(root_ / "DriverKit" / "Tessera_W.exe", record);

  EXPECT_GT(Code(ShellExecuteA(nullptr, "OPEN", "DriverKit\\Tessera_W.exe", "  alpha beta\tgamma ",
                               nullptr, SW_SHOW)),
            32);
  ASSERT_TRUE(WaitForFile(record));
  const std::vector<std::string> lines = Lines(ReadFile(record));
  const std::vector<std::string> expected = {(root_ / "DriverKit" / "Tessera_W.exe").string(),
                                             "alpha", "beta", "gamma", root_.string()};
  EXPECT_EQ(lines, expected);
}

TEST_F(ShellExecuteTest, RelativeToTheGivenDirectoryWhichBecomesTheWorkingFolder) {
  const fs::path record = root_ / "ran.txt";
  WriteRecordingProgram(root_ / "DriverKit" / "Tessera.exe", record);

  EXPECT_GT(Code(ShellExecuteA(nullptr, nullptr, "Tessera.exe", nullptr, "DriverKit", SW_SHOW)),
            32);
  ASSERT_TRUE(WaitForFile(record));
  const std::vector<std::string> lines = Lines(ReadFile(record));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], (root_ / "DriverKit" / "Tessera.exe").string());
  EXPECT_EQ(lines[1], (root_ / "DriverKit").string());
}

TEST_F(ShellExecuteTest, MissingFileStartsNothing) {
  const fs::path viewerRecord = InstallFakeViewer();
  for (const char* file : {"DriverKit\\Tessera.exe", "DriverKit\\UserGuide.pdf", "Missing\\x.exe"}) {
    SCOPED_TRACE(file);
    EXPECT_EQ(Code(ShellExecuteA(nullptr, nullptr, file, nullptr, nullptr, SW_SHOW)), SE_ERR_FNF);
  }
  EXPECT_TRUE(ChildrenOf(::getpid()).empty());
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_FALSE(fs::exists(viewerRecord)) << "the viewer was started for a missing file";
}

TEST_F(ShellExecuteTest, OtherVerbsHaveNoAssociation) {
  const fs::path record = root_ / "ran.txt";
  WriteRecordingProgram(root_ / "DriverKit" / "Tessera.exe", record);
  for (const char* verb : {"print", "runas", "opener", "ope"}) {
    SCOPED_TRACE(verb);
    EXPECT_EQ(Code(ShellExecuteA(nullptr, verb, "DriverKit\\Tessera.exe", nullptr, nullptr, SW_SHOW)),
              SE_ERR_NOASSOC);
  }
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_FALSE(fs::exists(record));
}

TEST_F(ShellExecuteTest, ReturnsAtOnceAndDetachesTheProgram) {
  const fs::path pidFile = root_ / "pid.txt";
  WriteFile(root_ / "DriverKit" / "Tessera.exe",
            "#!/bin/sh\necho $$ > '" + pidFile.string() + ".part'\nmv '" + pidFile.string() +
                ".part' '" + pidFile.string() + "'\nexec sleep 5\n",
            fs::perms::owner_all);

  const auto start = Clock::now();
  const HINSTANCE result =
      ShellExecuteA(nullptr, nullptr, "DriverKit\\Tessera.exe", nullptr, nullptr, SW_SHOW);
  EXPECT_LT(Clock::now() - start, milliseconds(1000));
  EXPECT_GT(Code(result), 32);

  ASSERT_TRUE(WaitForFile(pidFile));
  const int pid = std::stoi(ReadFile(pidFile));
  KillLater(pid);
  const auto status = StatusOf(pid);
  ASSERT_TRUE(status.has_value()) << "the program is not running";
  EXPECT_NE(status->parent, ::getpid()) << "the program is a child of the caller";
  EXPECT_EQ(status->session, pid) << "the program has no session of its own";
}

TEST_F(ShellExecuteTest, LeavesNoZombie) {
  const fs::path record = root_ / "ran.txt";
  WriteRecordingProgram(root_ / "DriverKit" / "Tessera.exe", record, "echo $$ > pid.txt\n");

  EXPECT_GT(Code(ShellExecuteA(nullptr, nullptr, "DriverKit\\Tessera.exe", nullptr, nullptr,
                               SW_SHOW)),
            32);
  EXPECT_TRUE(ChildrenOf(::getpid()).empty()) << "the helper process was not reaped";

  ASSERT_TRUE(WaitForFile(record));
  const int pid = std::stoi(ReadFile(root_ / "pid.txt"));
  ASSERT_TRUE(WaitForEnd(pid)) << "the program did not end";
  for (const ProcessStatus& child : ChildrenOf(::getpid())) {
    ADD_FAILURE() << "child " << child.pid << " left in state " << child.state;
  }
}

TEST_F(ShellExecuteTest, ProgramStartsWithCleanSignalsAndDescriptors) {
  // What the caller holds that the program must not inherit: a blocked
  // signal, an ignored signal and a descriptor without close-on-exec.
  sigset_t blocked;
  sigset_t previousMask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &blocked, &previousMask), 0);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  struct sigaction previousTerm {};
  ASSERT_EQ(::sigaction(SIGTERM, &ignore, &previousTerm), 0);
  constexpr int kInherited = 77;
  const int opened = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(opened, 0);
  ASSERT_EQ(::dup2(opened, kInherited), kInherited);
  ::close(opened);

  // A shell would clear its signal mask on start; a program of our own
  // reports what it got.
  fs::create_symlink(PROCESS_PROBE, root_ / "DriverKit" / "Tessera.exe");
  const fs::path record = root_ / "inherited.txt";
  const HINSTANCE result = ShellExecuteA(nullptr, nullptr, "DriverKit\\Tessera.exe",
                                         record.string().c_str(), nullptr, SW_SHOW);

  ::close(kInherited);
  ::sigaction(SIGTERM, &previousTerm, nullptr);
  ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);

  EXPECT_GT(Code(result), 32);
  ASSERT_TRUE(WaitForFile(record)) << "the probe did not run";
  const std::vector<std::string> expected = {"blocked 0", "sigterm default", "fd77 closed",
                                             "session own"};
  EXPECT_EQ(Lines(ReadFile(record)), expected);
}

TEST_F(ShellExecuteTest, OpensDocumentsWithTheDesktopViewer) {
  const fs::path viewerRecord = InstallFakeViewer();
  WriteFile(root_ / "DriverKit" / "UserGuide.pdf", "%PDF-1.4\n",
            fs::perms::owner_read | fs::perms::owner_write);

  EXPECT_GT(Code(ShellExecuteA(nullptr, nullptr, "DriverKit\\UserGuide.pdf", nullptr, nullptr,
                               SW_SHOW)),
            32);
  ASSERT_TRUE(WaitForFile(viewerRecord)) << "the viewer did not run";
  EXPECT_EQ(ReadFile(viewerRecord), (root_ / "DriverKit" / "UserGuide.pdf").string() + "\n");
}

TEST_F(ShellExecuteTest, DocumentWithoutViewerHasNoAssociation) {
  ::setenv("PATH", (root_ / "bin").string().c_str(), 1);  // an empty folder
  WriteFile(root_ / "DriverKit" / "SafetyGuide.pdf", "%PDF-1.4\n", fs::perms::owner_read);
  EXPECT_EQ(Code(ShellExecuteA(nullptr, nullptr, "DriverKit\\SafetyGuide.pdf", nullptr, nullptr,
                               SW_SHOW)),
            SE_ERR_NOASSOC);
}

TEST_F(ShellExecuteTest, FailedStartIsReported) {
  struct Case {
    const char* label;
    const char* content;
    std::intptr_t expected;
  };
  const Case cases[] = {
      {"not a program", "this is not a program\n", 11},  // ERROR_BAD_FORMAT
      {"missing interpreter", "#!/nonexistent/interpreter\n", SE_ERR_FNF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WriteFile(root_ / "DriverKit" / "Tessera.exe", c.content, fs::perms::owner_all);
    EXPECT_EQ(Code(ShellExecuteA(nullptr, nullptr, "DriverKit\\Tessera.exe", nullptr, nullptr,
                                 SW_SHOW)),
              c.expected);
  }
}

namespace {
struct HookCall {
  int count = 0;
  std::string verb, file, parameters, directory;
  INT show = 0;
};
HookCall hookCall;
HINSTANCE RecordLaunch(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                       INT show) {
  ++hookCall.count;
  hookCall.verb = verb ? verb : "<null>";
  hookCall.file = file ? file : "<null>";
  hookCall.parameters = parameters ? parameters : "<null>";
  hookCall.directory = directory ? directory : "<null>";
  hookCall.show = show;
  return reinterpret_cast<HINSTANCE>(std::intptr_t{77});
}
}  // namespace

TEST_F(ShellExecuteTest, HookReplacesTheLaunch) {
  const fs::path record = root_ / "ran.txt";
  WriteRecordingProgram(root_ / "DriverKit" / "Tessera.exe", record);
  hookCall = {};
  winapi_posix::hooks().shellExecute = RecordLaunch;
  const HINSTANCE result =
      ShellExecuteA(nullptr, nullptr, "DriverKit\\Tessera.exe", nullptr, nullptr, SW_SHOW);
  winapi_posix::hooks().shellExecute = nullptr;

  EXPECT_EQ(Code(result), 77);
  EXPECT_EQ(hookCall.count, 1);
  EXPECT_EQ(hookCall.verb, "<null>");
  EXPECT_EQ(hookCall.file, "DriverKit\\Tessera.exe") << "the hook sees the path unchanged";
  EXPECT_EQ(hookCall.parameters, "<null>");
  EXPECT_EQ(hookCall.directory, "<null>");
  EXPECT_EQ(hookCall.show, SW_SHOW);
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_FALSE(fs::exists(record)) << "the program ran although a hook was set";
}
