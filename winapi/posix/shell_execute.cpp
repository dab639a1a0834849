// ShellExecuteA for the launcher's POSIX builds.
//
// A hook (posix_hooks.h) replaces the whole call. Otherwise the file is
// started the way the desktop would:
// - The verb is the default action: a null or empty verb, or "open" (in any
//   case). Any other verb gives SE_ERR_NOASSOC.
// - The launcher writes its paths the Windows way; here, and only here, each
//   backslash becomes '/'. A relative path is taken from the current
//   directory, or from lpDirectory when one is given; lpDirectory is then
//   also the started program's working directory.
// - A file that does not exist gives SE_ERR_FNF and nothing is started.
// - A regular file with execute permission is started as a program, with
//   lpParameters split at spaces and tabs into its arguments (no quoting).
// - Anything else is handed to `xdg-open <path>`, the desktop's default
//   viewer, found on PATH; without one the result is SE_ERR_NOASSOC.
//   lpParameters is not passed on to a viewer.
// - nShowCmd is accepted and ignored.
//
// The call does not wait for what it started. The program is started by a
// double fork: a short-lived child forks the process that runs it and exits
// at once, so the program is handed to the system's reaper and never becomes
// a zombie of the launcher, and only that short-lived child is waited for.
// The program gets a session of its own (closing the launcher does not end
// it), no blocked signals, default signal handlers and no descriptors of the
// launcher above standard error. Whether exec succeeded comes back through a
// close-on-exec pipe, so the result is honest: a value above 32 when the
// program or viewer runs, otherwise SE_ERR_FNF, SE_ERR_ACCESSDENIED,
// ERROR_BAD_FORMAT (11, a file that is not a program this system can run),
// SE_ERR_OOM or SE_ERR_NOASSOC.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "winapi/posix_hooks.h"

namespace {

constexpr std::intptr_t kLaunched = 42;
constexpr std::intptr_t kBadFormat = 11;  // ERROR_BAD_FORMAT
constexpr int kHighestDescriptorToClose = 65535;

HINSTANCE AsResult(std::intptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

std::string WithForwardSlashes(const char* text) {
  std::string path(text);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

bool IsDefaultVerb(const char* verb) {
  if (verb == nullptr || *verb == '\0') return true;
  static constexpr char kOpen[] = "open";
  for (std::size_t i = 0; i < sizeof kOpen; ++i) {
    const char c = verb[i];
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != kOpen[i]) return false;
    if (c == '\0') return true;
  }
  return false;
}

// The absolute form of a launcher path (already with forward slashes).
std::string Resolve(const std::string& file, const std::string& directory) {
  if (!file.empty() && file.front() == '/') return file;
  std::string base = directory;
  if (base.empty() || base.front() != '/') {
    std::error_code error;
    const std::string current = std::filesystem::current_path(error).string();
    if (!error) base = base.empty() ? current : current + "/" + base;
  }
  if (base.empty()) return file;
  return base.back() == '/' ? base + file : base + "/" + file;
}

bool IsExecutableFile(const std::string& path) {
  struct stat info{};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> FindOnPath(const std::string& name) {
  std::string searchPath;
  if (const char* path = std::getenv("PATH")) {
    searchPath = path;
  } else {
    const std::size_t length = ::confstr(_CS_PATH, nullptr, 0);
    if (length > 0) {
      std::string fallback(length, '\0');
      ::confstr(_CS_PATH, fallback.data(), length);
      searchPath = fallback.c_str();
    }
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = searchPath.find(':', start);
    std::string directory = searchPath.substr(start, end == std::string::npos ? end : end - start);
    if (directory.empty()) directory = ".";  // an empty entry is the current directory
    const std::string candidate = directory + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
    if (end == std::string::npos) return std::nullopt;
    start = end + 1;
  }
}

std::vector<std::string> SplitParameters(const char* parameters) {
  std::vector<std::string> words;
  if (parameters == nullptr) return words;
  std::string word;
  for (const char* c = parameters; *c != '\0'; ++c) {
    if (*c == ' ' || *c == '\t') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word.push_back(*c);
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

std::intptr_t ResultOfStat(int error) {
  return error == EACCES ? SE_ERR_ACCESSDENIED : SE_ERR_FNF;
}

// What a failed exec (or chdir) of the started process means to the caller.
std::intptr_t ResultOfStartError(int error, bool viaViewer) {
  switch (error) {
    case ENOMEM:
    case E2BIG:
    case EAGAIN:
      return SE_ERR_OOM;
    default:
      break;
  }
  if (viaViewer) return SE_ERR_NOASSOC;
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
      return SE_ERR_FNF;
    case ENOEXEC:
    case ELIBBAD:
      return kBadFormat;
    default:
      return SE_ERR_ACCESSDENIED;
  }
}

struct StartRequest {
  std::string program;              // path handed to execv
  std::vector<std::string> argv;    // argv[0] first
  std::string workingDirectory;     // empty: keep the current one
  bool viaViewer = false;
};

int HighestDescriptor() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      limit.rlim_cur <= static_cast<rlim_t>(kHighestDescriptorToClose) + 1) {
    return static_cast<int>(limit.rlim_cur) - 1;
  }
  return kHighestDescriptorToClose;
}

[[noreturn]] void ReportAndExit(int reportDescriptor, int error) {
  // Nothing can be done if the report cannot be written; the caller then
  // takes the start as having succeeded.
  [[maybe_unused]] const ssize_t ignored = ::write(reportDescriptor, &error, sizeof error);
  ::_exit(127);
}

// Runs in the process that becomes the program; only async-signal-safe calls.
[[noreturn]] void BecomeProgram(const char* program, char* const* argv, const char* workingDirectory,
                                int reportDescriptor, int highestDescriptor) {
  ::setsid();

  struct sigaction byDefault{};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
    ::sigaction(signalNumber, &byDefault, nullptr);  // fails harmlessly for SIGKILL, SIGSTOP
  }

  // Every descriptor above standard error closes at exec; the report pipe is
  // among them and so stays usable until then.
  bool marked = false;
#if defined(__linux__) && defined(CLOSE_RANGE_CLOEXEC)
  marked = ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0;
#endif
  if (!marked) {
    for (int descriptor = 3; descriptor <= highestDescriptor; ++descriptor) {
      if (descriptor != reportDescriptor) ::close(descriptor);
    }
  }

  if (workingDirectory != nullptr && ::chdir(workingDirectory) != 0) {
    ReportAndExit(reportDescriptor, errno);
  }

  sigset_t nothing;
  sigemptyset(&nothing);
  ::sigprocmask(SIG_SETMASK, &nothing, nullptr);

  ::execv(program, argv);
  ReportAndExit(reportDescriptor, errno);
}

std::intptr_t Start(const StartRequest& request) {
  // Everything the new processes need is made ready before fork().
  std::vector<char*> argv;
  argv.reserve(request.argv.size() + 1);
  for (const std::string& word : request.argv) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  const char* program = request.program.c_str();
  const char* workingDirectory =
      request.workingDirectory.empty() ? nullptr : request.workingDirectory.c_str();
  const int highestDescriptor = HighestDescriptor();

  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return SE_ERR_OOM;

  // No signal handler may run in the children before they have reset them.
  sigset_t everything;
  sigset_t previous;
  sigfillset(&everything);
  ::pthread_sigmask(SIG_SETMASK, &everything, &previous);

  const pid_t child = ::fork();
  if (child == 0) {
    ::close(report[0]);
    const pid_t grandchild = ::fork();
    if (grandchild < 0) ReportAndExit(report[1], errno);
    if (grandchild > 0) ::_exit(0);
    BecomeProgram(program, argv.data(), workingDirectory, report[1], highestDescriptor);
  }
  const int forkError = errno;
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  ::close(report[1]);
  if (child < 0) {
    ::close(report[0]);
    return ResultOfStartError(forkError, false);
  }

  // Reap the short-lived child. ECHILD means the system reaped it already
  // (SIGCHLD ignored), which is just as good.
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }

