#include "Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace e2e {
namespace {

// Owns the spawn attribute objects for the length of one start.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

int ExitCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

Process::Process(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const std::filesystem::path& folder, const std::vector<std::string>& environment,
                 const std::filesystem::path& output)
    : output_(output) {
  SpawnSetup setup;
  posix_spawn_file_actions_addchdir_np(&setup.actions, folder.c_str());
  posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&setup.actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                   0644);
  posix_spawn_file_actions_adddup2(&setup.actions, STDOUT_FILENO, STDERR_FILENO);
  // A group of its own, so everything it starts in it ends with it.
  posix_spawnattr_setpgroup(&setup.attributes, 0);
  posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETPGROUP);

  std::vector<char*> env;
  for (const std::string& entry : environment) env.push_back(const_cast<char*>(entry.c_str()));
  env.push_back(nullptr);
  std::string name = program.filename().string();
  std::vector<char*> argv{name.data()};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  const int error =
      posix_spawn(&pid_, program.c_str(), &setup.actions, &setup.attributes, argv.data(), env.data());
  if (error != 0) throw std::runtime_error("cannot start " + program.string() + ": " + std::strerror(error));
  pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
  if (pidfd_ < 0) {
    const int why = errno;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    throw std::runtime_error(std::string("pidfd_open: ") + std::strerror(why));
  }
}

Process::~Process() {
  if (!status_) {
    ::kill(-pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (pidfd_ >= 0) ::close(pidfd_);
}

std::optional<int> Process::WaitForExit(std::chrono::milliseconds timeout) {
  if (status_) return status_;
  pollfd ended{pidfd_, POLLIN, 0};
  int ready = 0;
  do {
    ready = ::poll(&ended, 1, static_cast<int>(timeout.count()));
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return std::nullopt;
  // Ended but not yet reaped, so its group id is still its own: whatever it
  // left running in its group (a message box of its own) goes with it.
  ::kill(-pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  status_ = ExitCode(status);
  return status_;
}

bool Process::Running() { return !WaitForExit(std::chrono::milliseconds(0)); }

std::string Process::Output() const {
  std::ifstream in(output_, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace e2e
