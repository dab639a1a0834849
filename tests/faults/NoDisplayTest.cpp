// The real program started with no display at all: it must not crash or
// hang, but say why on standard error and end with exit code 0.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Outcome {
  bool finished = false;  // within the time allowed
  int status = 0;         // as waitpid gives it
  std::string errors;     // what it wrote on standard error
  Clock::duration took{};
};

// The environment without any way to reach a display.
std::vector<std::string> EnvironmentWithoutDisplay() {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    if (name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name == "SDL_VIDEODRIVER" || name == "XAUTHORITY")
      continue;
    env.push_back(entry);
  }
  return env;
}

Outcome RunProgram(const char* program, const fs::path& folder, std::chrono::seconds allowed) {
  Outcome out;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::vector<std::string> env = EnvironmentWithoutDisplay();
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char* argv[] = {const_cast<char*>(program), nullptr};

  const auto start = Clock::now();
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, program, &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    throw std::runtime_error(std::string("cannot start ") + program + ": " + std::strerror(spawned));
  }

  // Read standard error and wait for the end, both within the time allowed.
  const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  int errFd = pipeFds[0];
  const auto deadline = start + allowed;
  while (!out.finished || errFd >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || pidFd < 0) break;
    pollfd p[2] = {{pidFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    if (::poll(p, errFd >= 0 ? 2 : 1, static_cast<int>(left)) <= 0) continue;
    if (p[0].revents && !out.finished) {
      ::waitpid(pid, &out.status, 0);
      out.finished = true;
      out.took = Clock::now() - start;
    }
    if (errFd >= 0 && p[1].revents) {
      char buffer[4096];
      const ssize_t n = ::read(errFd, buffer, sizeof buffer);
      if (n > 0) {
        out.errors.append(buffer, static_cast<std::size_t>(n));
      } else {
        ::close(errFd);
        errFd = -1;
      }
    }
  }
  if (errFd >= 0) ::close(errFd);
  if (!out.finished) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &out.status, 0);
    out.took = Clock::now() - start;
  }
  if (pidFd >= 0) ::close(pidFd);
  return out;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

TEST(NoDisplayTest, TheProgramSaysWhyAndExitsWithZero) {
  const fs::path folder = fs::temp_directory_path() / ("faults-nodisplay-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const Outcome out = RunProgram(INSTALL_PROGRAM, folder, std::chrono::seconds(5));
  fs::remove_all(folder);

  ASSERT_TRUE(out.finished) << "still running after 5 s; it said: " << out.errors;
  ASSERT_TRUE(WIFEXITED(out.status)) << "ended by signal " << WTERMSIG(out.status) << "; it said: " << out.errors;
  EXPECT_EQ(WEXITSTATUS(out.status), 0) << out.errors;
  EXPECT_NE(Lower(out.errors).find("display"), std::string::npos) << "the reason names the display: " << out.errors;
  EXPECT_LT(out.took, std::chrono::seconds(5));
}

}  // namespace