  // End of file: exec succeeded and closed the pipe. An int: the error of
  // the fork, chdir or exec that failed.
  int startError = 0;
  ssize_t received;
  do {
    received = ::read(report[0], &startError, sizeof startError);
  } while (received < 0 && errno == EINTR);
  ::close(report[0]);
  if (received == static_cast<ssize_t>(sizeof startError)) {
    return ResultOfStartError(startError, request.viaViewer);
  }
  return kLaunched;
}

std::intptr_t Launch(LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                     LPCSTR lpDirectory) {
  if (!IsDefaultVerb(lpOperation)) return SE_ERR_NOASSOC;
  if (lpFile == nullptr || *lpFile == '\0') return SE_ERR_FNF;

  const std::string directory =
      (lpDirectory != nullptr && *lpDirectory != '\0') ? WithForwardSlashes(lpDirectory) : "";
  const std::string path = Resolve(WithForwardSlashes(lpFile), directory);

  struct stat info{};
  if (::stat(path.c_str(), &info) != 0) return ResultOfStat(errno);

  StartRequest request;
  request.workingDirectory = directory;
  if (S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0) {
    request.program = path;
    request.argv.push_back(path);
    for (std::string& word : SplitParameters(lpParameters)) request.argv.push_back(std::move(word));
  } else {
    const std::optional<std::string> viewer = FindOnPath("xdg-open");
    if (!viewer) return SE_ERR_NOASSOC;
    request.program = *viewer;
    request.argv = {"xdg-open", path};
    request.viaViewer = true;
  }
  return Start(request);
}

}  // namespace

HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                        LPCSTR lpDirectory, INT nShowCmd) {
  if (auto hook = winapi_posix::hooks().shellExecute) {
    return hook(hwnd, lpOperation, lpFile, lpParameters, lpDirectory, nShowCmd);
  }
  return AsResult(Launch(lpOperation, lpFile, lpParameters, lpDirectory));
}
