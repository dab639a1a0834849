// A program the tests start: in a folder of their choosing, with exactly the
// environment they give, its output in a file, in a process group of its own
// that is ended when the test lets go of it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

class Process {
 public:
  // Starts `program` with the arguments in `folder`; `environment` holds
  // "NAME=value" entries and nothing else is passed on. Standard output and
  // error go to `output`. Throws std::runtime_error when it cannot start.
  Process(const std::filesystem::path& program, const std::vector<std::string>& arguments,
          const std::filesystem::path& folder, const std::vector<std::string>& environment,
          const std::filesystem::path& output);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t Pid() const { return pid_; }
  // Waits for the program to end: its exit code, or 128 + the signal that
  // ended it; nullopt when it still runs after `timeout`.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
  bool Running();
  // Everything it wrote so far.
  std::string Output() const;

 private:
  pid_t pid_ = -1;
  int pidfd_ = -1;  // readable once the process has ended
  std::optional<int> status_;
  std::filesystem::path output_;
};

}  // namespace e2e
