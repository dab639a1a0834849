// A child process of the test: started with its own arguments, environment
// additions, working folder and output files; ended and reaped by its owner.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace winetest {

struct ProcessOptions {
  std::vector<std::string> argv;                  // argv[0] is a path
  std::map<std::string, std::string> setEnv;      // added to (or replacing in) this process's environment
  std::vector<std::string> unsetEnv;              // removed from it
  std::filesystem::path workingDirectory;         // empty: this process's
  std::filesystem::path output;                   // stdout and stderr; empty: /dev/null
  bool newSession = true;                         // its own session, so signals to the test do not reach it
  bool endWithTest = true;                        // SIGTERM when the test process dies, however it dies
};

class Process {
 public:
  // Throws std::runtime_error when the program cannot be started.
  explicit Process(const ProcessOptions& options);
  ~Process();  // kills and reaps the process if it still runs
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  bool Running();
  // The exit code once the process has ended within the timeout; nullopt on
  // timeout. A process ended by a signal gives 128 + the signal.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  // SIGTERM, then SIGKILL after the grace period; reaps it.
  void Stop(std::chrono::milliseconds grace = std::chrono::milliseconds(2000));

 private:
  bool Reap(int flags);
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Runs a program to its end and returns its exit code; throws
// std::runtime_error when it does not end within the timeout.
int RunToEnd(const ProcessOptions& options, std::chrono::milliseconds timeout);

}  // namespace winetest
