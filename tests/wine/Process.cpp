#include "tests/wine/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace winetest {
namespace {

std::vector<std::string> ChildEnvironment(const ProcessOptions& options) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry(*e);
    const auto eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& name : options.unsetEnv) env.erase(name);
  for (const auto& [name, value] : options.setEnv) env[name] = value;
  std::vector<std::string> out;
  for (const auto& [name, value] : env) out.push_back(name + "=" + value);
  return out;
}

}  // namespace

Process::Process(const ProcessOptions& options) {
  if (options.argv.empty()) throw std::runtime_error("no program to start");
  // Everything the child needs is prepared before fork.
  std::vector<std::string> envStrings = ChildEnvironment(options);
  std::vector<char*> argv, envp;
  for (const auto& a : options.argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (auto& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string output = options.output.empty() ? "/dev/null" : options.output.string();
  const std::string cwd = options.workingDirectory.string();

  int errorPipe[2];
  if (pipe2(errorPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));
  const pid_t testPid = getpid();
  pid_ = fork();
  if (pid_ < 0) {
    close(errorPipe[0]);
    close(errorPipe[1]);
    throw std::runtime_error("fork: " + std::string(std::strerror(errno)));
  }
  if (pid_ == 0) {
    close(errorPipe[0]);
    if (options.newSession) setsid();
    if (options.endWithTest) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() != testPid) _exit(127);  // the test died before that took hold
    }
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (in >= 0) dup2(in, 0);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) {
      const int e = errno;
      (void)!write(errorPipe[1], &e, sizeof e);
      _exit(127);
    }
    execve(argv[0], argv.data(), envp.data());
    const int e = errno;
    (void)!write(errorPipe[1], &e, sizeof e);
    _exit(127);
  }
  close(errorPipe[1]);
  int childErrno = 0;
  const ssize_t n = read(errorPipe[0], &childErrno, sizeof childErrno);
  close(errorPipe[0]);
  if (n == sizeof childErrno) {
    Reap(0);
    throw std::runtime_error("cannot start " + options.argv[0] + ": " + std::strerror(childErrno));
  }
}

Process::~Process() { Stop(std::chrono::milliseconds(500)); }

bool Process::Reap(int flags) {
  if (status_) return true;
  if (pid_ <= 0) return false;
  int status = 0;
  const pid_t r = waitpid(pid_, &status, flags);
  if (r != pid_) return false;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

bool Process::Running() { return !Reap(WNOHANG); }

std::optional<int> Process::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!Reap(WNOHANG)) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return status_;
}

void Process::Stop(std::chrono::milliseconds grace) {
  if (pid_ <= 0 || Reap(WNOHANG)) return;
  kill(pid_, SIGTERM);
  if (Wait(grace)) return;
  kill(pid_, SIGKILL);
  Reap(0);
}

int RunToEnd(const ProcessOptions& options, std::chrono::milliseconds timeout) {
  Process process(options);
  const auto code = process.Wait(timeout);
  if (!code) throw std::runtime_error(options.argv.front() + " did not end in time");
  return *code;
}

}  // namespace winetest
